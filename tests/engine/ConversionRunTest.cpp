// Real conversions through the deployed ffmpeg.exe: the run, its ticks and what it leaves.
#include "AVC.h"
#include "EngineTestSupport.h"
#include "MediaTestSupport.h"
#include "OwnProcesses.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <unistd.h>

namespace tarnivo {
namespace {

using test::EngineLog;

test::ClipOptions Frames(int frames)
{
    test::ClipOptions options;
    options.frames = frames;
    return options;
}

class ConversionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.Attach(engine);
        test::InstallToolsInto(environment.work());
        QDir().mkpath(media());
    }

    QString media() const { return environment.root() + "/media"; }
    QString Tool() const { return environment.work() + "/ffmpeg.exe"; }

    // A clip that takes ffmpeg well over one tick to convert: every frame is repeated many
    // times by the output frame rate and encoded at a larger size.
    void SetSlowConversion(const QString& source, const QString& destination)
    {
        engine.SourceFile(source);
        engine.DestFile(destination);
        engine.VideoFrameRate("1000");
        engine.VideoSize("640x480");
        engine.VideoCodec("mpeg4");
    }

    test::TempEnvironment environment;
    QTimer timer;
    EngineLog log;
    AVC engine{&timer, &log};
};

TEST_F(ConversionRun, ShortConversionCompletesOnceAndClearsSettings)
{
    const QString source = media() + "/in.avi";
    ASSERT_TRUE(test::MakeClip(source, Frames(5)));
    // The destination reaches ffmpeg unchanged, whatever its folder's name holds.
    const QString folder =
        media() + QString::fromUtf8("/out $HOME %TEMP% \"q\" back\\slash \xc3\xa9t\xc3\xa9");
    QDir().mkpath(folder);
    const QString destination = folder + "/result.avi";

    engine.SourceFile(source);
    engine.DestFile(destination);
    engine.VideoCodec("mpeg4");
    engine.AudioCodec("pcm_s16le");
    engine.VideoSize("80x60");
    QElapsedTimer elapsed;
    elapsed.start();
    test::ConvertAndWait(engine, true);
    const qint64 runMs = elapsed.elapsed();

    ASSERT_EQ(log.Count("Complete"), 1);
    EXPECT_EQ(log.entries.back(), "Complete");
    EXPECT_EQ(log.CountStartingWith("ErrorEvent"), 0);
    EXPECT_EQ(test::StreamEntry(destination, "v:0", "codec_name"), "mpeg4");
    EXPECT_EQ(test::StreamEntry(destination, "v:0", "width"), "80");
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), AVC::kTickIntervalMs);
    if (runMs < 250) {
        // Over before the first tick: the engine raised nothing and wrote no text.
        EXPECT_EQ(log.entries, QStringList{"Complete"});
    }

    // Every setting was cleared, so the next conversion starts from nothing.
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"\" \"\"");
    log.entries.clear();
    test::ConvertAndWait(engine, true);
    EXPECT_EQ(log.entries, QStringList{"ErrorEvent:No source filename defined"});
}

TEST_F(ConversionRun, ToolFailureStillCompletesAndOverWriteDecidesReplacing)
{
    const QString source = media() + "/in.avi";
    ASSERT_TRUE(test::MakeClip(source, Frames(3)));
    const QString destination = media() + "/taken.avi";
    {
        QFile existing(destination);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("not a video");
    }

    // Without "-y" ffmpeg will not replace the file; the run ends as any other.
    engine.SourceFile(source);
    engine.DestFile(destination);
    test::ConvertAndWait(engine, false);
    EXPECT_EQ(log.entries.filter("Complete").size(), 1);
    EXPECT_EQ(log.CountStartingWith("ErrorEvent"), 0);
    QFile unchanged(destination);
    ASSERT_TRUE(unchanged.open(QIODevice::ReadOnly));
    EXPECT_EQ(unchanged.readAll(), "not a video");
    unchanged.close();

    // A source ffmpeg cannot read: Complete as well.
    log.entries.clear();
    engine.SourceFile(media() + "/missing.avi");
    engine.DestFile(media() + "/never.avi");
    test::ConvertAndWait(engine, true);
    EXPECT_EQ(log.Count("Complete"), 1);
    EXPECT_FALSE(QFile::exists(media() + "/never.avi"));

    // With "-y" it does.
    log.entries.clear();
    engine.SourceFile(source);
    engine.DestFile(destination);
    test::ConvertAndWait(engine, true);
    EXPECT_EQ(log.Count("Complete"), 1);
    EXPECT_EQ(test::StreamEntry(destination, "v:0", "codec_type"), "video");
}

TEST_F(ConversionRun, ToolThatCannotStartCompletesWithoutTicks)
{
    QFile::remove(Tool());
    QFile notAProgram(Tool());
    ASSERT_TRUE(notAProgram.open(QIODevice::WriteOnly));
    notAProgram.write("plain text\n");
    notAProgram.close();

    engine.SourceFile(media() + "/in.avi");
    engine.DestFile(media() + "/out.avi");
    engine.VideoCodec("mpeg4");
    test::ConvertAndWait(engine, true);
    EXPECT_EQ(log.entries, QStringList{"Complete"});
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"\" \"\"");
}

