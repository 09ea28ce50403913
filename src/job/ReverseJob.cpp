#include "ReverseJob.h"

#include "AVC.h"
#include "CommandLine.h"
#include "FailureReason.h"
#include "FileRoutines.h"
#include "JobPlan.h"
#include "JobStart.h"
#include "MessageSink.h"
#include "ProbeClient.h"
#include "ProcessRunner.h"
#include "ProfileCatalogue.h"
#include "ReverseOneFile.h"
#include "ToolDeployment.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace tarnivo {

namespace {

constexpr int kFailuresNamed = 10;
constexpr int kProgressRefreshMs = 500;

// The frames the probe's facts promise for the part of the film reversed, for the model of the
// job's work.
FileWork workOf(const SourceFacts& facts, const FilmPart& part, bool boomerang)
{
    FileWork work;
    const double end =
        part.to >= 0 && (facts.statedEnd <= 0 || part.to < facts.statedEnd) ? part.to : facts.statedEnd;
    const double seconds = std::max(0.0, end - std::max(facts.pictureStart, part.from));
    work.seconds = part.IsWhole() ? facts.statedEnd : seconds;
    work.partSeconds = part.IsWhole() ? 0 : seconds;
    work.boomerang = boomerang;
    work.sound = facts.hasSound;
    if (facts.hasPicture) {
        work.frames = std::max(1.0, seconds * FrameRateValue(facts.frameRate));
        work.pixels = facts.pixels;
    }
    return work;
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
                       ProbeClient* probes, QObject* parent)
    : QObject(parent), m_engine(engine), m_list(list), m_choices(choices), m_sink(sink),
      m_ownProbes(probes ? nullptr : std::make_unique<ProbeClient>()),
      m_reading(new PlanReading(probes ? *probes : *m_ownProbes, this)),
      m_report(std::make_unique<StepErrorReporter>(sink, QStringLiteral("Form1"),
                                                   QStringLiteral("PushButton5_Click"))),
      m_progress([this](const JobProgress& progress) { emit Progress(progress); })
{
    qRegisterMetaType<FileOutcome>();
    qRegisterMetaType<JobSummary>();
    qRegisterMetaType<JobProgress>();
    connect(&m_engine, &AVC::Complete, this, &ReverseJob::ConversionEnded);
    connect(&m_engine, &AVC::ToolLine, this, [this](const QString& line) {
        if (m_converting)
            m_progress.ToolLine(line);
    });
    connect(m_reading, &PlanReading::Ready, this, &ReverseJob::PlanRead);
    connect(&m_deployment, &QFutureWatcher<QString>::finished, this, &ReverseJob::ToolsDeployed);
    m_progressClock.setInterval(kProgressRefreshMs);
    connect(&m_progressClock, &QTimer::timeout, this, [this] { m_progress.Refresh(); });
}

ReverseJob::~ReverseJob()
{
    m_deployment.waitForFinished();
    // A job that is still under way goes with its tools: each step's tool ends with its step,
    // the engine's conversion with the engine.
    if (IsRunning()) {
        m_tools.Cancel();
        m_engine.CancelConvert();
    }
}

void ReverseJob::Press()
{
    if (!PassesChecks())
        return;
    if (IsRunning()) {
        Cancel();
        return;
    }
    Start();
}

bool ReverseJob::PassesChecks()
{
    if (m_list.RowCount() < 1) {
        m_sink.ShowMessage(kNoFilesMessage);
        return false;
    }
    if (LostUndecodableBytes(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kOutputFolderNotUtf8Message);
        return false;
    }
    if (!FolderExists(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kNoFolderMessage);
        return false;
    }
    return true;
}

// Why no job can start now: the choices (the profile, the custom settings; the encoders once
// the plan has read them), an output folder or a file inside the working folder, a tool that is
// not installed.
QString ReverseJob::StartProblem()
{
    if (const QString problem =
            ChoicesProblem(m_choices.ProfileName(), m_choices.CustomValues(), std::nullopt);
        !problem.isEmpty())
        return problem;
    QString inWorkFolder = OutputFolderInWorkFolder(m_choices.OutputFolderText());
    for (int row = 1; row <= m_list.RowCount() && inWorkFolder.isEmpty(); ++row) {
        const QString source = AbsoluteSource(m_list.RowText(row));
        if (LiesInWorkFolder(source))
            inWorkFolder = QStringLiteral("%1 lies in Tarnivo's working folder %2, whose files Tarnivo "
                                          "deletes after every job. Please move it to another folder first.")
                               .arg(source, WorkFolder());
    }
    for (const QString& problem : {inWorkFolder, MissingProgramsProblem(), MissingHelpersProblem()}) {
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

void ReverseJob::Start()
{
    if (IsRunning())
        return;
    m_summary = JobSummary();
    m_cancelled = false;
    m_paused = false;
    m_planRead = false;
    m_toolsReady = false;
    m_endAfterTools = false;
    if (!PassesChecks())
        return RefuseStart(QString(), false);
    if (const QString problem = StartProblem(); !problem.isEmpty())
        return RefuseStart(
            problem,
            !ChoicesProblem(m_choices.ProfileName(), m_choices.CustomValues(), std::nullopt).isEmpty());
    if (!Prepare())
        return;
    m_stage = Stage::Planning;
    m_summary.ran = true;
    emit Started();
    m_progress.StartJob(m_list.RowCount());
    m_progressClock.start();
    Plan();
}

// A refused start still ends with one Finished, from the event loop.
void ReverseJob::RefuseStart(const QString& message, bool choices)
{
    if (!message.isEmpty())
        m_sink.ShowMessage(message);
    JobSummary refused;
    refused.choicesRefused = choices;
    QTimer::singleShot(0, this, [this, refused] { emit Finished(refused); });
}

// Everything that must hold before anything is written: the output folder (checked and held
// for the whole job: a folder that cannot take the results refuses the job at once), a safe
// working folder of Tarnivo's own that no other job uses, and the tools in it.
bool ReverseJob::Prepare()
{
    if (const QString problem = m_output.Open(m_choices.OutputFolderText()); !problem.isEmpty()) {
        RefuseStart(problem, false);
        return false;
    }
    QString problem = PrepareWorkFolder();
    if (problem.isEmpty())
        problem = m_lock.Acquire(WorkFolder());
    // Only with the lock held: what a killed job left is told from the user's files.
    if (problem.isEmpty())
        problem = BeginJobInWorkFolder();
    if (!problem.isEmpty()) {
        m_lock.Release();
        m_output.Close();
        RefuseStart(problem, false);
        return false;
    }
    // What killed jobs of this machine left there; another running job's files stay.
    m_output.RemoveStaleTemporaries();
    // Megabytes of tools go into a fresh working folder: they are written on a thread of their
    // own while the plan reads the files, and the window goes on meanwhile.
    m_deployment.setFuture(QtConcurrent::run(DeployToolsTellingProblem));
    m_FQ = QuotedToolPath(WorkFolder());
    return true;
}

// Every row is read before any is worked on: its name, then its facts, and ffmpeg's encoders.
void ReverseJob::Plan()
{
    std::vector<PlanReading::Row> rows;
    for (int i = 1; i <= m_list.RowCount(); ++i) {
        PlanReading::Row row;
        row.text = m_list.RowText(i);
        row.source = AbsoluteSource(row.text);
        row.part = m_list.RowPart(i);
        row.finished = m_list.RowFinished(i);
        if (!row.finished)
            row.problem = RowProblem(row.source, m_output.Name());
        rows.push_back(row);
    }
    m_reading->Start(std::move(rows));
}

// The plan is made once the files are read and the tools are in place, whichever comes last.
void ReverseJob::PlanRead()
{
    m_planRead = true;
    if (m_toolsReady)
        MakePlan();
}

void ReverseJob::ToolsDeployed()
{
    m_toolsReady = true;
    if (m_endAfterTools)
        End(true);
    else if (m_planRead)
        MakePlan();
}

void ReverseJob::MakePlan()
{
    if (m_stage != Stage::Planning)
        return;  // cancelled meanwhile
    m_stage = Stage::Working;
    // A working folder that cannot hold the tools makes every file fail: the job stops at once.
    if (const QString problem = m_deployment.result(); !problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        m_summary.ran = false;
        return End(false);
    }
    m_rows = std::move(m_reading->Rows());
    const QString profile = m_choices.ProfileName();
    const CustomFormatValues custom = m_choices.CustomValues();
    if (const QString problem = ChoicesProblem(profile, custom, EncoderCatalogue::Known());
        !problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        m_summary.ran = false;
        m_summary.choicesRefused = true;
        return End(false);
    }
    const ProfileChoice choice = *ChoiceFor(profile, custom);
    std::vector<FileWork> work(m_rows.size());
    const bool boomerang = m_choices.Boomerang();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        PlanReading::Row& row = m_rows[i];
        if (row.finished)
            continue;
        if (row.problem.isEmpty())
            row.problem = FileAndPartProblem(row, choice, profile, custom);
        if (row.problem.isEmpty())
            work[i] = workOf(row.facts, row.part, boomerang);
        else
            Refuse(static_cast<int>(i) + 1, row.problem);
    }
    ConversionWork conversion = ConversionWorkOf(choice.settings, choice.extension.toStdString());
    conversion.exactFrames = ReversalOptionsFor(choice).exactFrames;
    m_progress.Planned(work, conversion);
    m_current = 0;
    NextFile();
}

// Why the row cannot be made with the choices: the file, its name in the output folder, its part.
QString ReverseJob::FileAndPartProblem(const PlanReading::Row& row, const ProfileChoice& choice,
                                       const QString& profile, const CustomFormatValues& custom) const
{
    const QString problem =
        FileProblem(row.facts, choice, OutputProblem(m_output, row.source, profile, custom));
    return problem.isEmpty() ? PartProblem(row.facts, row.part) : problem;
}

void ReverseJob::End(bool tellEnd)
{
    m_progressClock.stop();
    m_summary.cancelled = m_cancelled;
    CleanWorkFolder();
    m_lock.Release();
    m_output.Close();
    m_tools.SetStartsRefused(false);
    if (m_paused) {
        m_tools.Pause(false);
        m_engine.Tools().Pause(false);
        m_paused = false;
    }
    m_stage = Stage::Idle;
    m_progress.FinishJob();
    if (tellEnd) {
        if (m_endMessage)
            m_endMessage(m_summary);
        else
            m_sink.ShowMessage(m_summary.FinalMessage());
    }
    emit Finished(m_summary);
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

void ReverseJob::Cancel()
{
    if (!IsRunning() || m_cancelled)
        return;
    m_cancelled = true;
    if (m_paused) {
        m_tools.Pause(false);
        m_engine.Tools().Pause(false);
        m_paused = false;
    }
    m_progress.Cancelling();
    m_tools.SetStartsRefused(true);
    m_tools.Cancel();
    m_engine.CancelConvert();
    if (m_reversal)
        m_reversal->Stop();
    if (m_check)
        m_check->Stop();
    // While the plan reads the files, nothing of the job's own runs: it ends at once, or once
    // the tools are written, so that the working folder's cleaning finds them all.
    if (m_stage == Stage::Planning) {
        m_stage = Stage::Working;
        if (m_toolsReady)
            QTimer::singleShot(0, this, [this] { End(true); });
        else
            m_endAfterTools = true;
    }
}

void ReverseJob::Pause(bool paused)
{
    if (!IsRunning() || m_cancelled || paused == m_paused)
        return;
    m_paused = paused;
    m_tools.Pause(paused);
    m_engine.Tools().Pause(paused);
    m_progress.Pause(paused);
}

}  // namespace tarnivo
