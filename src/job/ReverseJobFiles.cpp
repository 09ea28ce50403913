// The reverse job's work on each file, in the order of the rows: its reversal, its conversion
// and the check of the result, each started when the one before has ended.
#include "ToolNames.h"
#include "ReverseJob.h"

#include "AVC.h"
#include "FailureReason.h"
#include "FileRoutines.h"
#include "JobPlan.h"
#include "ReverseOneFile.h"

namespace tarnivo {

namespace {

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
        if (row.finished)
            continue;  // an earlier run's: left as it is
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
            problem = FileAndPartProblem(row, *ChoiceFor(profile, custom), profile, custom);
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
    connect(m_reversal, &ReverseOneFile::ToolLine, this,
            [this](const QString& line) { m_progress.ToolLine(line); });
    connect(m_reversal, &ReverseOneFile::Finished, this, &ReverseJob::Reversed);
    const std::optional<ProfileChoice> choice = ChoiceFor(m_choices.ProfileName(), m_choices.CustomValues());
    ReversalOptions options = choice ? ReversalOptionsFor(*choice) : ReversalOptions();
    options.part = row.part;
    options.boomerang = m_choices.Boomerang();
    m_reversal->Start(row.source, row.facts, m_FQ, options);
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
    const ConversionAttempt attempt =
        ConvertFLV(m_engine, CurrentReversalPaths().result, m_choices.ProfileName(), row.source, m_output,
                   m_choices.CustomValues(), m_sink, m_picture);
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
        outcome.reason = WithoutLeadingPaths(
            outcome.reason, {row.source, row.text, QLatin1String(media::kFileProtocol) + row.source});
        m_summary.files.push_back(outcome);
        m_progress.FinishFile();
        emit FileFinished(outcome);
    }
    // The next file starts from the event loop, never from inside this one's last step.
    QTimer::singleShot(0, this, &ReverseJob::NextFile);
}

}  // namespace tarnivo
