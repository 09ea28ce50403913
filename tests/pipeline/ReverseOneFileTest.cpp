#include "FileRoutines.h"
#include "MediaProbe.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseOneFile.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

struct RecordingSink : MessageSink {
    QStringList messages;
    QStringList reports;
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowErrorReport(const QString& text) override { reports << text; }
    void ShowWarning(const QString& title, const QString& text) override { messages << title + ": " + text; }
};

class ReverseOneFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(PrepareWorkFolder(), QString());
        InstallToolsInto(WorkFolder());
    }

    QString makeClip(const QString& name, const ClipOptions& options)
    {
        // Made under a plain name first: ffmpeg picks the container from the extension.
        const QString plain = sources.path() + "/plain-name." + (options.withVideo ? "avi" : "wav");
        const QString path = sources.path() + "/" + name;
        QString errors;
        EXPECT_TRUE(MakeClip(plain, options, &errors)) << errors.toStdString();
        EXPECT_TRUE(QFile::rename(plain, path)) << name.toStdString();
        return path;
    }

    bool reverse(const QString& source) { return ReverseOneFile(source, QuotedToolPath(WorkFolder()), report).made; }
    QString result() const { return WorkFolder() + "/rvideo.avi"; }

    TempEnvironment temp;
    QTemporaryDir sources;
    RecordingSink sink;
    StepErrorReporter report{sink, "Form1", "PushButton5_Click"};
};

// Mean sample magnitude of the first and the second half of a file's sound.
std::pair<double, double> soundHalves(const QString& path)
{
    const ToolResult decoded = RunTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1",
                                                  "-f", "s16le", "-acodec", "pcm_s16le", "-"});
    const auto* samples = reinterpret_cast<const qint16*>(decoded.output.constData());
    const int count = decoded.output.size() / 2;
    double first = 0;
    double second = 0;
    for (int i = 0; i < count; ++i)
        (i < count / 2 ? first : second) += std::abs(samples[i]);
    return {first / std::max(1, count / 2), second / std::max(1, count - count / 2)};
}

bool isDescending(const std::vector<double>& values)
{
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[i - 1] + 1.0)
            return false;
    }
    return true;
}

}  // namespace

TEST_F(ReverseOneFileTest, RenumbersTheFramesLastFirst)
{
    ClipOptions options;
    options.frames = 12;
    const QString source = makeClip("twelve.avi", options);
    const ReversalPaths paths = CurrentReversalPaths();
    ExtractFrames(source, QuotedToolPath(paths.work), paths, report);
    EXPECT_EQ(ListFiles(paths.work, "*.jpg").size(), 12);
    EXPECT_FALSE(QFile::exists(paths.extractBatch));
    EXPECT_FALSE(QFile::exists(paths.marker));

    RenumberFrames(paths, report);
    EXPECT_TRUE(ListFiles(paths.work, "*.jpg").isEmpty());  // moved, not copied
    ASSERT_EQ(ListFiles(paths.renamed, "*.jpg").size(), 12);
    // Frame N of the source has a grey level of about 4N: image1 is the last frame (N = 11).
    for (int k = 1; k <= 12; ++k) {
        const std::vector<double> grey = MeanGreyPerFrame(paths.renamed + QString("/image%1.jpg").arg(k));
        ASSERT_EQ(grey.size(), 1u);
        EXPECT_NEAR(grey[0], ExpectedGrey(12 - k), 3.0) << "image" << k;
    }
    EXPECT_TRUE(sink.reports.isEmpty());
}

TEST_F(ReverseOneFileTest, ReversesPictureAndSound)
{
    // A tone that is silent in the first second and loud in the second.
    const QString source = sources.path() + "/fade in.avi";
    const ToolResult made =
        RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                           "nullsrc=s=160x120:r=25,geq=lum='16+min(219,N*4)':cb=128:cr=128,format=yuv420p",
                           "-f", "lavfi", "-i", "aevalsrc='if(gt(t,1),0.8*sin(2*PI*440*t),0)':s=44100", "-t",
                           "2", "-c:v", "mpeg4", "-q:v", "2", "-c:a", "pcm_s16le", source});
    ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();

    ASSERT_TRUE(reverse(source));
    const std::vector<double> grey = MeanGreyPerFrame(result());
    ASSERT_EQ(grey.size(), 50u);
    EXPECT_TRUE(isDescending(grey));
    EXPECT_NEAR(grey.front(), ExpectedGrey(49), 4);
    EXPECT_NEAR(grey.back(), 0, 4);

    const auto [firstHalf, secondHalf] = soundHalves(result());
    EXPECT_GT(firstHalf, 1000);
    EXPECT_LT(secondHalf, 50);
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_TRUE(sink.reports.isEmpty());
    // The frames are gone from both folders; the intermediates stay for the conversion.
    EXPECT_TRUE(ListFiles(WorkFolder(), "*.jpg").isEmpty());
    EXPECT_TRUE(ListFiles(RenameFolder(), "*.*").isEmpty());
    EXPECT_TRUE(IsFile(WorkFolder() + "/tvideo.avi"));
}

