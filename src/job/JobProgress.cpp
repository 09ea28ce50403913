#include "JobProgress.h"

#include "AVC.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace tarnivo {

namespace {

// A part that is not over shows at most 99 %: the last steps of a tool (its trailer, the
// renaming of frames, the read-back of a result) take time after its last progress line.
constexpr double kNotOver = 0.99;

constexpr JobStep kSteps[] = {JobStep::Frames,  JobStep::Sound,      JobStep::Rebuilding,
                              JobStep::Joining, JobStep::Converting, JobStep::Checking};

bool converts(JobStep step) { return step == JobStep::Converting || step == JobStep::Checking; }

// "HH:MM:SS.xx" in seconds; -1 when the text is no such time.
double secondsOf(const QString& hours, const QString& minutes, const QString& seconds)
{
    bool ok = true;
    const double value = hours.toInt(&ok) * 3600.0 + minutes.toInt() * 60.0 + seconds.toDouble();
    return ok ? value : -1;
}

const QRegularExpression& durationPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*Duration: (\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    return pattern;
}

const QRegularExpression& streamRatePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*Stream #\\d+:\\d+.*: Video: .*, (\\d+(?:\\.\\d+)?)(k?) fps"));
    return pattern;
}

const QRegularExpression& framePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^frame=\\s*(\\d+)\\s+fps=\\s*(\\d+(?:\\.\\d+)?)"));
    return pattern;
}

const QRegularExpression& timePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("time=\\s*(-?)(\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    return pattern;
}

bool isBatchFile(const QStringList& arguments, const char* name)
{
    return std::any_of(arguments.begin(), arguments.end(), [name](const QString& argument) {
        return argument.endsWith(QLatin1String(name), Qt::CaseInsensitive);
    });
}

}  // namespace

QString StepName(JobStep step)
{
    switch (step) {
    case JobStep::Frames:
        return QStringLiteral("frames");
    case JobStep::Sound:
        return QStringLiteral("sound");
    case JobStep::Rebuilding:
        return QStringLiteral("rebuilding");
    case JobStep::Joining:
        return QStringLiteral("joining");
    case JobStep::Checking:
        return QStringLiteral("checking");
    case JobStep::Converting:
        break;
    }
    return QStringLiteral("converting");
}

QString PhaseName(JobStep step)
{
    return converts(step) ? QStringLiteral("converting") : QStringLiteral("reversing");
}

