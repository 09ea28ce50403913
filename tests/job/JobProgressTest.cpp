// The job's progress as the faces receive it: the arithmetic of the steps' shares, of the bar and
// of the time left, and the real job with ffmpeg and SoX on generated clips.
#include "AVC.h"
#include "JobProgress.h"
#include "MediaTestSupport.h"
#include "RecordingFace.h"
#include "ReverseJob.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {


// ffmpeg's own lines: what it reads, what it writes, and how far it is.
QStringList toolLines(double inputSeconds, double outputRate, int frames, const QString& time)
{
    return {
        QStringLiteral("  Duration: 00:00:%1.00, start: 0.000000, bitrate: 1000 kb/s")
            .arg(static_cast<int>(inputSeconds), 2, 10, QLatin1Char('0')),
        QStringLiteral("Output #0, image2, to 'x':"),
        QStringLiteral("  Stream #0:0: Video: mjpeg, yuvj420p, 160x120, q=2-31, 200 kb/s, %1 fps, %1 tbn")
            .arg(outputRate),
        QStringLiteral("frame=%1 fps=0.0 q=2.0 size=N/A time=%2 bitrate=N/A speed=1x").arg(frames).arg(time)};
}

// The steps of a file with picture and sound, as the job names them and their tools tell of
// their progress: the file's part rises step by step, each step's share as the model of the
// steps' costs gives it; the reversal's and the file's parts are whole only when they are over.
TEST(JobProgress, StepsShareTheFileAsTheirCostsSay)
{
    const FileWork film{200, 160 * 120, 8, true};  // 8 s at 25 fps
    const ConversionWork conversion{320 * 240, 0.005, true};
    const double whole = FileSeconds(film, conversion);
    auto before = [&](JobStep step) { return SecondsBefore(step, film, conversion) / whole; };
    auto share = [&](JobStep step) { return StepSeconds(step, film, conversion) / whole; };
    JobProgressTracker tracker(nullptr);
    tracker.StartJob(1);
    tracker.Planned({film}, conversion);
    tracker.StartFile(1);
    EXPECT_EQ(tracker.Current().step, JobStep::Room);
    EXPECT_EQ(tracker.Current().fileFraction, 0);

    tracker.EnterStep(JobStep::Frames);
    for (const QString& line : toolLines(8, 25, 50, "00:00:02.00"))
        tracker.ToolLine(line);
    EXPECT_NEAR(tracker.Current().stepFraction, 0.25, 1e-9);
    EXPECT_NEAR(tracker.Current().fileFraction, before(JobStep::Frames) + share(JobStep::Frames) / 4, 1e-9);
    tracker.ToolLine("frame=  200 fps= 90 q=2.0 size=N/A time=00:00:08.00 bitrate=N/A speed=3x");
    EXPECT_EQ(tracker.Current().framesPerSecond, 90);
    EXPECT_NEAR(tracker.Current().fileFraction, before(JobStep::Sound), 1e-9);

    // A line of no progress, or a step's tool that says nothing (SoX), moves nothing.
    tracker.EnterStep(JobStep::Sound);
    tracker.ToolLine("sox WARN dither: dither clipped 3 samples");
    EXPECT_NEAR(tracker.Current().fileFraction, before(JobStep::Sound), 1e-9);
    tracker.EnterStep(JobStep::Joining);
    tracker.ToolLine("  Duration: 00:00:08.00, start: 0.000000, bitrate: 1000 kb/s");
    tracker.ToolLine("size=     900kB time=00:00:08.00 bitrate= 921.6kbits/s speed=90x");
    EXPECT_NEAR(tracker.Current().phaseFraction, 0.99, 1e-9);  // whole only once over

    tracker.EnterStep(JobStep::Converting);
    EXPECT_EQ(PhaseName(tracker.Current().step), "converting");
    EXPECT_EQ(tracker.Current().phaseFraction, 0);
    for (const QString& line : toolLines(8, 25, 100, "00:00:04.00"))
        tracker.ToolLine(line);
    EXPECT_NEAR(tracker.Current().fileFraction, before(JobStep::Converting) + share(JobStep::Converting) / 2,
                1e-9);
    tracker.EnterStep(JobStep::Checking);
    EXPECT_LT(tracker.Current().fileFraction, 1);
    tracker.FinishFile();
    EXPECT_EQ(tracker.Current().fileFraction, 1);
    EXPECT_EQ(tracker.Current().jobFraction, 1);

    // Once cancelled, the job says so and no step's part any more.
    tracker.Cancelling();
    tracker.ToolLine("frame=  300 fps= 90 q=2.0 size=N/A time=00:00:12.00 bitrate=N/A speed=3x");
    EXPECT_TRUE(tracker.Current().cancelling);
    EXPECT_EQ(tracker.Current().jobLeftMs, -1);
}

