#include "TimeLeft.h"

#include <algorithm>
#include <cmath>

namespace tarnivo {

void TimeLeftEstimate::Start(qint64 nowMs)
{
    *this = TimeLeftEstimate();
    m_startMs = nowMs;
    m_shownAtMs = nowMs;
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
    const qint64 paused = nowMs - m_pauseStartMs;
    m_pausedMs += paused;
    // The countdown stood still meanwhile.
    m_shownAtMs += paused;
    if (m_firstProgressMs >= 0)
        m_firstProgressMs += paused;
    m_pauseStartMs = -1;
}

qint64 TimeLeftEstimate::WorkingMs(qint64 nowMs) const
{
    const qint64 running = m_pauseStartMs >= 0 ? nowMs - m_pauseStartMs : 0;
    return nowMs - m_startMs - m_pausedMs - running;
}

qint64 TimeLeftEstimate::Update(qint64 nowMs, const Work& work)
{
    if (work.modelLeft <= 0) {
        m_shownMs = 0;
        m_shownAtMs = nowMs;
        return 0;
    }
    if (m_pauseStartMs >= 0)
        return m_shownMs < 0 ? -1 : std::llround(std::max<double>(kLeastShownMs, m_shownMs));
    if (work.modelDone <= 0)
        return -1;
    if (m_firstProgressMs < 0) {
        m_firstProgressMs = nowMs;
        m_doneAtFirstProgress = work.modelDone;
        m_startMs = nowMs - m_pausedMs;
    }
    const double measuredDone = work.modelDone - m_doneAtFirstProgress;
    if (nowMs - m_firstProgressMs < kSteadyAfterMs || measuredDone <= 0 ||
        work.modelDone / (work.modelDone + work.modelLeft) < kSteadyFraction)
        return -1;

    // Real milliseconds per model second, over the work since the first progress.
    const double pace = WorkingMs(nowMs) / measuredDone;
    const double measured = work.stepLeftMs >= 0
                                ? work.stepLeftMs + pace * std::max(0.0, work.modelLeft - work.stepModelLeft)
                                : pace * work.modelLeft;
    double shown = measured;
    if (m_shownMs >= 0) {
        const double countdown = std::max(0.0, m_shownMs - (nowMs - m_shownAtMs));
        const double weight = 1 - std::exp(-static_cast<double>(nowMs - m_shownAtMs) / kSmoothingMs);
        const double target = measured > countdown
                                  ? countdown + std::max(0.0, measured - countdown * (1 + kRiseBand))
                                  : measured;
        shown = countdown + weight * (target - countdown);
    }
    m_shownMs = shown;
    m_shownAtMs = nowMs;
    return std::llround(std::max<double>(kLeastShownMs, shown));
}

}  // namespace tarnivo