QString ClockText(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(0, (milliseconds + 500) / 1000);
    const QLatin1Char zero('0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

// --- ToolProgressReader ---------------------------------------------------------------------

bool ToolProgressReader::Read(const QString& line)
{
    if (line.startsWith(QLatin1String("frame=")) || line.startsWith(QLatin1String("size="))) {
        const QRegularExpressionMatch frame = framePattern().match(line);
        if (frame.hasMatch()) {
            m_frames = frame.captured(1).toLongLong();
            m_framesPerSecond = frame.captured(2).toDouble();
        }
        const QRegularExpressionMatch time = timePattern().match(line);
        if (time.hasMatch())
            m_seconds = time.captured(1).isEmpty()
                            ? secondsOf(time.captured(2), time.captured(3), time.captured(4))
                            : 0;
        return frame.hasMatch() || time.hasMatch();
    }
    if (line.startsWith(QLatin1String("Output #"))) {
        m_inOutputSection = true;
        return false;
    }
    if (m_inputSeconds <= 0) {
        const QRegularExpressionMatch duration = durationPattern().match(line);
        if (duration.hasMatch())
            m_inputSeconds = secondsOf(duration.captured(1), duration.captured(2), duration.captured(3));
    }
    if (m_inOutputSection && m_outputRate <= 0) {
        const QRegularExpressionMatch stream = streamRatePattern().match(line);
        if (stream.hasMatch())
            m_outputRate = stream.captured(1).toDouble() * (stream.captured(2).isEmpty() ? 1 : 1000);
    }
    return false;
}

double ToolProgressReader::Fraction() const
{
    if (m_inputSeconds <= 0)
        return 0;
    double fraction = 0;
    if (m_frames >= 0 && m_outputRate > 0)
        fraction = m_frames / (m_inputSeconds * m_outputRate);
    else if (m_seconds >= 0)
        fraction = m_seconds / m_inputSeconds;
    return std::clamp(fraction, 0.0, 1.0);
}

double ToolProgressReader::FramesToWrite() const
{
    return m_inputSeconds > 0 && m_outputRate > 0 ? m_inputSeconds * m_outputRate : 0;
}

// --- TimeLeftEstimate -----------------------------------------------------------------------

void TimeLeftEstimate::Start(qint64 nowMs)
{
    m_samples.clear();
    m_firstProgressMs = -1;
    m_shownMs = -1;
    m_shownAtMs = nowMs;
}

qint64 TimeLeftEstimate::Update(qint64 nowMs, double fraction, qint64 boundMs)
{
    if (fraction >= 1) {
        m_shownMs = 0;
        m_shownAtMs = nowMs;
        return 0;
    }
    if (m_firstProgressMs < 0) {
        if (fraction <= 0)
            return -1;
        m_firstProgressMs = nowMs;
    }
    m_samples.push_back({nowMs, fraction});
    // The oldest sample kept is the last one at or before the window's start.
    while (m_samples.size() > 2 && m_samples[1].ms <= nowMs - kRateWindowMs)
        m_samples.pop_front();
    if (nowMs - m_firstProgressMs < kSteadyAfterMs || fraction < kSteadyFraction)
        return -1;

    const Sample& oldest = m_samples.front();
    const double spanMs = static_cast<double>(nowMs - oldest.ms);
    const double gained = fraction - oldest.fraction;
    const double countdown = m_shownMs < 0 ? -1 : std::max(0.0, m_shownMs - (nowMs - m_shownAtMs));
    // Without progress over the whole window the rate says nothing new: the countdown goes on.
    double measured = spanMs > 0 && gained > 0 ? (1 - fraction) * spanMs / gained : countdown;
    if (measured < 0)
        return -1;
    if (boundMs >= 0)
        measured = std::min(measured, static_cast<double>(boundMs));
    double shown = measured;
    if (countdown >= 0) {
        const double weight = 1 - std::exp(-static_cast<double>(nowMs - m_shownAtMs) / kSmoothingMs);
        shown = countdown + weight * (measured - countdown);
    }
    m_shownMs = shown;
    m_shownAtMs = nowMs;
    return std::llround(shown);
}

// --- JobProgressTracker ---------------------------------------------------------------------

// What each step costs: a fixed part (starting its tools, probing, reading the result back)
// and a part per frame of the film, in seconds, as 720p clips of 3 s, 8 s and 60 s took on a
// loaded two-core machine: writing the frames weighs most in a long film, starting the tools in
// a short one. Only their proportions count.
StepCost JobProgressTracker::CostOf(JobStep step)
{
    switch (step) {
    case JobStep::Frames:
        return {2.5, 0.030};
    case JobStep::Sound:
        return {1.0, 0.0005};
    case JobStep::Rebuilding:
        return {0.6, 0.001};
    case JobStep::Joining:
        return {0.6, 0.0005};
    case JobStep::Checking:
        return {1.5, 0.0005};
    case JobStep::Converting:
        break;
    }
    return {1.5, 0.011};
}

double JobProgressTracker::StepWeight(JobStep step, double frames)
{
    auto cost = [frames](JobStep of) {
        const StepCost part = CostOf(of);
        return part.fixedSeconds + part.secondsPerFrame * std::max(0.0, frames);
    };
    double whole = 0;
    for (const JobStep any : kSteps)
        whole += cost(any);
    return cost(step) / whole;
}

double JobProgressTracker::FileFraction(JobStep step, double stepFraction, double frames)
{
    double before = 0;
    for (const JobStep earlier : kSteps) {
        if (earlier < step)
            before += StepWeight(earlier, frames);
    }
    return std::min(1.0, before + StepWeight(step, frames) * std::clamp(stepFraction, 0.0, 1.0));
}

double JobProgressTracker::PhaseFraction(JobStep step, double stepFraction, double frames)
{
    const double reversal = FileFraction(JobStep::Converting, 0, frames);
    if (converts(step))
        return std::clamp((FileFraction(step, stepFraction, frames) - reversal) / (1 - reversal), 0.0, 1.0);
    return std::min(1.0, FileFraction(step, stepFraction, frames) / reversal);
}

qint64 JobProgressTracker::FileBoundMs(double frames, double slowestFramesPerSecond, double fileFraction)
{
    if (frames <= 0 || slowestFramesPerSecond <= 0)
        return -1;
    const double wholeMs = kFramePasses * frames / slowestFramesPerSecond * 1000 + kToolsAllowanceMs;
    return std::llround(wholeMs * (1 - std::clamp(fileFraction, 0.0, 1.0)));
}

void JobProgressTracker::StartJob(int fileCount)
{
    m_progress = JobProgress();
    m_progress.fileCount = fileCount;
    m_pulsePhase = 0;
    m_jobClock.start();
    m_jobLeft.Start(0);
    m_fileLeft.Start(0);
    Emit();
}

void JobProgressTracker::StartFile(int file, int rowCount)
{
    const qint64 now = m_jobClock.elapsed();
    m_progress.file = file;
    m_progress.barValue = static_cast<int>(static_cast<double>(file) / std::max(1, rowCount) * 100.0);
    m_progress.fileFraction = 0;
    m_progress.fileLeftMs = -1;
    m_fileLeft.Start(now);
    m_fileFrames = 0;
    m_statedSpeed = 0;
    m_slowestSpeed = 0;
    m_reversalOver = false;
    m_soundReversed = false;
    m_progress.jobFraction =
        std::max(m_progress.jobFraction, double(file - 1) / std::max(1, m_progress.fileCount));
    EnterStep(JobStep::Frames);
    Emit();
}

void JobProgressTracker::StartConversion()
{
    m_reversalOver = true;
    EnterStep(JobStep::Converting);
    Emit();
}

void JobProgressTracker::ToolStarted(const QString& program, const QStringList& arguments)
{
    FoldStatedSpeed();
    m_tool = ToolProgressReader();
    m_toolStartMs = m_jobClock.isValid() ? m_jobClock.elapsed() : 0;
    m_progress.framesPerSecond = 0;
    if (m_reversalOver)
        return;
    const QString name = QFileInfo(program).fileName();
    if (isBatchFile(arguments, "avi2jpg.bat")) {
        EnterStep(JobStep::Frames);
    } else if (isBatchFile(arguments, "jpg2avi.bat")) {
        EnterStep(JobStep::Rebuilding);
    } else if (name.compare(QLatin1String("sox.exe"), Qt::CaseInsensitive) == 0) {
        m_soundReversed = true;
        if (m_progress.step != JobStep::Sound)
            EnterStep(JobStep::Sound);
    } else if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        // The deployed ffmpeg: after the frames (or in place of them, for a file without a
        // picture) it takes the sound out; after the rebuilding or the reversed sound it joins.
        if (m_progress.step == JobStep::Frames)
            EnterStep(JobStep::Sound);
        else if (m_progress.step == JobStep::Rebuilding ||
                 (m_progress.step == JobStep::Sound && m_soundReversed))
            EnterStep(JobStep::Joining);
        else
            return;
    } else {
        return;
    }
    Emit();
}

void JobProgressTracker::ToolLine(const QString& line)
{
    if (m_progress.file == 0 || !m_tool.Read(line))
        return;
    if (m_progress.step == JobStep::Frames && m_fileFrames <= 0)
        m_fileFrames = m_tool.FramesToWrite();
    ReadSpeed();
    Update(m_tool.Fraction());
    Emit();
}

void JobProgressTracker::EngineTick(qint32 waitCounter)
{
    m_progress.barText = AVC::kProgressPrefix + QString::number(waitCounter);
    if (m_pulsePhase >= 0 && m_pulsePhase <= 3) {
        m_progress.barValue = 25 * (m_pulsePhase + 1);
        m_pulsePhase = static_cast<qint16>((m_pulsePhase + 1) % 4);
    }
    Emit();
}

void JobProgressTracker::ConversionEnded()
{
    m_pulsePhase = 0;
    m_progress.barText = kIdleProgressText;
    m_progress.barValue = 0;
    if (m_reversalOver && m_progress.step == JobStep::Converting && m_progress.fileFraction < 1) {
        FoldStatedSpeed();
        m_progress.framesPerSecond = 0;
        EnterStep(JobStep::Checking);
    }
    Emit();
}

void JobProgressTracker::ConversionRefused() { m_pulsePhase = 0; }

void JobProgressTracker::FinishFile()
{
    FoldStatedSpeed();
    m_reversalOver = true;
    m_progress.framesPerSecond = 0;
    m_progress.stepFraction = 1;
    m_progress.phaseFraction = 1;
    m_progress.fileFraction = 1;
    m_progress.jobFraction =
        std::max(m_progress.jobFraction, double(m_progress.file) / std::max(1, m_progress.fileCount));
    Emit();
}

void JobProgressTracker::Refresh()
{
    if (m_progress.file > 0 && !m_progress.jobOver)
        Emit();
}

void JobProgressTracker::FinishJob()
{
    m_pulsePhase = 0;
    m_progress.jobOver = true;
    m_progress.framesPerSecond = 0;
    m_progress.barText = kIdleProgressText;
    m_progress.barValue = 0;
    Emit();
}

// A new step starts where the steps before it end, even when a step was skipped.
void JobProgressTracker::EnterStep(JobStep step)
{
    m_progress.step = step;
    m_progress.stepFraction = 0;
    Update(0);
}

void JobProgressTracker::Update(double stepFraction)
{
    const JobStep step = m_progress.step;
    const double frames = m_fileFrames > 0 ? m_fileFrames : kTypicalFrames;
    m_progress.stepFraction = std::max(m_progress.stepFraction, std::clamp(stepFraction, 0.0, 1.0));
    m_progress.fileFraction = std::max(
        m_progress.fileFraction, std::min(kNotOver, FileFraction(step, m_progress.stepFraction, frames)));
    m_progress.phaseFraction = std::min(kNotOver, PhaseFraction(step, m_progress.stepFraction, frames));
    const double job = (m_progress.file - 1 + m_progress.fileFraction) / std::max(1, m_progress.fileCount);
    m_progress.jobFraction = std::max(m_progress.jobFraction, job);
}

// The speed ffmpeg states, or, during its first second, the frames it has written so far over
// the time it has run.
void JobProgressTracker::ReadSpeed()
{
    if (m_tool.StatedFramesPerSecond() > 0) {
        m_statedSpeed = m_tool.StatedFramesPerSecond();
        m_progress.framesPerSecond = m_statedSpeed;
        return;
    }
    const qint64 runningMs = m_jobClock.elapsed() - m_toolStartMs;
    if (m_tool.FramesWritten() > 0 && runningMs > 0)
        m_progress.framesPerSecond = m_tool.FramesWritten() * 1000.0 / runningMs;
}

// The running tool's last stated speed joins the file's slowest.
void JobProgressTracker::FoldStatedSpeed()
{
    if (m_statedSpeed > 0)
        m_slowestSpeed = m_slowestSpeed > 0 ? std::min(m_slowestSpeed, m_statedSpeed) : m_statedSpeed;
    m_statedSpeed = 0;
}

void JobProgressTracker::Estimate()
{
    const qint64 now = m_progress.elapsedMs;
    double slowest = m_slowestSpeed;
    if (m_statedSpeed > 0)
        slowest = slowest > 0 ? std::min(slowest, m_statedSpeed) : m_statedSpeed;
    const qint64 fileBound = FileBoundMs(m_fileFrames, slowest, m_progress.fileFraction);
    const qint64 filesAfter = std::max(0, m_progress.fileCount - m_progress.file);
    const qint64 jobBound =
        fileBound < 0 ? -1 : fileBound + filesAfter * FileBoundMs(m_fileFrames, slowest, 0);
    m_progress.fileLeftMs =
        m_progress.fileFraction >= 1 ? 0 : m_fileLeft.Update(now, m_progress.fileFraction, fileBound);
    m_progress.jobLeftMs =
        m_progress.jobFraction >= 1 ? 0 : m_jobLeft.Update(now, m_progress.jobFraction, jobBound);
}

void JobProgressTracker::Emit()
{
    m_progress.elapsedMs = m_jobClock.isValid() ? m_jobClock.elapsed() : 0;
    if (m_progress.jobOver) {
        m_progress.fileLeftMs = m_progress.fileFraction >= 1 ? 0 : -1;
        m_progress.jobLeftMs = m_progress.jobFraction >= 1 ? 0 : -1;
    } else if (m_progress.file > 0) {
        Estimate();
    }
    if (m_report)
        m_report(m_progress);
}

}  // namespace tarnivo
