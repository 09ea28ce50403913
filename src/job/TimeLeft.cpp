#include "TimeLeft.h"

#include <algorithm>
#include <cmath>

namespace tarnivo {

void TimeLeftEstimate::Start(qint64 nowMs)
{
    *this = TimeLeftEstimate();
    m_startMs = nowMs;
}

void TimeLeftEstimate::Pause(qint64 nowMs)
{
    if (m_pauseStartMs < 0)
        m_pauseStartMs = nowMs;
}

void TimeLeftEstimate::Resume(qint64 nowMs)
{
    if (m_pauseStartMs < 0)
        return;
    m_pausedMs += nowMs - m_pauseStartMs;
    m_pauseStartMs = -1;
}

qint64 TimeLeftEstimate::WorkingMs(qint64 nowMs) const
{
    const qint64 running = m_pauseStartMs >= 0 ? nowMs - m_pauseStartMs : 0;
    return nowMs - m_startMs - m_pausedMs - running;
}

// Working milliseconds per model second over the window's samples; -1 while no work was done in it.
double TimeLeftEstimate::Pace(qint64 workingMs, double modelDone)
{
    m_samples.push_back({workingMs, modelDone});
    // The oldest sample kept is the last one at or before the window's start.
    while (m_samples.size() > 2 && m_samples[1].workingMs <= workingMs - kPaceWindowMs)
        m_samples.pop_front();
    const Sample& oldest = m_samples.front();
    const double done = modelDone - oldest.modelDone;
    return done > 0 ? (workingMs - oldest.workingMs) / done : -1;
}

qint64 TimeLeftEstimate::Update(qint64 nowMs, const Work& work)
{
    if (work.modelLeft <= 0) {
        m_shownMs = 0;
        return 0;
    }
    const qint64 working = WorkingMs(nowMs);
    if (m_pauseStartMs >= 0)
        return m_shownMs < 0 ? -1 : std::llround(std::max<double>(kLeastShownMs, m_shownMs));
    if (m_steadyFrom < 0) {
        if (work.modelDone <= 0)
            return -1;
        m_steadyFrom = work.modelDone;  // the first progress
        m_samples.push_back({working, work.modelDone});
        return -1;
    }
    const double since = work.modelDone - m_steadyFrom;
    const double pace = Pace(working, work.modelDone);
    if (working - m_samples.front().workingMs < kSteadyAfterMs && m_shownMs < 0)
        return -1;
    if (pace < 0 || since < kSteadyFraction * (since + work.modelLeft))
        return m_shownMs < 0 ? -1 : std::llround(std::max<double>(kLeastShownMs, m_shownMs - (working - m_shownAtMs)));

    const double measured = work.stepLeftMs >= 0
                                ? work.stepLeftMs + pace * std::max(0.0, work.modelLeft - work.stepModelLeft)
                                : pace * work.modelLeft;
    double shown = measured;
    if (m_shownMs >= 0) {
        const double countdown = std::max(0.0, m_shownMs - (working - m_shownAtMs));
        // A correction takes a share of the time left to follow: near the end a wrong countdown
        // would otherwise run out before it is mended.
        const double smoothing = std::clamp(countdown / 4, static_cast<double>(kLeastSmoothingMs),
                                            static_cast<double>(kSmoothingMs));
        const double weight = 1 - std::exp(-static_cast<double>(working - m_shownAtMs) / smoothing);
        const double target =
            measured > countdown ? countdown + std::max(0.0, measured - countdown * (1 + kRiseBand)) : measured;
        shown = countdown + weight * (target - countdown);
    }
    m_shownMs = shown;
    m_shownAtMs = working;
    return std::llround(std::max<double>(kLeastShownMs, shown));
}

}  // namespace tarnivo
