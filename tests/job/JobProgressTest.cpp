// The job's progress as the faces receive it: the arithmetic of the steps' shares, of the bar and
// of the time left, and the real job with ffmpeg and SoX on generated clips.
#include "AVC.h"
#include "JobProgress.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseJob.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

class Files : public JobListSource, public JobChoices, public MessageSink {
public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    QString RowText(int row) const override { return rows.value(row - 1); }
    QString OutputFolderText() const override { return out; }
    QString ProfileName() const override { return QStringLiteral("AVI (MPEG4-XviD-Best Quality)"); }
    CustomFormatValues CustomValues() const override { return {}; }
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowErrorReport(const QString& text) override { messages << text; }
    void ShowWarning(const QString&, const QString& text) override { messages << text; }

    QStringList rows;
    QString out;
    QStringList messages;
};

constexpr JobStep kSteps[] = {JobStep::Frames,  JobStep::Sound,      JobStep::Rebuilding,
                              JobStep::Joining, JobStep::Converting, JobStep::Checking};
constexpr double kFilmFrames = 200;  // the film of the tools' lines below: 8 s at 25 fps

double weight(JobStep step) { return JobProgressTracker::StepWeight(step, kFilmFrames); }

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

// The steps of a file with picture and sound, as its tools start and tell of their progress:
// each step starts where the one before ended, and the reversal's and the file's parts reach
// their whole only when they are over, so every step leaves room for the steps after it.
TEST(JobProgress, StepsShareTheFileInTheirOrder)
{
    const double reversal = weight(JobStep::Frames) + weight(JobStep::Sound) + weight(JobStep::Rebuilding) +
                            weight(JobStep::Joining);
    const double conversion = weight(JobStep::Converting);
    const double converted = reversal + conversion;
    const double check = weight(JobStep::Checking);
    const QString work = QStringLiteral("/work/temp/");
    const QString batchRunner = QStringLiteral("/usr/libexec/tarnivo/tarnivo-batch");
    struct Event {
        std::function<void(JobProgressTracker&)> happen;
        JobStep step;
        double fileFraction;
        double phaseFraction;
    };
    auto tool = [](QString program, QStringList arguments, QStringList lines) {
        return [=](JobProgressTracker& tracker) {
            tracker.ToolStarted(program, arguments);
            for (const QString& line : lines)
                tracker.ToolLine(line);
        };
    };
    auto lines = [](QStringList lines) {
        return [=](JobProgressTracker& tracker) {
            for (const QString& line : lines)
                tracker.ToolLine(line);
        };
    };
    const double frames = weight(JobStep::Frames);
    const double sound = frames + weight(JobStep::Sound);
    const double rebuilt = sound + weight(JobStep::Rebuilding);
    const std::vector<Event> events{
        {[](JobProgressTracker& tracker) { tracker.StartFile(1, 1); }, JobStep::Frames, 0, 0},
        {tool("ffprobe", {"-v", "error", "file:/films/a.avi"}, {}), JobStep::Frames, 0, 0},
        {tool(batchRunner, {work + "avi2jpg.bat"}, toolLines(8, 25, 50, "00:00:02.00")), JobStep::Frames,
         frames / 4, frames / 4 / reversal},
        {lines({"frame=  200 fps= 90 q=2.0 size=N/A time=00:00:08.00 bitrate=N/A speed=3x"}), JobStep::Frames,
         frames, frames / reversal},
        {tool(work + "ffmpeg.exe", {"-i", "/films/a.avi", work + "audio.wav"},
              {"  Duration: 00:00:08.00, start: 0.000000, bitrate: 1000 kb/s",
               "size=     100kB time=00:00:04.00 bitrate= 1411.2kbits/s speed=30x"}),
         JobStep::Sound, frames + weight(JobStep::Sound) / 2,
         (frames + weight(JobStep::Sound) / 2) / reversal},
        {tool(work + "sox.exe", {work + "audio.wav", work + "raudio.wav", "reverse"}, {}), JobStep::Sound,
         frames + weight(JobStep::Sound) / 2, (frames + weight(JobStep::Sound) / 2) / reversal},
        {tool(batchRunner, {work + "jpg2avi.bat"}, {}), JobStep::Rebuilding, sound, sound / reversal},
        {lines(toolLines(8, 25, 200, "00:00:08.00")), JobStep::Rebuilding, rebuilt, rebuilt / reversal},
        {tool(work + "ffmpeg.exe", {"-i", work + "tvideo.avi", "-i", work + "raudio.wav"}, {}),
         JobStep::Joining, rebuilt, rebuilt / reversal},
        {lines({"  Duration: 00:00:08.00, start: 0.000000, bitrate: 1000 kb/s",
                "size=     900kB time=00:00:08.00 bitrate= 921.6kbits/s speed=90x"}),
         JobStep::Joining, reversal, 0.99},
        {[](JobProgressTracker& tracker) { tracker.StartConversion(); }, JobStep::Converting, reversal, 0},
        {tool(work + "ffmpeg.exe", {"-i", work + "rvideo.avi"}, toolLines(8, 25, 100, "00:00:04.00")),
         JobStep::Converting, reversal + conversion / 2, conversion / 2 / (conversion + check)},
        {lines({"frame=  200 fps=120 q=2.0 size=900kB time=00:00:08.00 bitrate=N/A speed=4x"}),
         JobStep::Converting, converted, conversion / (conversion + check)},
        // The engine's tool has ended: its result is read back.
        {[](JobProgressTracker& tracker) { tracker.ConversionEnded(); }, JobStep::Checking, converted,
         conversion / (conversion + check)},
        {[](JobProgressTracker& tracker) { tracker.FinishFile(); }, JobStep::Checking, 1, 1},
    };
    JobProgressTracker tracker(nullptr);
    tracker.StartJob(1);
    for (size_t k = 0; k < events.size(); ++k) {
        events[k].happen(tracker);
        const JobProgress& now = tracker.Current();
        EXPECT_EQ(StepName(now.step), StepName(events[k].step)) << "event " << k;
        EXPECT_NEAR(now.fileFraction, events[k].fileFraction, 1e-9) << "event " << k;
        EXPECT_NEAR(now.phaseFraction, events[k].phaseFraction, 1e-9) << "event " << k;
        EXPECT_NEAR(now.jobFraction, now.fileFraction, 1e-9) << "event " << k;
    }
}