// The time left of recorded courses of work (one report every 100 ms; the model's seconds done
// at each moment): nothing before the pace is steady; from a fifth of the work on, within two
// thirds and one and a half times the truth; never rising while the pace holds; never 0:00 while
// work is left; a pause left out.
TEST(JobProgress, TimeLeftFollowsThePaceWithinItsBounds)
{
    struct Course {
        const char* name;
        double modelSeconds;                      // the whole work by the model
        std::function<double(qint64)> modelDone;  // done at a time
        qint64 endMs;                             // when it is really all done
        qint64 pausedFromMs = -1;                 // paused for 5 s from then
        bool paceHolds = true;
    };
    const std::vector<Course> courses{
        {"the model's pace", 20, [](qint64 ms) { return ms / 1000.0; }, 20000},
        {"three times slower than the model", 20, [](qint64 ms) { return ms / 3000.0; }, 60000},
        {"three silent seconds first", 17, [](qint64 ms) { return ms < 3000 ? 0.0 : (ms - 3000) / 1000.0; },
         20000},
        {"two files, the second three times as long", 40, [](qint64 ms) { return ms / 1000.0; }, 40000},
        {"a slower step in the middle", 30,
         [](qint64 ms) {
             return ms < 10000   ? ms / 1000.0
                    : ms < 25000 ? 10 + (ms - 10000) / 1500.0
                                 : 20 + (ms - 25000) / 1000.0;
         },
         35000, -1, false},
        {"paused for five seconds", 20,
         [](qint64 ms) { return ms < 8000    ? ms / 1000.0
                                : ms < 13000 ? 8.0
                                             : (ms - 5000) / 1000.0; }, 25000,
         8000},
    };
    for (const Course& course : courses) {
        SCOPED_TRACE(course.name);
        TimeLeftEstimate estimate;
        estimate.Start(0);
        qint64 previous = -1;
        bool steady = false;
        for (qint64 ms = 100; ms < course.endMs; ms += 100) {
            if (ms == course.pausedFromMs)
                estimate.Pause(ms);
            if (ms == course.pausedFromMs + 5000)
                estimate.Resume(ms);
            const double done = course.modelDone(ms);
            const qint64 shown = estimate.Update(ms, {done, course.modelSeconds - done});
            if (ms < TimeLeftEstimate::kSteadyAfterMs) {
                EXPECT_EQ(shown, -1) << "at " << ms << " ms";
                continue;
            }
            if (shown < 0)
                continue;
            steady = true;
            EXPECT_GE(shown, 1000) << "at " << ms << " ms";
            const bool paused =
                course.pausedFromMs >= 0 && ms >= course.pausedFromMs && ms < course.pausedFromMs + 5000;
            if (course.paceHolds && previous >= 0 && !paused) {
                EXPECT_LE(shown, previous + 50) << "rose at " << ms << " ms";
            }
            previous = shown;
            const double truth = course.endMs - ms;
            if (!paused && done >= course.modelSeconds / 5 && truth > 2000) {
                EXPECT_GE(shown, truth * 0.67) << "at " << ms << " ms";
                EXPECT_LE(shown, truth * 1.5) << "at " << ms << " ms";
            }
        }
        EXPECT_TRUE(steady);
        EXPECT_EQ(estimate.Update(course.endMs, {course.modelSeconds, 0}), 0);
    }
}