TEST_F(ReverseOneFileTest, KeepsTheSourcesFrameRateSoPictureAndSoundLastAsLong)
{
    ClipOptions options;
    options.frameRate = "30";
    options.seconds = 2;
    const QString source = makeClip("thirty.avi", options);
    EXPECT_EQ(SourceFrameRate(source), "30/1");
    ASSERT_TRUE(reverse(source));
    EXPECT_NEAR(DecodedDuration(result(), "v:0"), 2.0, 1.0 / 30 + 0.001);
    EXPECT_NEAR(DecodedDuration(result(), "a:0"), 2.0, 1.0 / 30 + 0.001);
    EXPECT_EQ(MeanGreyPerFrame(result()).size(), 60u);

    options.frameRate = "30000/1001";
    const QString ntsc = makeClip("ntsc.avi", options);
    EXPECT_EQ(SourceFrameRate(ntsc), "30000/1001");
    ASSERT_TRUE(reverse(ntsc));
    EXPECT_NEAR(DecodedDuration(result(), "v:0"), DecodedDuration(ntsc, "v:0"), 1.0 / 30);
}

TEST_F(ReverseOneFileTest, SourcesWithOnlyOneKindOfStream)
{
    ClipOptions silent;
    silent.withAudio = false;
    silent.frames = 10;
    ASSERT_TRUE(reverse(makeClip("silent.avi", silent)));
    EXPECT_EQ(StreamEntry(result(), "a", "codec_type"), "");
    EXPECT_EQ(MeanGreyPerFrame(result()).size(), 10u);

    ClipOptions soundOnly;
    soundOnly.withVideo = false;
    ASSERT_TRUE(reverse(makeClip("sound only.wav", soundOnly)));
    EXPECT_EQ(StreamEntry(result(), "v", "codec_type"), "");
    EXPECT_EQ(StreamEntry(result(), "a:0", "codec_type"), "audio");

    ClipOptions oneFrame;
    oneFrame.frames = 1;
    oneFrame.withAudio = false;
    ASSERT_TRUE(reverse(makeClip("one frame.avi", oneFrame)));
    EXPECT_EQ(MeanGreyPerFrame(result()).size(), 1u);

    // Neither picture nor sound: nothing is made, and nothing from before is passed off as a result.
    const QString empty = sources.path() + "/not a video.avi";
    QFile junk(empty);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a video");
    junk.close();
    EXPECT_FALSE(reverse(empty));
    EXPECT_FALSE(QFile::exists(result()));
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/tvideo.avi"));
}

TEST_F(ReverseOneFileTest, HostileSourcePathsReachTheToolsUnchanged)
{
    ClipOptions options;
    options.frames = 5;
    const QStringList names = {
        "with space.avi",       "double \"quote\".avi",     "$(touch pwned).avi",
        "`touch pwned`.avi",    "%PATH% and 100%.avi",      "back\\slash\\.avi",
        "trailing backslash\\", "naïve Ünïcödé 日本語.avi", "semi;colon & amp | pipe > gt.avi"};
    for (const QString& name : names) {
        const QString source = makeClip(name, options);
        ASSERT_TRUE(QFile::exists(source));
        EXPECT_TRUE(reverse(source)) << name.toStdString();
        EXPECT_EQ(MeanGreyPerFrame(result()).size(), 5u) << name.toStdString();
    }
    for (const QString& folder : {WorkFolder(), sources.path(), QDir::currentPath()})
        EXPECT_FALSE(QFile::exists(folder + "/pwned")) << folder.toStdString();
    EXPECT_TRUE(sink.messages.isEmpty());
}

TEST_F(ReverseOneFileTest, AWorkingFolderWithAwkwardCharactersWorks)
{
    TempEnvironment awkward;  // nested: TEMP now points inside a fresh folder
    const QString root = awkward.root() + "/t e%mp \"q\" $x\\";
    ASSERT_TRUE(QDir().mkpath(root));
    ScopedEnvironment temp("TEMP", root);
    ASSERT_EQ(PrepareWorkFolder(), QString());
    InstallToolsInto(WorkFolder());
    ClipOptions options;
    options.frames = 4;
    ASSERT_TRUE(reverse(makeClip("clip.avi", options)));
    EXPECT_EQ(MeanGreyPerFrame(result()).size(), 4u);
}

