// The plan of a job: what is checked before the first frame is written, so that nothing is
// reversed that cannot be converted. Choices that no file could be made with (a profile that is
// not defined, custom numbers that make no sense, an encoder this ffmpeg lacks) refuse the job
// at once; a file that cannot be made (unreadable, a sound-only profile for a film without
// sound, a name that cannot be given) is refused with its reason while the others go on.
#pragma once

#include "ConvertFLV.h"
#include "MediaProbe.h"
#include "ReversalCommands.h"
#include "ToolRun.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarnivo {

class ProbeClient;

// The encoders of the system's ffmpeg, from "ffmpeg -hide_banner -encoders".
QSet<QString> ParseEncoderList(const QByteArray& output);

// The encoders of the system's ffmpeg that converting into these settings and this extension
// uses, as the ffmpeg front end translates the engine's options.
QStringList EncodersUsed(const ConversionSettings& settings, const QString& extension);

// Reads ffmpeg's encoders once per program run, in the background.
class EncoderCatalogue : public QObject {
    Q_OBJECT

public:
    explicit EncoderCatalogue(QObject* parent = nullptr);
    // Known follows from the event loop (at once when they are known already).
    void Request();
    // The encoders; nothing while they are not known (or ffmpeg could not list them).
    static const std::optional<QSet<QString>>& Known();

signals:
    void Ready();

private:
    RunningTools m_tools;
    ToolRun* m_run = nullptr;
};

// The plan's reading of the job's rows before any work: each row's facts (the probe client reads
// them in the background, a few files at a time; a row whose name already says it cannot be
// made is not read) and ffmpeg's encoders.
class PlanReading : public QObject {
    Q_OBJECT

public:
    struct Row {
        QString text;     // the row's text
        QString source;   // its absolute path
        QString problem;  // why it cannot be made, once known
        SourceFacts facts;
        bool read = false;
        FilmPart part;          // of the film, to reverse
        bool finished = false;  // finished by an earlier run: not read, not worked on
    };

    PlanReading(ProbeClient& probes, QObject* parent = nullptr);
    // Returns at once; Ready follows from the event loop when every row and the encoders are read.
    void Start(std::vector<Row> rows);
    std::vector<Row>& Rows() { return m_rows; }

signals:
    void Ready();

private:
    void Probed(const QString& path, const SourceFacts& facts);
    void ReadyIfDone();

    ProbeClient& m_probes;
    EncoderCatalogue m_encoders;
    std::vector<Row> m_rows;
    bool m_reading = false;
    bool m_encodersKnown = false;
};

// Why no file can be made with these choices; empty when they can. encoders is what
// EncoderCatalogue knows (nothing: not checked).
QString ChoicesProblem(const QString& ProfileName, const CustomFormatValues& custom,
                       const std::optional<QSet<QString>>& encoders);

// Why the custom panel's numbers make no sense (a bitrate, rate, size or sample rate that is no
// such number); empty when they do or when a box is empty or reads "Same as source".
QString CustomNumbersProblem(const CustomFormatValues& custom);

// Why one file cannot be made with a profile's choice; empty when it can: facts as the probe read
// them, outputProblem what the output folder says of its name (OutputProblem).
QString FileProblem(const SourceFacts& facts, const ProfileChoice& choice, const QString& outputProblem);

// Why a part of a film cannot be reversed: it ends before it starts, or lies outside the film
// as far as the film's stated end and its picture's start tell; empty for a part that can be
// (and for the whole film). A film whose pictures end before their stated end is told so by its
// reversal.
QString PartProblem(const SourceFacts& facts, const FilmPart& part);

// What the reversal of a file made with this choice is asked beyond the design's (the frames'
// fineness, the sound's channels); the defaults for the designed profiles.
ReversalOptions ReversalOptionsFor(const ProfileChoice& choice);

// The reason a refused file's row and line show: "cannot be made: REASON".
QString CannotBeMade(const QString& reason);

}  // namespace tarnivo
