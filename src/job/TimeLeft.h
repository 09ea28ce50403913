// The time left of a job whose whole work a model knows (StepCosts.h): the job's own pace since
// its tools first told of progress (the time it takes to start them says nothing of their
// rate), real seconds per model second, turns the model's seconds still to do into real ones;
// the running step's own rest, where its tool's rate tells it, counts as that rate says. It
// tells nothing until the pace is steady; from then on it counts down, and each new measure
// corrects the countdown smoothly. A small rise of the measure (the pace wavering) does not
// raise it; it never says 0 while work is left; time spent paused does not count.
#pragma once

#include <QtGlobal>

namespace tarnivo {

class TimeLeftEstimate {
public:
    static constexpr qint64 kSteadyAfterMs = 1500;  // since the first progress
    static constexpr double kSteadyFraction = 0.02;
    static constexpr qint64 kSmoothingMs = 2500;
    // A measure less than this much above the countdown is the pace wavering, not a change.
    static constexpr double kRiseBand = 0.15;
    static constexpr qint64 kLeastShownMs = 1000;

    // The work starts (all times in milliseconds on any one clock).
    void Start(qint64 nowMs);
    // What is known of the work at a moment: the model's seconds done and still to do, and of
    // the running step, its real time left by its tool's own rate (-1 when not known) and the
    // model's seconds of it still to do.
    struct Work {
        double modelDone = 0;
        double modelLeft = 0;
        qint64 stepLeftMs = -1;
        double stepModelLeft = 0;
    };
    // Returns the time left to show at nowMs, or -1 while the pace is not steady.
    qint64 Update(qint64 nowMs, const Work& work);
    void Pause(qint64 nowMs);
    void Resume(qint64 nowMs);

private:
    qint64 WorkingMs(qint64 nowMs) const;

    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0;       // spent paused before the running pause
    qint64 m_pauseStartMs = -1;  // while paused
    qint64 m_firstProgressMs = -1;
    double m_doneAtFirstProgress = 0;
    double m_shownMs = -1;
    qint64 m_shownAtMs = 0;
};

}  // namespace tarnivo
