#include "JobProgress.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tarnivo {

namespace {

constexpr qint64 kFirstEstimateAfterMs = 1000;  // before that, an estimate is mostly noise

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

// The time left when fraction of the work took elapsedMs; -1 while that says too little.
qint64 estimateLeft(qint64 elapsedMs, double fraction)
{
    if (elapsedMs < kFirstEstimateAfterMs || fraction <= 0)
        return -1;
    return static_cast<qint64>(elapsedMs * (1 - fraction) / fraction);
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
    case JobStep::Converting:
        break;
    }
    return QStringLiteral("converting");
}

QString PhaseName(JobStep step)
{
    return step == JobStep::Converting ? QStringLiteral("converting") : QStringLiteral("reversing");
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

// --- JobProgressTracker ---------------------------------------------------------------------

double JobProgressTracker::StepWeight(JobStep step)
{
    switch (step) {
    case JobStep::Frames:
        return 0.50;
    case JobStep::Sound:
        return 0.02;
    case JobStep::Rebuilding:
        return 0.03;
    case JobStep::Converting:
        break;
    }
    return 0.45;
}

void JobProgressTracker::StartJob(int fileCount)
{
    m_progress = JobProgress();
    m_progress.fileCount = fileCount;
    m_jobClock.start();
    m_fileClock.start();
    Emit();
}

void JobProgressTracker::StartFile(int file)
{
    m_progress.file = file;
    m_progress.fileFraction = 0;
    m_progress.fileLeftMs = -1;
    m_reversalOver = false;
    m_fileClock.start();
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
    m_tool = ToolProgressReader();
    if (m_reversalOver)
        return;
    if (isBatchFile(arguments, "avi2jpg.bat")) {
        EnterStep(JobStep::Frames);
    } else if (isBatchFile(arguments, "jpg2avi.bat")) {
        EnterStep(JobStep::Rebuilding);
    } else if (m_progress.step == JobStep::Frames &&
               QFileInfo(program).fileName().endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        // A deployed tool after the frames (or in place of them, for a file without a picture):
        // the sound's extraction and reversal.
        EnterStep(JobStep::Sound);
    } else {
        return;
    }
    Emit();
}

void JobProgressTracker::ToolLine(const QString& line)
{
    if (m_progress.file == 0 || !m_tool.Read(line))
        return;
    m_progress.framesPerSecond = m_tool.FramesPerSecond();
    Update(m_tool.Fraction());
    Emit();
}

void JobProgressTracker::FinishFile()
{
    m_reversalOver = true;
    m_progress.framesPerSecond = 0;
    m_progress.stepFraction = 1;
    m_progress.phaseFraction = 1;
    m_progress.fileFraction = 1;
    m_progress.fileLeftMs = 0;
    m_progress.jobFraction =
        std::max(m_progress.jobFraction, double(m_progress.file) / std::max(1, m_progress.fileCount));
    Emit();
}

// A new step starts where the steps before it end, even when a step was skipped.
void JobProgressTracker::EnterStep(JobStep step)
{
    m_progress.step = step;
    m_progress.framesPerSecond = 0;
    m_progress.stepFraction = 0;
    Update(0);
}

void JobProgressTracker::Update(double stepFraction)
{
    const JobStep step = m_progress.step;
    m_progress.stepFraction = std::max(m_progress.stepFraction, std::clamp(stepFraction, 0.0, 1.0));
    double before = 0;
    double reversal = 0;
    for (const JobStep earlier : {JobStep::Frames, JobStep::Sound, JobStep::Rebuilding}) {
        reversal += StepWeight(earlier);
        if (earlier < step)
            before += StepWeight(earlier);
    }
    const double file = before + StepWeight(step) * m_progress.stepFraction;
    m_progress.fileFraction = std::max(m_progress.fileFraction, file);
    m_progress.phaseFraction =
        step == JobStep::Converting ? m_progress.stepFraction : std::min(1.0, file / reversal);
    const double job = (m_progress.file - 1 + m_progress.fileFraction) / std::max(1, m_progress.fileCount);
    m_progress.jobFraction = std::max(m_progress.jobFraction, job);
}

void JobProgressTracker::Emit()
{
    m_progress.elapsedMs = m_jobClock.isValid() ? m_jobClock.elapsed() : 0;
    if (m_progress.fileFraction < 1)
        m_progress.fileLeftMs = estimateLeft(m_fileClock.elapsed(), m_progress.fileFraction);
    m_progress.jobLeftMs =
        m_progress.jobFraction >= 1 ? 0 : estimateLeft(m_progress.elapsedMs, m_progress.jobFraction);
    if (m_report)
        m_report(m_progress);
}

}  // namespace tarnivo
