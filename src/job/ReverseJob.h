// The reverse job: the one object that the window and tarnivo-reverse both drive. It walks the
// job list, reverses every file, converts it into the chosen profile, cleans the working folder
// and tells the outcome of every file.
//
// The job runs on the caller's thread and returns only when it has ended; every wait inside it
// lets the application handle its events, so a face stays responsive and can call Cancel()
// meanwhile. The faces hear about the job through its signals and the MessageSink.
#pragma once

#include "ChildProcess.h"
#include "ConvertFLV.h"
#include "JobProgress.h"
#include "OutputFolder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

namespace tarnivo {

class AVC;
class MessageSink;
class StepErrorReporter;
class WorkFolderLock;

// The rows of the job list, read when they are needed (rows count from 1).
class JobListSource {
public:
    virtual ~JobListSource() = default;
    virtual int RowCount() const = 0;
    virtual QString RowText(int row) const = 0;
};

// What the user has chosen; read anew for every file, so a change made during a job applies
// from the next file on.
class JobChoices {
public:
    virtual ~JobChoices() = default;
    virtual QString OutputFolderText() const = 0;  // Text2, as typed or picked
    virtual QString ProfileName() const = 0;       // Combo1's text
    virtual CustomFormatValues CustomValues() const = 0;
};

// The outcome of one row.
struct FileOutcome {
    int row = 0;
    QString source;  // the row's text
    QString output;  // the file made; empty when none
    bool succeeded = false;
    QString reason;  // why it failed
    QString note;    // what the user should know of a file that was made (a shortened name)
};

struct JobSummary {
    bool ran = false;  // false when a check refused the start
    bool cancelled = false;
    std::vector<FileOutcome> files;
    int FailedCount() const;
    // "Done.", "Done." with a line naming the failed files, or "Cancelled."
    QString FinalMessage() const;
};

// Texts of the checks before a job starts.
inline const QString kNoFilesMessage = QStringLiteral("No files added.");
inline const QString kNoFolderMessage =
    QStringLiteral("Folder does not exist. Please select another folder.");
inline const QString kOutputFolderNotUtf8Message =
    QStringLiteral("The output folder's name is not valid UTF-8; rename the folder or select another one.");
inline const QString kDoneMessage = QStringLiteral("Done.");
inline const QString kCancelledMessage = QStringLiteral("Cancelled.");

class ReverseJob : public QObject {
    Q_OBJECT

public:
    // The engine stays the caller's (the window's AVC1); the job uses it for every conversion.
    ReverseJob(AVC& engine, const JobListSource& list, const JobChoices& choices, MessageSink& sink,
               QObject* parent = nullptr);
    ~ReverseJob() override;

    // The start button's press: the two checks, then a cancel when a job runs, else a new job.
    void Press();

    // The two checks, then the whole job; returns when it has ended. Refused (ran false, no
    // message) while a job runs.
    JobSummary Run();

    // Ends the running tool and stops the job after it: no further step or file.
    void Cancel();

    bool IsRunning() const { return m_running; }

    // Who tells the user the outcome at the end of a job; without one (or with an empty one),
    // the final message goes to the MessageSink.
    using EndMessage = std::function<void(const JobSummary& summary)>;
    void SetEndMessage(EndMessage show) { m_endMessage = std::move(show); }

signals:
    void Started();  // the start button now reads "Cancel"
    void FileReversing(int row, const QString& source);
    void FileConverting(int row, const QString& source);
    void FileFinished(const tarnivo::FileOutcome& outcome);
    // How far the job is, the one account of it that the faces show: at its start, at every
    // step, whenever a tool or the engine tells of progress, twice a second while it runs, and
    // once more at its end (jobOver), before the end message.
    void Progress(const tarnivo::JobProgress& progress);
    void Finished(const tarnivo::JobSummary& summary);  // after the final message was shown

private:
    bool PassesChecks();
    bool CustomFormatFits();
    bool Prepare(WorkFolderLock& lock);
    FileOutcome ProcessRow(int i, const QString& FQ, const StepErrorReporter& report);
    // V's picture is as the reversal made it (see ReversalResult).
    void Convert(const QString& V, const QString& S, const IntermediatePicture& picture,
                 FileOutcome& outcome);
    void CleanWorkFolder();
    void ListenToTools(bool listen);

    AVC& m_engine;
    const JobListSource& m_list;
    const JobChoices& m_choices;
    MessageSink& m_sink;
    RunningTools m_tools;   // the reversal's tools; the engine keeps its conversion's
    OutputFolder m_output;  // checked and held for the whole job
    EndMessage m_endMessage;
    JobProgressTracker m_progress;
    QTimer m_progressClock;  // tells the time as it passes while the tools are silent
    bool m_running = false;
    bool m_cancelRequested = false;
};

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::FileOutcome)
Q_DECLARE_METATYPE(tarnivo::JobSummary)
Q_DECLARE_METATYPE(tarnivo::JobProgress)
