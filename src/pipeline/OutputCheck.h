// Reading a finished file back: how long its picture or sound lasts, told from its packets
// (the container is read, nothing is decoded), and whether a conversion's product is whole.
#pragma once

#include "FramePictures.h"

#include "MediaProbe.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace tarnivo {

class RunningTools;
class ToolRun;

// The stretch of one stream as its packets give it.
struct StreamLength {
    bool present = false;      // the stream exists and holds at least one packet
    double seconds = 0;        // from the first packet's start to the last packet's end
    double longestPacket = 0;  // seconds; one frame of a picture, one block of a sound
    // One picture that shows for as long as it is looked at: libwebp makes a film whose pictures
    // are all alike one still WebP. It stands for a picture of any length.
    bool still = false;
};

// The length of one stream of a file, from ffprobe's listing of its packets (PacketSpanArguments
// for the first stream of the kind and the file); an animated WebP, which ffprobe takes for one
// picture, is read from its own frame chunks instead (see PictureLengthWithoutProbe).
StreamLength StreamLengthOf(const PacketSpan& span);
// The picture's length of a file that ffprobe cannot measure (an animated WebP, or a still one
// made of a film that never changes); nothing for any other file.
std::optional<StreamLength> PictureLengthWithoutProbe(const QString& path);

// The length of the picture the reversal made, from its frames and rate; not present when the
// reversal made no picture or did not say.
StreamLength KnownPictureLength(const IntermediatePicture& picture);

// What a conversion's tool said of its own run: empty when ffmpeg ended with status 0, said
// nothing about a failed write and left a file that is not empty; otherwise the reason, in
// which output is named as shownName and a full disk names outputFolder.
QString ToolRunProblem(const QString& output, const QString& shownName, const QString& outputFolder,
                       int exitStatus, const QStringList& errorLines);

// The lengths a result is measured by: its own picture and sound, and the intermediate's it was
// made from.
struct ResultReadings {
    StreamLength outputPicture;
    StreamLength outputSound;
    StreamLength expectedPicture;  // the frames the reversal made, or the intermediate's picture
    StreamLength expectedSound;
};
// Empty when the output is whole: a picture (or, for a sound-only output, a sound) as long as
// the intermediate's within two frames; a picture may also run longer by the delay its sound
// encoder's priming lays before it in a container that cannot skip those samples (AVI).
// Otherwise the reason, in which the output is named as shownName.
QString JudgeResultLengths(const ResultReadings& readings, const QString& shownName);

// Reads a conversion's product back in the background and tells whether it is whole
// (ToolRunProblem, then JudgeResultLengths).
class ResultCheck : public QObject {
    Q_OBJECT

public:
    ResultCheck(RunningTools& tools, QObject* parent = nullptr);
    ~ResultCheck() override;

    // knownPicture is the intermediate's picture where the reversal told it (then it is not
    // read back). Returns at once; Finished follows from the event loop.
    void Start(const QString& output, const QString& shownName, const QString& outputFolder,
               const QString& intermediate, const StreamLength& knownPicture, int exitStatus,
               const QStringList& errorLines);
    void Stop();

signals:
    void Finished(const QString& problem);

private:
    struct Reading {
        QString path;
        QString kind;  // "v" or "a"
        StreamLength* into;
    };
    void StartNextReading();
    void Read(const QString& path, const QString& kind, StreamLength* into);
    void ReadingDone();

    RunningTools& m_tools;
    QString m_shownName;
    ResultReadings m_readings;
    int m_readingsLeft = 0;
    std::deque<Reading> m_toStart;
    std::vector<ToolRun*> m_runs;
};

}  // namespace tarnivo
