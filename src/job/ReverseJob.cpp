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

#include <algorithm>

namespace tarnivo {

namespace {

constexpr int kFailuresNamed = 10;
constexpr int kProgressRefreshMs = 500;

// The frames the probe's facts promise, for the model of the job's work.
FileWork workOf(const SourceFacts& facts)
{
    FileWork work;
    const double seconds = std::max(0.0, facts.statedEnd - facts.pictureStart);
    work.seconds = facts.statedEnd;
    work.sound = facts.hasSound;
    if (facts.hasPicture) {
        work.frames = std::max(1.0, seconds * FrameRateValue(facts.frameRate));
        work.pixels = facts.pixels;
    }
    return work;
}

JobStep jobStepOf(ReversalStep step)
{
    switch (step) {
    case ReversalStep::Room:
        return JobStep::Room;
    case ReversalStep::Frames:
        return JobStep::Frames;
    case ReversalStep::Sound:
        return JobStep::Sound;
    case ReversalStep::Rebuilding:
        return JobStep::Rebuilding;
    case ReversalStep::Joining:
        break;
    }
    return JobStep::Joining;
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
      m_report(std::make_unique<StepErrorReporter>(sink, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"))),
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
    connect(m_reading, &PlanReading::Ready, this, &ReverseJob::MakePlan);
    m_progressClock.setInterval(kProgressRefreshMs);
    connect(&m_progressClock, &QTimer::timeout, this, [this] { m_progress.Refresh(); });
}

ReverseJob::~ReverseJob()
{
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
    if (const QString problem = ChoicesProblem(m_choices.ProfileName(), m_choices.CustomValues(), std::nullopt);
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
    if (!PassesChecks())
        return RefuseStart(QString(), false);
    if (const QString problem = StartProblem(); !problem.isEmpty())
        return RefuseStart(problem, !ChoicesProblem(m_choices.ProfileName(), m_choices.CustomValues(), std::nullopt).isEmpty());
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
    if (!problem.isEmpty()) {
        m_output.Close();
        RefuseStart(problem, false);
        return false;
    }
    // What killed jobs of this machine left there; another running job's files stay.
    m_output.RemoveStaleTemporaries();
    // Errors of the deployment are told once, by the check after it, not by a report per step.
    RecordedErrorSink deploymentErrors;
    DeployTools(StepErrorReporter(deploymentErrors, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")));
    if (const QString deployment = DeploymentProblem(WorkFolder(), deploymentErrors.firstError);
        !deployment.isEmpty()) {
        CleanWorkFolder();
        m_lock.Release();
        m_output.Close();
        RefuseStart(deployment, false);
        return false;
    }
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
        row.problem = RowProblem(row.source, m_output.Name());
        rows.push_back(row);
    }
    m_reading->Start(std::move(rows));
}

void ReverseJob::MakePlan()
{
    if (m_stage != Stage::Planning)
        return;  // cancelled meanwhile
    m_stage = Stage::Working;
    m_rows = std::move(m_reading->Rows());
    const QString profile = m_choices.ProfileName();
    const CustomFormatValues custom = m_choices.CustomValues();
    if (const QString problem = ChoicesProblem(profile, custom, EncoderCatalogue::Known()); !problem.isEmpty()) {
        m_sink.ShowMessage(problem);
        m_summary.ran = false;
        m_summary.choicesRefused = true;
        return End(false);
    }
    const ProfileChoice choice = *ChoiceFor(profile, custom);
    std::vector<FileWork> work(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        PlanReading::Row& row = m_rows[i];
        if (row.problem.isEmpty())
            row.problem = FileProblem(row.facts, choice, OutputProblem(m_output, row.source, profile, custom));
        if (row.problem.isEmpty())
            work[i] = workOf(row.facts);
        else
            Refuse(static_cast<int>(i) + 1, row.problem);
    }
    m_progress.Planned(work, ConversionWorkOf(choice.settings, choice.extension.toStdString()));
    m_current = 0;
    NextFile();
}

// A row that cannot be made is told at once; the summary keeps it in the rows' order.
void ReverseJob::Refuse(int row, const QString& reason)
{
    FileOutcome outcome;
    outcome.row = row;
    outcome.source = m_rows[row - 1].text;
    outcome.refused = true;
    outcome.reason = CannotBeMade(WithoutLeadingPaths(reason, {m_rows[row - 1].source, outcome.source}));
    emit FileFinished(outcome);
}

void ReverseJob::NextFile()
{
    if (m_cancelled)
        return End(true);
    while (++m_current <= static_cast<int>(m_rows.size())) {
        const PlanReading::Row& row = m_rows[m_current - 1];
        if (!row.problem.isEmpty()) {
            FileOutcome outcome;
            outcome.row = m_current;
            outcome.source = row.text;
            outcome.refused = true;
            outcome.reason = CannotBeMade(WithoutLeadingPaths(row.problem, {row.source, row.text}));
            m_summary.files.push_back(outcome);
            continue;
        }
        // The choices are read anew for every file: a change during the job applies from here.
        const QString profile = m_choices.ProfileName();
        const CustomFormatValues custom = m_choices.CustomValues();
        QString problem = ChoicesProblem(profile, custom, EncoderCatalogue::Known());
        if (problem.isEmpty())
            problem = FileProblem(row.facts, *ChoiceFor(profile, custom),
                                  OutputProblem(m_output, row.source, profile, custom));
        if (!problem.isEmpty()) {
            m_rows[m_current - 1].problem = problem;
            Refuse(m_current, problem);
            --m_current;  // told now; kept in the summary by the loop's next turn
            continue;
        }
        return Reverse(m_current);
    }
    End(true);
}

void ReverseJob::Reverse(int rowNumber)
{
    const PlanReading::Row& row = m_rows[rowNumber - 1];
    m_progress.StartFile(rowNumber);
    emit FileReversing(rowNumber, row.text);
    m_reversal = new ReverseOneFile(m_tools, *m_report, this);
    connect(m_reversal, &ReverseOneFile::StepStarted, this,
            [this](ReversalStep step) { m_progress.EnterStep(jobStepOf(step)); });
    connect(m_reversal, &ReverseOneFile::ToolLine, this, [this](const QString& line) { m_progress.ToolLine(line); });
    connect(m_reversal, &ReverseOneFile::Finished, this, &ReverseJob::Reversed);
    m_reversal->Start(row.source, row.facts, m_FQ);
}

void ReverseJob::Reversed(const ReversalResult& result)
{
    const PlanReading::Row& row = m_rows[m_current - 1];
    m_progress.FramesCounted(m_reversal->Frames());
    m_reversal->deleteLater();
    m_reversal = nullptr;
    FileOutcome outcome;
    outcome.row = m_current;
    outcome.source = row.text;
    if (!result.made || m_cancelled) {
        outcome.reason = result.failureReason;
        return FinishRow(outcome);
    }
    m_progress.EnterStep(JobStep::Converting);
    emit FileConverting(m_current, row.text);
    m_picture = result.picture;
    m_converting = true;
    const ConversionAttempt attempt = ConvertFLV(m_engine, CurrentReversalPaths().result, m_choices.ProfileName(),
                                                 row.source, m_output, m_choices.CustomValues(), m_sink, m_picture);
    if (attempt.result == ConversionAttempt::Result::Started && m_engine.IsConverting()) {
        m_attempt = attempt;
        return;  // the engine's Complete tells the end of its tool
    }
    m_converting = false;
    if (attempt.result == ConversionAttempt::Result::ProfileNotDefined)
        outcome.reason = QStringLiteral("the profile \"%1\" is not defined").arg(m_choices.ProfileName());
    else if (attempt.result == ConversionAttempt::Result::NoFreeName)
        outcome.reason = QStringLiteral("every output name for it is taken");
    else
        outcome.reason = attempt.failure;
    FinishRow(outcome);
}

// The conversion's tool has ended: its result is read back, and named only when it is whole.
void ReverseJob::ConversionEnded()
{
    if (!m_converting)
        return;
    m_converting = false;
    m_progress.EnterStep(JobStep::Checking);
    m_check = new ConversionCheck(m_tools, m_sink, this);
    connect(m_check, &ConversionCheck::Finished, this, &ReverseJob::Checked);
    m_check->Start(m_attempt, m_engine, m_output, CurrentReversalPaths().result, m_picture);
}

void ReverseJob::Checked(const ConversionAttempt& attempt)
{
    m_check->deleteLater();
    m_check = nullptr;
    // ConvertFLV gives a result its final name only when it is whole, and otherwise deletes only
    // its own temporary file: nothing under any other name is touched here.
    FileOutcome outcome;
    outcome.row = m_current;
    outcome.source = m_rows[m_current - 1].text;
    outcome.succeeded = attempt.Made();
    outcome.output = attempt.destination;
    outcome.reason = attempt.failure;
    outcome.note = attempt.note;
    FinishRow(outcome);
}

void ReverseJob::FinishRow(FileOutcome outcome)
{
    const ReversalPaths paths = CurrentReversalPaths();
    KillFiles(paths.result);
    KillFiles(paths.rebuilt);
    // A file made before the cancel took effect stays made; any other is the cancel's.
    if (!m_cancelled || outcome.succeeded) {
        const PlanReading::Row& row = m_rows[m_current - 1];
        // The row names the file beside its reason: the reason need not name it again.
        outcome.reason =
            WithoutLeadingPaths(outcome.reason, {row.source, row.text, QStringLiteral("file:") + row.source});
        m_summary.files.push_back(outcome);
        m_progress.FinishFile();
        emit FileFinished(outcome);
    }
    // The next file starts from the event loop, never from inside this one's last step.
    QTimer::singleShot(0, this, &ReverseJob::NextFile);
}

void ReverseJob::End(bool tellEnd)
{
    m_progressClock.stop();
    m_summary.cancelled = m_cancelled;
    CleanWorkFolder();
    m_lock.Release();
    m_output.Close();
    m_tools.SetStartsRefused(false);
    m_stage = Stage::Idle;
    m_paused = false;
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
    m_paused = false;
    m_progress.Cancelling();
    m_tools.SetStartsRefused(true);
    m_tools.Cancel();
    m_engine.CancelConvert();
    if (m_reversal)
        m_reversal->Stop();
    if (m_check)
        m_check->Stop();
    // While the plan reads the files, nothing of the job's own runs: it ends at once.
    if (m_stage == Stage::Planning) {
        m_stage = Stage::Working;
        QTimer::singleShot(0, this, [this] { End(true); });
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