// The designed bar: i / N x 100 at the start of row i (N the rows the list has then), the
// engine's pulse with its "Please wait... " count on every tick, back at rest after every
// conversion; a refused conversion only restarts the pulse.
TEST(JobProgress, TheBarShowsTheRowAndTheEnginesPulse)
{
    struct Step {
        std::function<void(JobProgressTracker&)> happen;
        int value;
        QString text;
    };
    auto tick = [](qint32 count) {
        return [count](JobProgressTracker& tracker) { tracker.EngineTick(count); };
    };
    const std::vector<Step> steps{
        {[](JobProgressTracker& tracker) { tracker.StartJob(3); }, 0, "Progress Bar"},
        {[](JobProgressTracker& tracker) { tracker.StartFile(1, 3); }, 33, "Progress Bar"},
        {[](JobProgressTracker& tracker) { tracker.StartConversion(); }, 33, "Progress Bar"},
        {tick(7), 25, "Please wait... 7"},
        {tick(8), 50, "Please wait... 8"},
        {tick(9), 75, "Please wait... 9"},
        {tick(10), 100, "Please wait... 10"},
        {tick(11), 25, "Please wait... 11"},
        {[](JobProgressTracker& tracker) { tracker.ConversionEnded(); }, 0, "Progress Bar"},
        {[](JobProgressTracker& tracker) { tracker.FinishFile(); }, 0, "Progress Bar"},
        {[](JobProgressTracker& tracker) { tracker.StartFile(2, 4); }, 50, "Progress Bar"},
        {tick(12), 25, "Please wait... 12"},
        {[](JobProgressTracker& tracker) { tracker.ConversionRefused(); }, 25, "Please wait... 12"},
        {tick(13), 25, "Please wait... 13"},
        {[](JobProgressTracker& tracker) { tracker.FinishFile(); }, 25, "Please wait... 13"},
        {[](JobProgressTracker& tracker) { tracker.StartFile(3, 3); }, 100, "Please wait... 13"},
        {[](JobProgressTracker& tracker) { tracker.FinishJob(); }, 0, "Progress Bar"},
    };
    std::vector<JobProgress> reports;
    JobProgressTracker tracker([&](const JobProgress& progress) { reports.push_back(progress); });
    for (size_t k = 0; k < steps.size(); ++k) {
        const size_t before = reports.size();
        steps[k].happen(tracker);
        EXPECT_EQ(tracker.Current().barValue, steps[k].value) << "step " << k;
        EXPECT_EQ(tracker.Current().barText, steps[k].text) << "step " << k;
        if (reports.size() > before) {  // what the faces receive is what the tracker holds
            EXPECT_EQ(reports.back().barText, tracker.Current().barText) << "step " << k;
        }
    }
    EXPECT_TRUE(reports.back().jobOver);
}

