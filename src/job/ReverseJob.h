// The reverse job: the one object that the window and tarnivo-reverse both drive. It plans
// before it works (every file is read and checked before the first frame is written), then
// reverses every file that can be made, converts it into the chosen profile, cleans the working
// folder and tells the outcome of every file.
//
// Start() returns at once; the job runs from the event loop, one step after another, each step
// with its own tool, and exactly one Finished tells its end. Cancel() stops the running tool;
// Finished still follows, once. Nothing here waits: the faces stay responsive throughout.
#pragma once

#include "ConvertFLV.h"
#include "JobPlan.h"
#include "JobProgress.h"
#include "MediaProbe.h"
#include "OutputFolder.h"
#include "ToolRun.h"
#include "WorkFolderLock.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace tarnivo {

class AVC;
class ConversionCheck;
class MessageSink;
class ProbeClient;
class ReverseOneFile;
class StepErrorReporter;
struct ReversalResult;

// The rows of the job list, read when they are needed (rows count from 1).
class JobListSource {
public:
    virtual ~JobListSource() = default;
    virtual int RowCount() const = 0;
    virtual QString RowText(int row) const = 0;
    // The part of the row's film that is reversed; the whole film by default.
    virtual FilmPart RowPart(int) const { return FilmPart(); }
    // True for a row that an earlier run of the window finished (made, or failed): a restored
    // job list's. The job leaves it as it is and tells nothing of it.
    virtual bool RowFinished(int) const { return false; }
};

// What the user has chosen; read anew for every file, so a change made during a job applies
// from the next file on.
class JobChoices {
public:
    virtual ~JobChoices() = default;
    virtual QString OutputFolderText() const = 0;  // Text2, as typed or picked
    virtual QString ProfileName() const = 0;       // Combo1's text
    virtual CustomFormatValues CustomValues() const = 0;
    // The film forward, then backward ("Forward, then backward"); off by default.
    virtual bool Boomerang() const { return false; }
};

// The outcome of one row.
struct FileOutcome {
    int row = 0;
    QString source;  // the row's text
    QString output;  // the file made; empty when none
    bool succeeded = false;
    bool refused = false;  // found before any work to be a file that cannot be made
    QString reason;        // why it failed
    QString note;          // what the user should know of a file that was made (a shortened name)
};

struct JobSummary {
    bool ran = false;  // false when the start was refused
    bool cancelled = false;
    // The start was refused because no file could be made with the chosen profile or custom
    // settings (a profile not defined, settings that make no sense, an encoder missing).
    bool choicesRefused = false;
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
    // probes reads the films' facts (the window shares its own with the job list); without
    // one the job has its own.
    ReverseJob(AVC& engine, const JobListSource& list, const JobChoices& choices, MessageSink& sink,
               ProbeClient* probes = nullptr, QObject* parent = nullptr);
    ~ReverseJob() override;

    // The start button's press: the two designed checks, then a cancel when a job runs, else
    // Start().
    void Press();

    // Starts a job; returns at once. Exactly one Finished follows, also when a check refuses
    // the start (the message tells why). Ignored while a job runs.
    void Start();

    // Stops the running tool and ends the job after it: no further step or file.
    void Cancel();
    // Stops the running tool where it is, and lets it go on; the time left leaves the pause out.
    void Pause(bool paused);

    bool IsRunning() const { return m_stage != Stage::Idle; }
    bool IsPaused() const { return m_paused; }

    // Who tells the user the outcome at the end of a job; without one (or with an empty one),
    // the final message goes to the MessageSink.
    using EndMessage = std::function<void(const JobSummary& summary)>;
    void SetEndMessage(EndMessage show) { m_endMessage = std::move(show); }

signals:
    void Started();  // the start button now reads "Cancel"
    void FileReversing(int row, const QString& source);
    void FileConverting(int row, const QString& source);
    // Every row's outcome; a row that cannot be made is told so as soon as the plan knows.
    void FileFinished(const tarnivo::FileOutcome& outcome);
    // How far the job is, the one account of it that the faces show: at every step, whenever a
    // tool tells of progress, twice a second while it runs, and once more at its end (jobOver),
    // before the end message.
    void Progress(const tarnivo::JobProgress& progress);
    void Finished(const tarnivo::JobSummary& summary);  // after the final message was shown

private:
    enum class Stage { Idle, Planning, Working };

    bool PassesChecks();
    QString StartProblem();
    bool Prepare();
    void Plan();
    void PlanRead();
    void ToolsDeployed();
    void MakePlan();
    void NextFile();
    void Reverse(int row);
    void Reversed(const ReversalResult& result);
    void ConversionEnded();
    void Checked(const ConversionAttempt& attempt);
    void FinishRow(FileOutcome outcome);
    void Refuse(int row, const QString& reason);
    QString FileAndPartProblem(const PlanReading::Row& row, const ProfileChoice& choice,
                               const QString& profile, const CustomFormatValues& custom) const;
    void End(bool tellEnd);
    void RefuseStart(const QString& message, bool choices);
    void CleanWorkFolder();

    AVC& m_engine;
    const JobListSource& m_list;
    const JobChoices& m_choices;
    MessageSink& m_sink;
    std::unique_ptr<ProbeClient> m_ownProbes;
    PlanReading* m_reading;
    std::unique_ptr<StepErrorReporter> m_report;
    RunningTools m_tools;   // the reversal's tools; the engine keeps its conversion's
    OutputFolder m_output;  // checked and held for the whole job
    WorkFolderLock m_lock;
    EndMessage m_endMessage;
    JobProgressTracker m_progress;
    QTimer m_progressClock;  // tells the time as it passes while the tools are silent

    Stage m_stage = Stage::Idle;
    bool m_cancelled = false;
    bool m_paused = false;
    QFutureWatcher<QString> m_deployment;  // the tools written into the working folder: why not
    bool m_planRead = false;
    bool m_toolsReady = false;
    bool m_endAfterTools = false;  // cancelled while the tools were being written
    QString m_FQ;
    std::vector<PlanReading::Row> m_rows;
    JobSummary m_summary;
    int m_current = 0;  // the row worked on
    ReverseOneFile* m_reversal = nullptr;
    ConversionCheck* m_check = nullptr;
    bool m_converting = false;
    ConversionAttempt m_attempt;
    IntermediatePicture m_picture;
};

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::FileOutcome)
Q_DECLARE_METATYPE(tarnivo::JobSummary)
Q_DECLARE_METATYPE(tarnivo::JobProgress)
