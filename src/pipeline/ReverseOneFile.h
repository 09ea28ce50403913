// The heart of Tarnivo: one source video in, the reversed intermediate "rvideo.avi" out. Its
// steps run one after another in the background, each with its own tool; the application goes
// on handling its events meanwhile.
#pragma once

#include "ReversalCommands.h"
#include "ToolRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <functional>
#include <vector>

namespace tarnivo {

class RoomCheck;
class RunningTools;
class StepErrorReporter;

// The steps of a reversal, in the order they run. Room is the check that the working folder
// can hold the file's frames; Frames takes them out and renumbers them.
enum class ReversalStep { Room, Frames, Sound, Rebuilding, Joining };

// What one reversal gave.
struct ReversalResult {
    bool made = false;              // W/rvideo.avi was made
    bool stopped = false;           // it was stopped before its end
    QString failureReason;          // when not made: why, in the words of the tool that failed if it said
    IntermediatePicture picture{};  // the picture of W/rvideo.avi
};

// Reverses one source with the tools in the working folder. Before any frame is written, the
// working folder must have room for the file's peak. A step that cannot write its files is
// reported at the caller's location and the steps after it still run. A tool that fails or is
// stopped ends the reversal, even when it left a file: nothing is made, and the failure reason
// is the tool's most telling word ("No space left on device" with the folder). A source with a
// picture from which no frame could be read fails; a source with no picture at all gives its
// sound alone. Each intermediate is deleted as soon as the next one holds it: the frames once T
// is built, T once V is joined.
class ReverseOneFile : public QObject {
    Q_OBJECT

public:
    // The programs it runs belong to tools; errors of its steps go to report.
    ReverseOneFile(RunningTools& tools, const StepErrorReporter& report, QObject* parent = nullptr);
    ~ReverseOneFile() override;

    // Reverses S, whose facts the probe read, with the quoted tool path FQ, as options ask.
    // Returns at once; Finished follows from the event loop.
    void Start(const QString& S, const SourceFacts& facts, const QString& FQ,
               const ReversalOptions& options = ReversalOptions());
    // Stops the running step's tool; Finished follows, with nothing made.
    void Stop();

    // The frames taken from the source so far (0 before its frames are renumbered).
    int Frames() const { return m_frames; }

signals:
    void StepStarted(tarnivo::ReversalStep step);
    // A line the running step's tool wrote to standard error.
    void ToolLine(const QString& line);
    void Finished(const tarnivo::ReversalResult& result);

private:
    void CheckRoom();
    void ExtractFrames();
    void RenumberFrames();
    void RenumberSome();
    void ExtractSound();
    void ReverseSound();
    void RebuildVideo();
    void DeleteFramesThen(std::function<void()> then);
    void DeleteSomeFrames();
    void JoinPictureAndSound();
    void Succeed();
    void Fail(const QString& reason);

    // A new run for the step's next tool; the step is told as started.
    ToolRun* NewRun(ReversalStep step);
    QString StepReason(const QString& tool, const ToolOutcome& outcome, const QString& fallback) const;

    RunningTools& m_tools;
    const StepErrorReporter& m_report;
    QString m_source;
    SourceFacts m_facts;
    QString m_FQ;
    ReversalOptions m_options;
    ReversalPaths m_paths;
    ReversalSpan m_span;
    RoomCheck* m_room = nullptr;
    ToolRun* m_run = nullptr;
    ToolOutcome m_lastExtraction;
    std::vector<Frame> m_toRenumber;
    size_t m_renumbered = 0;
    QStringList m_toDelete;
    std::function<void()> m_afterDeleting;
    int m_frames = 0;
    bool m_stopped = false;
    bool m_over = false;
};

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::ReversalResult)