TEST_F(ConversionRun, TicksArriveDuringTheWaitAndCountOnAcrossConversions)
{
    const QString source = media() + "/in.avi";
    test::ClipOptions options;
    options.frameRate = "5";
    options.seconds = 3;
    options.withAudio = false;
    ASSERT_TRUE(test::MakeClip(source, options));
    QList<bool> timerActiveAtTick;
    QObject::connect(&engine, &AVC::Converting, [&] { timerActiveAtTick << timer.isActive(); });

    SetSlowConversion(source, media() + "/first.mp4");
    test::ConvertAndWait(engine, true);
    const int firstRunEntries = static_cast<int>(log.entries.size());
    SetSlowConversion(source, media() + "/second.mp4");
    test::ConvertAndWait(engine, true);

    ASSERT_EQ(log.Count("Complete"), 2);
    const QStringList firstRun = log.entries.mid(0, firstRunEntries);
    const QStringList secondRun = log.entries.mid(firstRunEntries);
    EXPECT_GE(firstRun.count("Converting"), 1) << "no tick during the first run";
    EXPECT_GE(secondRun.count("Converting"), 1) << "no tick during the second run";
    EXPECT_EQ(firstRun.back(), "Complete");
    EXPECT_EQ(secondRun.back(), "Complete");

    // Each tick writes the text first, then raises Converting.
    for (int i = 0; i < log.entries.size(); ++i) {
        if (log.entries[i] == "Converting") {
            ASSERT_GT(i, 0);
            EXPECT_TRUE(log.entries[i - 1].startsWith("text:Please wait... "))
                << log.entries[i - 1].toStdString();
        }
    }
    // The numbers go on by one from tick to tick, across the two conversions.
    const QList<qint64> numbers = log.WaitNumbers();
    ASSERT_FALSE(numbers.isEmpty());
    for (int i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
    EXPECT_EQ(numbers.back(), AVC::WaitCounter);
    EXPECT_EQ(timerActiveAtTick, QList<bool>(timerActiveAtTick.size(), true));
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(test::StreamEntry(media() + "/second.mp4", "v:0", "width"), "640");
}

TEST_F(ConversionRun, ReleasingTheEngineMidRunLeavesTheToolRunning)
{
    const QString source = media() + "/in.avi";
    test::ClipOptions options;
    options.frameRate = "5";
    options.seconds = 2;
    options.withAudio = false;
    ASSERT_TRUE(test::MakeClip(source, options));
    auto released = std::make_unique<AVC>(&timer, &log);
    log.Attach(*released);
    released->SourceFile(source);
    released->DestFile(media() + "/finished anyway.mp4");
    released->VideoFrameRate("1000");
    released->VideoSize("640x480");
    released->VideoCodec("mpeg4");

    // The window closes while the tool runs: the engine goes while its tool works.
    bool toolRanOn = false;
    QObject::connect(released.get(), &AVC::Converting, [&] {
        QTimer::singleShot(0, [&] {
            released.reset();
            for (const ProcessEntry& entry : DescendantsOf(::getpid(), RunningProcesses()))
                toolRanOn = toolRanOn || IsConversionToolName(entry.name);
        });
    });
    released->ConvertMedia(true);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return released == nullptr; }, 600000));
    // The tool finishes its file on its own.
    test::ProcessEventsUntil(
        [] {
            for (const ProcessEntry& entry : DescendantsOf(::getpid(), RunningProcesses())) {
                if (IsConversionToolName(entry.name))
                    return false;
            }
            return true;
        },
        600000);

    EXPECT_EQ(released, nullptr);
    EXPECT_TRUE(toolRanOn);
    EXPECT_EQ(log.Count("Complete"), 0);
    EXPECT_FALSE(timer.isActive());
    EXPECT_GT(test::StreamEntry(media() + "/finished anyway.mp4", "v:0", "nb_frames").toInt(), 1000);
}

TEST(ConversionTicks, CounterStopsAtTheLargest32BitValueAndReleasedEngineHearsNothing)
{
    const qint32 saved = AVC::WaitCounter;
    QTimer timer;
    EngineLog log;
    auto engine = std::make_unique<AVC>(&timer, &log);
    log.Attach(*engine);
    AVC::WaitCounter = std::numeric_limits<qint32>::max() - 1;

    // The engine handles every tick of its timer, whoever started it.
    timer.start(1);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return log.Count("Converting") >= 3; }, 120000));
    timer.stop();
    const QStringList firstThree = log.entries.mid(0, 6);
    EXPECT_EQ(firstThree,
              (QStringList{"text:Please wait... 2147483647", "Converting", "text:Please wait... 2147483647",
                           "Converting", "text:Please wait... 2147483647", "Converting"}));

    engine.reset();
    log.entries.clear();
    timer.start(1);
    test::ProcessEventsUntil([] { return false; }, 50);
    timer.stop();
    EXPECT_TRUE(log.entries.isEmpty());
    AVC::WaitCounter = saved;
}

}  // namespace
}  // namespace tarnivo