// Every report goes forward: the job's part never goes back, nor the file's while the same
// file runs, and no part is whole before it is over; the job starts at 0 and ends at 1; the
// steps of a file with picture and sound all show, report their progress in between and the
// tools' speed.
TEST(JobProgress, RisesFromZeroToOneThroughEveryStepWithTheToolsSpeed)
{
    TempEnvironment temp;
    QTemporaryDir folder;
    RecordingFace files;
    files.out = folder.path();
    for (const QString name : {"first.avi", "second.avi"}) {
        ClipOptions options;
        options.seconds = 6;
        options.width = 640;
        options.height = 480;
        files.rows << folder.path() + "/" + name;
        ASSERT_TRUE(MakeClip(files.rows.last(), options));
    }
    AVC engine(nullptr, nullptr);
    ReverseJob job(engine, files, files, files);
    std::vector<JobProgress> reports;
    QObject::connect(&job, &ReverseJob::Progress,
                     [&](const JobProgress& progress) { reports.push_back(progress); });
    std::optional<JobSummary> summary;
    QObject::connect(&job, &ReverseJob::Finished, [&](const JobSummary& ended) { summary = ended; });
    job.Start();
    ASSERT_TRUE(ProcessEventsUntil([&] { return summary.has_value(); }, 600000));
    ASSERT_EQ(summary->FailedCount(), 0) << files.messages.join("\n").toStdString();
    ASSERT_GE(reports.size(), 2u);

    EXPECT_EQ(reports.front().jobFraction, 0);
    EXPECT_EQ(reports.back().jobFraction, 1);
    EXPECT_TRUE(reports.back().jobOver);
    bool seen[7] = {};
    bool midStep[7] = {};
    bool speed[7] = {};
    for (size_t k = 1; k < reports.size(); ++k) {
        const JobProgress& before = reports[k - 1];
        const JobProgress& now = reports[k];
        EXPECT_GE(now.jobFraction, before.jobFraction) << k;
        EXPECT_GE(now.elapsedMs, before.elapsedMs) << k;
        if (now.file == before.file) {
            EXPECT_GE(now.fileFraction, before.fileFraction) << k;
            EXPECT_GE(now.step, before.step) << k;
        }
        if (now.fileFraction < 1) {
            EXPECT_LT(now.phaseFraction, 1) << k;
        }
        if (now.file > 0 && now.jobLeftMs >= 0 && now.jobFraction < 1) {
            EXPECT_GE(now.jobLeftMs, 1000) << k;  // never 0:00 while work is left
        }
        const int step = static_cast<int>(now.step);
        seen[step] = true;
        midStep[step] |= now.stepFraction > 0 && now.stepFraction < 1;
        speed[step] |= now.framesPerSecond > 0;
    }
    for (const JobStep step : {JobStep::Frames, JobStep::Sound, JobStep::Rebuilding, JobStep::Joining,
                               JobStep::Converting, JobStep::Checking})
        EXPECT_TRUE(seen[static_cast<int>(step)]) << StepName(step).toStdString();
    EXPECT_TRUE(midStep[static_cast<int>(JobStep::Frames)]);
    EXPECT_TRUE(midStep[static_cast<int>(JobStep::Converting)]);
    EXPECT_TRUE(speed[static_cast<int>(JobStep::Frames)]);
    EXPECT_TRUE(speed[static_cast<int>(JobStep::Converting)]);
    EXPECT_EQ(reports.back().file, 2);
    EXPECT_EQ(reports.back().fileCount, 2);
}

}  // namespace
