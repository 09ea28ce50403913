// Room in the working folder: what one source's reversal needs there at its peak, and whether
// the folder's file system has it free.
#pragma once

#include "MediaProbe.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace tarnivo {

class RunningTools;
class ToolRun;

// Bytes per picture element assumed for a frame written as JPEG at "-qscale 1" when none of the
// film's own frames could be written for measuring (measured: 0.07 for clean 1280x720 pictures,
// 0.59 with grain; pure noise, which no camera gives, reaches 1.0).
constexpr double kJpegBytesPerPixel = 0.6;

// How the film's frames are measured: this many of them from each of this many points spread
// evenly over the picture.
constexpr int kSamplePoints = 8;
constexpr int kFramesPerSamplePoint = 2;

// Bytes free for this user on the file system that holds folder; -1 when it cannot be told.
// Tests set the environment variable TARNIVO_TEST_FREE_BYTES to a byte count that is
// reported instead; it is not a setting for users and nothing else reads it.
qint64 FreeBytes(const QString& folder);

// The film the room is asked for: the source, what the probe found, and how its frames are
// made from it.
struct FilmForRoom {
    QString source;
    SourceFacts facts;
    double spanStart = 0;  // seconds from the file's start to the first frame written
    double spanLength = 0;   // seconds of a part of the film from spanStart; 0: to its end
    bool boomerang = false;  // the intermediate holds the film forward, then backward
    bool sourceChannels = false;  // the sound keeps the source's channels rather than two
    QString frameFilters;  // the extraction's filters for a span starting at 0 (see FrameFilterChain)
    QStringList frameWriterOptions;  // the frame writer's options (see FrameWriterOptions)
};

// What reversing a film needs in the working folder, and what that figure rests on.
struct WorkSpaceEstimate {
    qint64 bytes = -1;      // at the peak; -1 when the film's length cannot be told
    qint64 frames = 0;      // frames the extraction writes
    double seconds = 0;     // the picture's length (the sound's, without one), from its packets
    double frameBytes = 0;  // one frame's JPEG file, on average
    bool measured = false;  // frameBytes comes from the film's own frames, not from kJpegBytesPerPixel
};

// Works out what reversing a film needs in the working folder, with runs of ffprobe and ffmpeg
// in the background. Its length comes from its packets (a header can claim anything); a few of
// its frames are written as the extraction writes them (into a pipe: nothing lands on disk)
// and their size is scaled by the frame count, rounded up to the block size of the file system
// that holds the working folder.
class RoomCheck : public QObject {
    Q_OBJECT

public:
    enum class Purpose {
        Check,     // is there room? Stops measuring as soon as the answer is plain
        Estimate,  // the whole estimate, always measured
    };
    RoomCheck(FilmForRoom film, QString workFolder, RunningTools& tools, QObject* parent = nullptr);
    ~RoomCheck() override;

    // Returns at once; Finished follows from the event loop.
    void Start(Purpose purpose);
    void Stop();

signals:
    // problem is empty when the working folder has room for reversing the film, else the reason
    // the file fails with: the folder, the space needed and free, and how to point TEMP
    // elsewhere. With Purpose::Check, estimate may be partly known only.
    void Finished(const QString& problem, const tarnivo::WorkSpaceEstimate& estimate);

private:
    void ReadEnd(double from);
    void KnowLength(double end);
    void FindSamplePoints();
    void SampleNextPoint();
    void FinishMeasuring();
    void Finish(const QString& problem);
    ToolRun* Run(const QStringList& arguments, const QString& program);

    FilmForRoom m_film;
    QString m_workFolder;
    RunningTools& m_tools;
    Purpose m_purpose = Purpose::Check;
    qint64 m_free = -1;
    qint64 m_block = 4096;
    WorkSpaceEstimate m_estimate;
    std::vector<double> m_points;
    size_t m_nextPoint = 0;
    int m_framesPerPoint = 0;
    qint64 m_sampledBytes = 0;
    qint64 m_sampledOnDisk = 0;
    qint64 m_sampledFrames = 0;
    ToolRun* m_run = nullptr;
};

}  // namespace tarnivo
