#include "ReverseJob.h"

#include "AVC.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
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

bool isUsableOutput(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

QString conversionFailureReason(const AVC::RunRecord& run, const QString& destination)
{
    if (!run.ran)
        return run.refusal.isEmpty() ? QStringLiteral("the conversion did not start") : run.refusal;
    const QString toolSaid = LastMeaningfulLine(run.errorLines);
    if (run.exitStatus != 0)
        return toolSaid.isEmpty() ? QStringLiteral("ffmpeg ended with status %1").arg(run.exitStatus)
                                  : toolSaid;
    if (!QFileInfo(destination).isFile())
        return toolSaid.isEmpty() ? QStringLiteral("ffmpeg made no output file") : toolSaid;
    return toolSaid.isEmpty() ? QStringLiteral("ffmpeg made an empty output file") : toolSaid;
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
    : QObject(parent), m_engine(engine), m_list(list), m_choices(choices), m_sink(sink)
{
    qRegisterMetaType<FileOutcome>();
    qRegisterMetaType<JobSummary>();
}

ReverseJob::~ReverseJob()
{
    if (m_running)
        Cancel();
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
    if (!FolderExists(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kNoFolderMessage);
        return false;
    }
    return true;
}

// Everything that must hold before anything is written: the tools, a safe working folder
// that no other job uses.
bool ReverseJob::Prepare(WorkFolderLock& lock)
{
    for (const QString& problem :
         {missingSystemToolsMessage(), missingHelpersMessage(), PrepareWorkFolder()}) {
        if (!problem.isEmpty()) {
            m_sink.ShowMessage(problem);
            return false;
        }
    }
    const QString problem = lock.Acquire(WorkFolder());
    if (!problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        return false;
    }
    return true;
}

JobSummary ReverseJob::Run()
{
    JobSummary summary;
    if (m_running || !PassesChecks())
        return summary;
    WorkFolderLock lock;
    if (!Prepare(lock))
        return summary;

    m_running = true;
    m_cancelRequested = false;
    summary.ran = true;
    emit Started();

    const StepErrorReporter report(m_sink, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    DeployTools(report);
    const QString FQ = QuotedToolPath(WorkFolder());
    const int N = m_list.RowCount();
    for (int i = 1; i <= N && !m_cancelRequested; ++i) {
        const FileOutcome outcome = ProcessRow(i, FQ, report);
        if (m_cancelRequested)
            break;
        summary.files.push_back(outcome);
        emit FileFinished(outcome);
    }
    summary.cancelled = m_cancelRequested;
    CleanWorkFolder();
    lock.Release();
    m_tools.SetStartsRefused(false);
    m_running = false;

    m_sink.ShowMessage(summary.FinalMessage());
    emit Finished(summary);
    return summary;
}

FileOutcome ReverseJob::ProcessRow(int i, const QString& FQ, const StepErrorReporter& report)
{
    emit ProgressChanged(static_cast<int>(static_cast<double>(i) / std::max(1, m_list.RowCount()) * 100.0));
    FileOutcome outcome;
    outcome.row = i;
    outcome.source = m_list.RowText(i);
    const QString S = absoluteSource(outcome.source);
    const ReversalPaths paths = CurrentReversalPaths();

    emit FileReversing(i, outcome.source);
    const ReversalResult reversal = ReverseOneFile(S, FQ, report, m_tools);
    if (!reversal.made || m_cancelRequested) {
        outcome.reason = reversal.failureReason;
    } else {
        emit FileConverting(i, outcome.source);
        Convert(paths.result, S, outcome);
    }
    KillFiles(paths.result);
    KillFiles(paths.rebuilt);
    return outcome;
}

void ReverseJob::Convert(const QString& V, const QString& S, FileOutcome& outcome)
{
    const ConversionAttempt attempt =
        ConvertFLV(m_engine, V, m_choices.ProfileName(), S, m_choices.OutputFolderText(),
                   m_choices.CustomValues(), m_sink);
    if (attempt.result == ConversionAttempt::Result::ProfileNotDefined) {
        outcome.reason = QStringLiteral("the profile \"%1\" is not defined").arg(m_choices.ProfileName());
        return;
    }
    if (attempt.result == ConversionAttempt::Result::NoFreeName) {
        outcome.reason = QStringLiteral("every output name for it is taken");
        return;
    }
    const AVC::RunRecord& run = m_engine.LastRun();
    if (!m_cancelRequested && run.ran && run.exitStatus == 0 && isUsableOutput(attempt.destination)) {
        outcome.succeeded = true;
        outcome.output = attempt.destination;
        return;
    }
    outcome.reason = conversionFailureReason(run, attempt.destination);
    // The name was free when the conversion started: whatever is there now, the conversion left.
    if (run.ran)
        KillFiles(attempt.destination);
}

void ReverseJob::CleanWorkFolder()
{
    const QString work = WorkFolder();
    for (const char* name : kDeployedToolNames)
        KillFiles(work + QLatin1Char('/') + QLatin1String(name));
    KillFiles(work + QStringLiteral("/*.*"));
    // A cancelled reversal can leave renumbered frames behind.
    KillFiles(RenameFolder() + QStringLiteral("/*.*"));
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
