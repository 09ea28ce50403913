#include "JobProgress.h"

#include "FilmPart.h"

#include <algorithm>

namespace tarnivo {

namespace {

// A part that is not over shows at most 99 %: the last steps of a tool (its trailer, the
// renaming of frames, the read-back of a result) take time after its last progress line.
constexpr double kNotOver = 0.99;

const FileWork kNoWork{};

// A step's own rate tells its rest once it is this far and has run this long.
constexpr double kStepRateFraction = 0.05;
constexpr qint64 kStepRateMs = 1000;
// The step's rate is measured over its last seconds, so that a change of the machine's load is
// soon followed.
constexpr qint64 kStepRateWindowMs = 5000;
// A speed worked out from fewer frames tells of the tool's start, not of its pace.
constexpr qint64 kFramesForASpeed = 10;

}  // namespace

QString ClockText(qint64 milliseconds)
{
    return FilmTimeText(static_cast<double>(std::max<qint64>(0, (milliseconds + 500) / 1000)));
}

QString TimeLeftText(qint64 milliseconds)
{
    return FilmTimeText(static_cast<double>(std::max<qint64>(0, (milliseconds + 999) / 1000)));
}

void JobProgressTracker::StartJob(int fileCount)
{
    m_progress = JobProgress();
    m_progress.fileCount = fileCount;
    m_progress.planning = true;
    m_files.clear();
    m_finishedSeconds.clear();
    m_jobDone = 0;
    m_fileDone = 0;
    m_jobClock.start();
    Emit();
}

void JobProgressTracker::Planned(std::vector<FileWork> files, const ConversionWork& conversion)
{
    m_files = std::move(files);
    m_finishedSeconds.assign(m_files.size(), -1);
    m_conversion = conversion;
    m_progress.planning = false;
    m_jobLeft.Start(m_jobClock.elapsed());
    Emit();
}

const FileWork& JobProgressTracker::CurrentFile() const
{
    const int index = m_progress.file - 1;
    return index >= 0 && index < static_cast<int>(m_files.size()) ? m_files[index] : kNoWork;
}

double JobProgressTracker::FileModelSeconds(int file) const
{
    const int index = file - 1;
    if (index < 0 || index >= static_cast<int>(m_files.size()))
        return 0;
    if (m_finishedSeconds[index] >= 0)
        return m_finishedSeconds[index];
    return FileSeconds(m_files[index], m_conversion);
}

void JobProgressTracker::StartFile(int file)
{
    if (m_progress.cancelling)
        return;
    m_jobDone = 0;
    for (int earlier = 1; earlier < file; ++earlier)
        m_jobDone += FileModelSeconds(earlier);
    m_progress.file = file;
    m_progress.fileFraction = 0;
    m_progress.fileLeftMs = -1;
    m_fileDone = 0;
    m_fileLeft.Start(m_jobClock.elapsed());
    EnterStep(JobStep::Room);
}

void JobProgressTracker::EnterStep(JobStep step)
{
    if (m_progress.cancelling)
        return;
    m_progress.step = step;
    m_progress.stepFraction = 0;
    m_progress.framesPerSecond = 0;
    m_stepStartMs = m_jobClock.elapsed();
    m_stepSamples.clear();
    m_tool = ToolLineReader();
    // The tools that read the source read only the part of it that is reversed.
    if (step == JobStep::Frames || step == JobStep::Sound)
        m_tool.LimitInput(CurrentFile().partSeconds);
    Update(0);
    Emit();
}

void JobProgressTracker::ToolLine(const QString& line)
{
    if (m_progress.file == 0 || m_progress.cancelling || !m_tool.Read(line))
        return;
    // The extraction says how many frames it writes: the plan's figure came from the header.
    if (m_progress.step == JobStep::Frames && m_tool.FramesToWrite() > 0 &&
        m_progress.file <= int(m_files.size()))
        m_files[m_progress.file - 1].frames = m_tool.FramesToWrite();
    // ffmpeg states its speed from its first second on; before, the frames written so far tell it.
    const qint64 runningMs = m_jobClock.elapsed() - m_stepStartMs;
    m_progress.framesPerSecond = m_tool.StatedFramesPerSecond() > 0 ? m_tool.StatedFramesPerSecond()
                                 : m_tool.FramesWritten() >= kFramesForASpeed && runningMs > 0
                                     ? m_tool.FramesWritten() * 1000.0 / runningMs
                                     : 0;
    Update(m_tool.Fraction());
    const qint64 now = m_jobClock.elapsed();
    m_stepSamples.emplace_back(now, m_progress.stepFraction);
    while (m_stepSamples.size() > 2 && m_stepSamples[1].first <= now - kStepRateWindowMs)
        m_stepSamples.pop_front();
    Emit();
}

void JobProgressTracker::FramesCounted(int frames)
{
    if (m_progress.file > 0 && m_progress.file <= static_cast<int>(m_files.size()))
        m_files[m_progress.file - 1].frames = frames;
}

void JobProgressTracker::FinishFile()
{
    if (m_progress.cancelling)
        return;
    // A file that failed part-way leaves its later steps undone: they leave the job's work.
    const int index = m_progress.file - 1;
    if (index >= 0 && index < static_cast<int>(m_files.size()) && m_finishedSeconds[index] < 0)
        m_finishedSeconds[index] =
            m_progress.step == JobStep::Checking ? FileModelSeconds(m_progress.file) : m_fileDone;
    m_fileDone = FileModelSeconds(m_progress.file);
    m_progress.framesPerSecond = 0;
    m_progress.stepFraction = 1;
    m_progress.phaseFraction = 1;
    m_progress.fileFraction = 1;
    Update(1);
    Emit();
}

void JobProgressTracker::Pause(bool paused)
{
    const qint64 now = m_jobClock.elapsed();
    m_progress.paused = paused;
    for (TimeLeftEstimate* estimate : {&m_fileLeft, &m_jobLeft}) {
        if (paused)
            estimate->Pause(now);
        else
            estimate->Resume(now);
    }
    Emit();
}

void JobProgressTracker::Cancelling()
{
    m_progress.cancelling = true;
    m_progress.framesPerSecond = 0;
    m_progress.fileLeftMs = -1;
    m_progress.jobLeftMs = -1;
    Emit();
}

void JobProgressTracker::Refresh()
{
    if (!m_progress.jobOver)
        Emit();
}

void JobProgressTracker::FinishJob()
{
    m_progress.jobOver = true;
    m_progress.framesPerSecond = 0;
    Emit();
}

// The parts done follow from the step's own part: the model gives the steps' shares of the
// file, the files' shares of the job.
void JobProgressTracker::Update(double stepFraction)
{
    const JobStep step = m_progress.step;
    const FileWork& file = CurrentFile();
    m_progress.stepFraction = std::max(m_progress.stepFraction, std::clamp(stepFraction, 0.0, 1.0));
    const double fileSeconds = FileModelSeconds(m_progress.file);
    const double done = SecondsBefore(step, file, m_conversion) +
                        StepSeconds(step, file, m_conversion) * m_progress.stepFraction;
    const bool over = m_progress.fileFraction >= 1;
    m_fileDone = over ? fileSeconds : std::max(m_fileDone, std::min(done, kNotOver * fileSeconds));
    if (fileSeconds > 0 && !over)
        m_progress.fileFraction = std::max(m_progress.fileFraction, m_fileDone / fileSeconds);

    const double reversal = SecondsBefore(JobStep::Converting, file, m_conversion);
    if (!over) {
        const double phase = IsConversionStep(step)
                                 ? (m_fileDone - reversal) / std::max(1e-9, fileSeconds - reversal)
                                 : m_fileDone / std::max(1e-9, reversal);
        m_progress.phaseFraction = std::clamp(phase, 0.0, kNotOver);
    }
    double total = 0;
    for (int k = 1; k <= static_cast<int>(m_files.size()); ++k)
        total += FileModelSeconds(k);
    if (total > 0)
        m_progress.jobFraction =
            std::max(m_progress.jobFraction, std::min(1.0, (m_jobDone + m_fileDone) / total));
}

// The running step's rest by its own rate over its last seconds since its tool first told of
// progress (its start says nothing of its rate), once its tool has told of a second of progress;
// it counts down between the tool's lines.
qint64 JobProgressTracker::StepLeftMs() const
{
    const double done = m_progress.stepFraction;
    if (done < kStepRateFraction || m_stepSamples.size() < 2)
        return -1;
    const auto& [firstMs, firstDone] = m_stepSamples.front();
    const auto& [lastMs, lastDone] = m_stepSamples.back();
    if (lastMs - firstMs < kStepRateMs || lastDone <= firstDone)
        return -1;
    const double msPerFraction = static_cast<double>(lastMs - firstMs) / (lastDone - firstDone);
    return std::max<qint64>(0, std::llround(msPerFraction * (1 - done)) - (m_progress.elapsedMs - lastMs));
}

void JobProgressTracker::Estimate()
{
    const qint64 now = m_progress.elapsedMs;
    const double fileSeconds = FileModelSeconds(m_progress.file);
    double total = 0;
    for (int k = 1; k <= static_cast<int>(m_files.size()); ++k)
        total += FileModelSeconds(k);
    const double jobDone = m_jobDone + m_fileDone;
    const qint64 stepLeftMs = m_progress.fileFraction >= 1 ? -1 : StepLeftMs();
    const double stepModelLeft =
        StepSeconds(m_progress.step, CurrentFile(), m_conversion) * (1 - m_progress.stepFraction);
    m_progress.fileLeftMs =
        m_fileLeft.Update(now, {m_fileDone, fileSeconds - m_fileDone, stepLeftMs, stepModelLeft});
    m_progress.jobLeftMs = m_jobLeft.Update(now, {jobDone, total - jobDone, stepLeftMs, stepModelLeft});
}

void JobProgressTracker::Emit()
{
    m_progress.elapsedMs = m_jobClock.isValid() ? m_jobClock.elapsed() : 0;
    if (m_progress.jobOver || m_progress.cancelling) {
        m_progress.fileLeftMs = m_progress.jobOver && m_progress.fileFraction >= 1 ? 0 : -1;
        m_progress.jobLeftMs = m_progress.jobOver && m_progress.jobFraction >= 1 ? 0 : -1;
    } else if (m_progress.file > 0) {
        Estimate();
    }
    if (m_report)
        m_report(m_progress);
}

}  // namespace tarnivo
