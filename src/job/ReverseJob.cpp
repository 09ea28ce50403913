#include "ReverseJob.h"

#include "AVC.h"
#include "FailureReason.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
#include "ProfileCatalogue.h"
#include "ReverseOneFile.h"
#include "ToolDeployment.h"
#include "WorkFolder.h"
#include "WorkFolderLock.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarnivo {

namespace {

constexpr int kFailuresNamed = 10;
constexpr int kProgressRefreshMs = 500;

// The programs a job needs, and the Debian package that brings each.
QString missingSystemToolsMessage()
{
    const std::pair<const char*, const char*> tools[] = {
        {"ffmpeg", "ffmpeg"}, {"ffprobe", "ffmpeg"}, {"sox", "sox"}};
    QStringList missing;
    for (const auto& [program, package] : tools) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            missing << QStringLiteral("%1 (Debian package \"%2\")")
                           .arg(QLatin1String(program), QLatin1String(package));
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("Tarnivo needs programs that are not installed: %1. Please install them, for "
                          "example with: sudo apt install ffmpeg sox")
        .arg(missing.join(QStringLiteral(", ")));
}

QString missingHelpersMessage()
{
    QStringList missing;
    for (const QString& path :
         {ResourceProgramPath(kFfmpeg64Resource), ResourceProgramPath(kSoxResource), BatchRunnerPath()}) {
        if (!QFileInfo(path).isExecutable())
            missing << path;
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("Tarnivo's helper programs are missing: %1. Please reinstall Tarnivo.")
        .arg(missing.join(QStringLiteral(", ")));
}

// A relative source is taken from the folder the job was started in: the tools run in the
// working folder, where the same relative name means another file (or an option, "-y.mp4").
QString absoluteSource(const QString& row)
{
    if (row.isEmpty() || QDir::isAbsolutePath(row))
        return row;
    return QDir::current().absoluteFilePath(row);
}

// A name read from bytes that are not UTF-8 holds U+FFFD where they were; it no longer names
// the file on disk, and no tool could be given the real name.
bool lostUndecodableBytes(const QString& name)
{
    return name.contains(QChar(QChar::ReplacementCharacter)) && !QFileInfo::exists(name);
}

// Keeps the errors of the tool deployment instead of showing a report for each.
class RecordedErrorSink : public MessageSink {
public:
    void ShowMessage(const QString&) override {}
    void ShowErrorReport(const QString& text) override
    {
        if (firstError.isEmpty())
            firstError = text.section(QStringLiteral("\r\n"), 0, 0);
    }
    void ShowWarning(const QString&, const QString&) override {}
    QString firstError;  // the description of the first error
};

const QString kNotUtf8Reason = QStringLiteral("the name is not valid UTF-8; rename the file");

// The job deletes what it makes in the working folder: a source or a result there could be
// overwritten or deleted with it.
QString outputFolderInWorkFolder(const QString& outputFolder)
{
    if (!LiesInWorkFolder(outputFolder))
        return QString();
    return QStringLiteral("The output folder %1 lies in Tarnivo's working folder %2, whose files Tarnivo "
                          "deletes after every job. Please select another folder.")
        .arg(outputFolder, WorkFolder());
}

// The same for one file, told as the reason it fails (the row or the output folder may change
// while a job runs).
QString workFolderConflict(const QString& source, const QString& outputFolder)
{
    if (LiesInWorkFolder(source))
        return QStringLiteral("it lies in Tarnivo's working folder %1, whose files Tarnivo deletes after "
                              "every job; move it to another folder first")
            .arg(WorkFolder());
    if (LiesInWorkFolder(outputFolder))
        return QStringLiteral("the output folder %1 lies in Tarnivo's working folder %2; select another "
                              "folder")
            .arg(outputFolder, WorkFolder());
    return QString();
}

// The tools as the job deployed them: each one in place and as long as what it was made from.
// A working folder that cannot hold them makes every file fail, so the job stops at once.
QString deploymentProblem(const QString& work, const QString& firstError)
{
    const std::pair<int, const char*> tools[] = {{kFfmpeg64Resource, "ffmpeg.exe"},
                                                 {kSoxResource, "sox.exe"}};
    for (const auto& [resource, name] : tools) {
        const QFileInfo deployed(work + QLatin1Char('/') + QLatin1String(name));
        const QFileInfo carried(ResourceProgramPath(resource));
        if (!deployed.isExecutable() || deployed.size() != carried.size())
            return QStringLiteral("Tarnivo could not put its tools into the working folder %1: %2. "
                                  "Free some space there, or set TEMP to a folder on a disk with more "
                                  "room.")
                .arg(work, firstError.isEmpty() ? QLatin1String(name) + QStringLiteral(" is cut short")
                                                : firstError);
    }
    return QString();
}

}  // namespace

int JobSummary::FailedCount() const
{
    int failed = 0;
    for (const FileOutcome& file : files)
        failed += file.succeeded ? 0 : 1;
    return failed;
}

QString JobSummary::FinalMessage() const
{
    if (cancelled)
        return kCancelledMessage;
    const int failed = FailedCount();
    if (failed == 0)
        return kDoneMessage;
    QStringList lines;
    lines << kDoneMessage
          << (failed == 1 ? QStringLiteral("1 file failed:")
                          : QStringLiteral("%1 files failed:").arg(failed));
    int named = 0;
    for (const FileOutcome& file : files) {
        if (file.succeeded)
            continue;
        if (named++ == kFailuresNamed) {
            lines << QStringLiteral("...");
            break;
        }
        lines << QStringLiteral("%1: %2").arg(file.source, file.reason);
    }
    return lines.join(QLatin1Char('\n'));
}

ReverseJob::ReverseJob(AVC& engine, const JobListSource& list, const JobChoices& choices, MessageSink& sink,
                       QObject* parent)
    : QObject(parent), m_engine(engine), m_list(list), m_choices(choices), m_sink(sink),
      m_progress([this](const JobProgress& progress) { emit Progress(progress); })
{
    qRegisterMetaType<FileOutcome>();
    qRegisterMetaType<JobSummary>();
    qRegisterMetaType<JobProgress>();
    // The engine's pulse on the progress bar reaches the faces with the rest of the progress.
    connect(&m_engine, &AVC::Converting, this, [this] {
        if (m_running)
            m_progress.EngineTick(AVC::WaitCounter);
    });
    connect(&m_engine, &AVC::Complete, this, [this] {
        if (m_running)
            m_progress.ConversionEnded();
    });
    connect(&m_engine, &AVC::ErrorEvent, this, [this] {
        if (m_running)
            m_progress.ConversionRefused();
    });
    m_progressClock.setInterval(kProgressRefreshMs);
    connect(&m_progressClock, &QTimer::timeout, this, [this] { m_progress.Refresh(); });
}

ReverseJob::~ReverseJob()
{
    if (!m_running)
        return;
    Cancel();
    ListenToTools(false);
}

void ReverseJob::Press()
{
    if (!PassesChecks())
        return;
    if (m_running) {
        Cancel();
        return;
    }
    Run();
}

bool ReverseJob::PassesChecks()
{
    if (m_list.RowCount() < 1) {
        m_sink.ShowMessage(kNoFilesMessage);
        return false;
    }
    if (lostUndecodableBytes(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kOutputFolderNotUtf8Message);
        return false;
    }
    if (!FolderExists(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kNoFolderMessage);
        return false;
    }
    return true;
}

// "Custom Format" with a codec of today that the chosen extension's container cannot hold is
// refused before any file is worked on, rather than failing every file after its reversal.
bool ReverseJob::CustomFormatFits()
{
    if (m_choices.ProfileName() != QLatin1String(kCustomFormat))
        return true;
    const CustomFormatValues custom = m_choices.CustomValues();
    const std::string problem = CustomContainerProblem(
        custom.videoCodec.toStdString(), custom.audioCodec.toStdString(), custom.extension.toStdString());
    if (problem.empty())
        return true;
    m_sink.ShowMessage(QString::fromStdString(problem));
    return false;
}

// Everything that must hold before anything is written: no source or output folder in the
// working folder, the tools, a safe working folder of Tarnivo's own that no other job uses.
bool ReverseJob::Prepare(WorkFolderLock& lock)
{
    QString inWorkFolder = outputFolderInWorkFolder(m_choices.OutputFolderText());
    for (int row = 1; row <= m_list.RowCount() && inWorkFolder.isEmpty(); ++row) {
        const QString source = absoluteSource(m_list.RowText(row));
        if (LiesInWorkFolder(source))
            inWorkFolder = QStringLiteral("%1 lies in Tarnivo's working folder %2, whose files Tarnivo "
                                          "deletes after every job. Please move it to another folder first.")
                               .arg(source, WorkFolder());
    }
    for (const QString& problem : {inWorkFolder, missingSystemToolsMessage(), missingHelpersMessage()}) {
        if (!problem.isEmpty()) {
            m_sink.ShowMessage(problem);
            return false;
        }
    }
    if (const QString problem = PrepareWorkFolder(); !problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        return false;
    }
    QString problem = lock.Acquire(WorkFolder());
    // Only with the lock held: what a killed job left is told from the user's files.
    if (problem.isEmpty())
        problem = BeginJobInWorkFolder();
    if (!problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        return false;
    }
    return true;
}

JobSummary ReverseJob::Run()
{
    JobSummary summary;
    if (m_running || !PassesChecks() || !CustomFormatFits())
        return summary;
    // The output folder is checked (and held) once, before any work: a folder that cannot take
    // the results refuses the job instead of every file after its reversal. A change of the
    // folder during the job applies to the next job.
    const QString outputProblem = m_output.Open(m_choices.OutputFolderText());
    if (!outputProblem.isEmpty()) {
        m_sink.ShowMessage(outputProblem);
        return summary;
    }
    WorkFolderLock lock;
    if (!Prepare(lock)) {
        m_output.Close();
        return summary;
    }
    // What killed jobs of this machine left there; another running job's files stay.
    m_output.RemoveStaleTemporaries();

    m_running = true;
    m_cancelRequested = false;
    summary.ran = true;
    emit Started();

    const StepErrorReporter report(m_sink, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    // Errors of the deployment are told once, by the check after it, not by a report per step.
    RecordedErrorSink deploymentErrors;
    DeployTools(
        StepErrorReporter(deploymentErrors, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")));
    const QString deployment = deploymentProblem(WorkFolder(), deploymentErrors.firstError);
    if (!deployment.isEmpty()) {
        CleanWorkFolder();
        lock.Release();
        m_output.Close();
        m_running = false;
        m_sink.ShowMessage(deployment);
        summary.ran = false;
        emit Finished(summary);
        return summary;
    }
    const QString FQ = QuotedToolPath(WorkFolder());
    const int N = m_list.RowCount();
    m_progress.StartJob(N);
    m_progressClock.start();
    ListenToTools(true);
    for (int i = 1; i <= N && !m_cancelRequested; ++i) {
        const FileOutcome outcome = ProcessRow(i, FQ, report);
        if (m_cancelRequested)
            break;
        summary.files.push_back(outcome);
        m_progress.FinishFile();
        emit FileFinished(outcome);
    }
    ListenToTools(false);
    m_progressClock.stop();
    summary.cancelled = m_cancelRequested;
    CleanWorkFolder();
    lock.Release();
    m_output.Close();
    m_tools.SetStartsRefused(false);
    m_running = false;
    m_progress.FinishJob();

    if (m_endMessage)
        m_endMessage(summary);
    else
        m_sink.ShowMessage(summary.FinalMessage());
    emit Finished(summary);
    return summary;
}

FileOutcome ReverseJob::ProcessRow(int i, const QString& FQ, const StepErrorReporter& report)
{
    FileOutcome outcome;
    outcome.row = i;
    outcome.source = m_list.RowText(i);
    const QString S = absoluteSource(outcome.source);
    const ReversalPaths paths = CurrentReversalPaths();

    m_progress.StartFile(i, m_list.RowCount());
    emit FileReversing(i, outcome.source);
    if (lostUndecodableBytes(S)) {
        outcome.reason = kNotUtf8Reason;
        return outcome;
    }
    outcome.reason = workFolderConflict(S, m_output.Name());
    // A file whose output cannot be made is refused before its reversal.
    if (outcome.reason.isEmpty())
        outcome.reason = OutputProblem(m_output, S, m_choices.ProfileName(), m_choices.CustomValues());
    if (!outcome.reason.isEmpty())
        return outcome;
    const ReversalResult reversal = ReverseOneFile(S, FQ, report, m_tools);
    if (!reversal.made || m_cancelRequested) {
        outcome.reason = reversal.failureReason;
    } else {
        m_progress.StartConversion();
        emit FileConverting(i, outcome.source);
        Convert(paths.result, S, reversal.picture, outcome);
    }
    KillFiles(paths.result);
    KillFiles(paths.rebuilt);
    // The row names the file beside its reason: the reason need not name it again.
    outcome.reason = WithoutLeadingPaths(outcome.reason, {S, outcome.source, QStringLiteral("file:") + S});
    return outcome;
}

void ReverseJob::Convert(const QString& V, const QString& S, const IntermediatePicture& picture,
                         FileOutcome& outcome)
{
    const ConversionAttempt attempt = ConvertFLV(m_engine, V, m_choices.ProfileName(), S, m_output,
                                                 m_choices.CustomValues(), m_sink, picture);
    if (attempt.result == ConversionAttempt::Result::ProfileNotDefined) {
        outcome.reason = QStringLiteral("the profile \"%1\" is not defined").arg(m_choices.ProfileName());
        return;
    }
    if (attempt.result == ConversionAttempt::Result::NoFreeName) {
        outcome.reason = QStringLiteral("every output name for it is taken");
        return;
    }
    // ConvertFLV gives a result its final name only when it is whole, and otherwise deletes
    // only its own temporary file: nothing under any other name is touched here.
    outcome.succeeded = attempt.Made();
    outcome.output = attempt.destination;
    outcome.reason = attempt.failure;
    outcome.note = attempt.note;
}

void ReverseJob::CleanWorkFolder()
{
    const QString work = WorkFolder();
    for (const char* name : kDeployedToolNames)
        KillFiles(work + QLatin1Char('/') + QLatin1String(name));
    // Then what else the job makes there: batch files, sound, intermediates, and the frames a
    // cancelled reversal can leave behind. Nothing else in W or R is touched.
    DeleteWorkFiles(work);
}

// While the job runs, its tools and the engine's tell how far they are.
void ReverseJob::ListenToTools(bool listen)
{
    ToolListener listener;
    if (listen) {
        listener.started = [this](const QString& program, const QStringList& arguments) {
            m_progress.ToolStarted(program, arguments);
        };
        listener.errorLine = [this](const QString& line) { m_progress.ToolLine(line); };
    }
    m_tools.SetListener(listener);
    m_engine.Tools().SetListener(listener);
}

void ReverseJob::Cancel()
{
    if (!m_running)
        return;
    m_cancelRequested = true;
    m_tools.SetStartsRefused(true);
    m_tools.Cancel();
    m_engine.CancelConvert();
}

}  // namespace tarnivo