TEST_F(ReverseOneFileTest, ASourceWithALineBreakIsRefusedAndNothingRuns)
{
    ClipOptions options;
    options.frames = 3;
    const QString source = makeClip("two\nlines.avi", options);
    const ReversalResult outcome = ReverseOneFile(source, QuotedToolPath(WorkFolder()), report);
    EXPECT_FALSE(outcome.made);
    EXPECT_TRUE(outcome.failureReason.contains("line break")) << outcome.failureReason.toStdString();
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/avi2jpg.bat"));
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/jpg2avi.tmp"));
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/audio.wav"));
    EXPECT_FALSE(QFile::exists(result()));
}

TEST_F(ReverseOneFileTest, LeftoversOfAnInterruptedRunAreNotMixedIn)
{
    // An interrupted run left a frame, a rebuilt video and a result behind.
    ClipOptions other;
    other.frames = 30;
    const QString old = makeClip("old.avi", other);
    ASSERT_TRUE(QFile::copy(old, WorkFolder() + "/tvideo.avi"));
    ASSERT_TRUE(QFile::copy(old, WorkFolder() + "/rvideo.avi"));
    QFile stale(WorkFolder() + "/000099.jpg");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    ClipOptions options;
    options.frames = 6;
    ASSERT_TRUE(reverse(makeClip("new.avi", options)));
    EXPECT_EQ(MeanGreyPerFrame(result()).size(), 6u);
    EXPECT_TRUE(sink.reports.isEmpty());
}

TEST_F(ReverseOneFileTest, RefusesAWorkingFolderOthersCanWrite)
{
    ::chmod(QFile::encodeName(WorkFolder()).constData(), 0777);
    ClipOptions options;
    options.frames = 3;
    const ReversalResult outcome = ReverseOneFile(makeClip("clip.avi", options), QuotedToolPath(WorkFolder()), report);
    EXPECT_FALSE(outcome.made);
    EXPECT_TRUE(outcome.failureReason.contains("other users")) << outcome.failureReason.toStdString();
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/avi2jpg.bat"));
}

TEST(FrameOrder, FramesAreOrderedByNumberNotByText)
{
    const std::vector<Frame> frames = FramesLastFirst(
        "/w", {"000002.jpg", "1000000.jpg", "999999.jpg", "000010.jpg", "notes.jpg", "000001.jpg"});
    std::vector<std::int64_t> numbers;
    for (const Frame& frame : frames)
        numbers.push_back(frame.number);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{1000000, 999999, 10, 2, 1}));
    EXPECT_EQ(frames.front().path, "/w/1000000.jpg");
}

TEST(FrameRate, OnlyUsableRatesArePassedOn)
{
    EXPECT_TRUE(IsUsableFrameRate("30/1"));
    EXPECT_TRUE(IsUsableFrameRate("30000/1001"));
    EXPECT_TRUE(IsUsableFrameRate("29.97"));
    EXPECT_FALSE(IsUsableFrameRate("0/0"));
    EXPECT_FALSE(IsUsableFrameRate(""));
    EXPECT_FALSE(IsUsableFrameRate("30/0"));
    EXPECT_FALSE(IsUsableFrameRate("N/A"));
    EXPECT_EQ(SourceFrameRate("/no/such/file.avi"), "25");
}

TEST(BatchTexts, AreTheDesignedLinesWithPathsEscaped)
{
    EXPECT_EQ(FrameExtractionBatch("\"/tmp/w/temp/ffmpeg.exe\"", "/in/clip.avi"),
              "\"/tmp/w/temp/ffmpeg.exe\" -i \"/in/clip.avi\" -an -qscale 1 %%06d.jpg\r\ndel jpg2avi.tmp");
    EXPECT_EQ(FrameRebuildBatch("\"/tmp/w/temp/ffmpeg.exe\"", "30/1", "/tmp/w/temp/tvideo.avi"),
              "\"/tmp/w/temp/ffmpeg.exe\" -f image2  -framerate 30/1 -i Renamed/image%%d.jpg -vcodec mpeg4 "
              "\"/tmp/w/temp/tvideo.avi\"\r\ndel jpg2avi.tmp");
    EXPECT_EQ(FrameExtractionBatch("\"/w/ffmpeg.exe\"", "/in/50% \"off\".avi"),
              "\"/w/ffmpeg.exe\" -i \"/in/50%% \\\"off\\\".avi\" -an -qscale 1 %%06d.jpg\r\ndel jpg2avi.tmp");
}