// The time left of work whose fraction done follows a given course (times in milliseconds, one
// report every 100 ms): nothing before the rate is steady, never more than the bound, near the
// truth once steady, and a change of pace taken in smoothly.
TEST(JobProgress, TimeLeftWaitsForASteadyRateStaysUnderItsBoundAndFollowsSmoothly)
{
    struct Course {
        const char* name;
        std::function<double(qint64)> fraction;  // done at a time
        qint64 endMs;                            // when it is all done
        qint64 boundMs;                          // -1: none
        qint64 steadyFromMs;                     // no estimate before this time
        qint64 accurateFromMs;                   // within a fifth of the truth from this time on
    };
    const std::vector<Course> courses{
        {"even pace", [](qint64 ms) { return ms / 20000.0; }, 20000, -1, 1500, 1700},
        {"three silent seconds before the first progress",
         [](qint64 ms) { return ms < 3000 ? 0.0 : (ms - 3000) / 17000.0; }, 20000, -1, 4500, 4700},
        {"a slow start under a bound", [](qint64 ms) { return ms / 200000.0; }, 200000, 30000, 4000, -1},
        {"twice as fast after ten seconds",
         [](qint64 ms) { return ms < 10000 ? ms / 40000.0 : 0.25 + (ms - 10000) / 20000.0; }, 25000, -1, 1500,
         20000},
    };
    for (const Course& course : courses) {
        SCOPED_TRACE(course.name);
        TimeLeftEstimate estimate;
        estimate.Start(0);
        qint64 previous = -1;
        for (qint64 ms = 100; ms < course.endMs; ms += 100) {
            const qint64 shown = estimate.Update(ms, course.fraction(ms), course.boundMs);
            if (ms < course.steadyFromMs) {
                EXPECT_EQ(shown, -1) << "at " << ms << " ms";
                continue;
            }
            if (shown < 0)
                continue;
            if (course.boundMs >= 0) {
                EXPECT_LE(shown, course.boundMs) << "at " << ms << " ms";
            }
            if (previous >= 0) {  // a countdown: never a jump up, nor more than a second down
                EXPECT_LE(std::abs(shown - (previous - 100)), 1000) << "at " << ms << " ms";
            }
            previous = shown;
            const qint64 truth = course.endMs - ms;
            if (course.accurateFromMs >= 0 && ms >= course.accurateFromMs && truth > 2000) {
                EXPECT_LE(std::abs(shown - truth), truth / 5 + 500) << "at " << ms << " ms";
            }
        }
        EXPECT_GE(previous, 0) << "never steady";
        EXPECT_EQ(estimate.Update(course.endMs, 1.0, course.boundMs), 0);
    }
}

// Every report goes forward: the job's part never goes back, nor the file's while the same
// file runs, and no part is whole before it is over; the job starts at 0 and ends at 1 with the
// bar at rest; the steps of a file with picture and sound all show, report their progress in
// between and the tools' speed; the bar shows only its designed values and texts.
TEST(JobProgress, RisesFromZeroToOneThroughEveryStepWithTheToolsSpeed)
{
    TempEnvironment temp;
    QTemporaryDir folder;
    Files files;
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
    const JobSummary summary = job.Run();
    ASSERT_EQ(summary.FailedCount(), 0) << files.messages.join("\n").toStdString();
    ASSERT_GE(reports.size(), 2u);

    EXPECT_EQ(reports.front().jobFraction, 0);
    EXPECT_EQ(reports.back().jobFraction, 1);
    EXPECT_TRUE(reports.back().jobOver);
    EXPECT_EQ(reports.back().barValue, 0);
    EXPECT_EQ(reports.back().barText, "Progress Bar");
    const QRegularExpression pulseText("^Please wait\\.\\.\\. \\d+$");
    bool seen[6] = {};
    bool midStep[6] = {};
    bool speed[6] = {};
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
        EXPECT_TRUE(QList<int>({0, 25, 50, 75, 100}).contains(now.barValue)) << k << ": " << now.barValue;
        EXPECT_TRUE(now.barText == "Progress Bar" || pulseText.match(now.barText).hasMatch())
            << k << ": " << now.barText.toStdString();
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
