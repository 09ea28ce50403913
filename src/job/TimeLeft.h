// The time left of a job whose whole work a model knows (StepCosts.h): the job's own pace, real
// seconds per model second, turns the model's seconds still to do into real ones; the running
// step's own rest, where its tool's rate tells it, counts as that rate says. The pace is measured
// over the last seconds of work since the tools first told of progress (the time it takes to
// start them says nothing of their rate), so that a slow start is soon forgotten. It tells
// nothing until the pace is steady; from then on it counts down, and each new measure corrects
// the countdown smoothly. A small rise of the measure (the pace wavering) does not raise it; it
// never says 0 while work is left; time spent paused does not count.
#pragma once

#include <QtGlobal>

#include <deque>

namespace tarnivo {

class TimeLeftEstimate {
public:
    static constexpr qint64 kSteadyAfterMs = 1500;  // since the first progress
    static constexpr double kSteadyFraction = 0.02;  // of the work left then
    static constexpr qint64 kPaceWindowMs = 8000;
    static constexpr qint64 kSmoothingMs = 1500;
    static constexpr qint64 kLeastSmoothingMs = 300;
    // A measure less than this much above the countdown is the pace wavering, not a change.
    static constexpr double kRiseBand = 0.15;
    static constexpr qint64 kLeastShownMs = 1000;

    // What is known of the work at a moment: the model's seconds done and still to do, and of
    // the running step, its real time left by its tool's own rate (-1 when not known) and the
    // model's seconds of it still to do.
    struct Work {
        double modelDone = 0;
        double modelLeft = 0;
        qint64 stepLeftMs = -1;
        double stepModelLeft = 0;
    };

    // The work starts (all times in milliseconds on any one clock).
    void Start(qint64 nowMs);
    // Returns the time left to show at nowMs, or -1 while the pace is not steady.
    qint64 Update(qint64 nowMs, const Work& work);
    void Pause(qint64 nowMs);
    void Resume(qint64 nowMs);

private:
    struct Sample {
        qint64 workingMs;
        double modelDone;
    };
    qint64 WorkingMs(qint64 nowMs) const;
    double Pace(qint64 workingMs, double modelDone);

    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0;       // spent paused before the running pause
    qint64 m_pauseStartMs = -1;  // while paused
    std::deque<Sample> m_samples;  // since the first progress, the oldest one within the window first
    double m_steadyFrom = -1;      // the model's seconds done at the first progress
    double m_shownMs = -1;
    qint64 m_shownAtMs = 0;  // on the working clock
};

}  // namespace tarnivo
