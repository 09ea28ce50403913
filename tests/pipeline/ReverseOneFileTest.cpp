#include "ChildProcess.h"
#include "FileRoutines.h"
#include "MediaProbe.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseOneFile.h"
#include "ToolWaits.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

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

    // The whole reversal of a source, as the job runs it; atStep sees each step as it starts.
    ReversalResult reversal(const QString& source, const std::function<void(ReversalStep)>& atStep = {})
    {
        ReverseOneFile reverse(tools, report);
        std::optional<ReversalResult> result;
        QObject::connect(&reverse, &ReverseOneFile::StepStarted, [&](ReversalStep step) {
            if (atStep)
                atStep(step);
        });
        QObject::connect(&reverse, &ReverseOneFile::Finished, [&](const ReversalResult& r) { result = r; });
        reverse.Start(source, ProbeAndWait(source), QuotedToolPath(WorkFolder()));
        ProcessEventsUntil([&] { return result.has_value(); }, 600000);
        return result.value_or(ReversalResult());
    }
    bool reverse(const QString& source) { return reversal(source).made; }
    QString result() const { return WorkFolder() + "/rvideo.avi"; }

    TempEnvironment temp;
    QTemporaryDir sources;
    RecordingSink sink;
    StepErrorReporter report{sink, "Form1", "PushButton5_Click"};
    RunningTools tools;
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

// When the sound first rises above a whisper, in seconds.
double firstLoudSecond(const QString& path)
{
    const ToolResult decoded = RunTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1",
                                                  "-ar", "44100", "-f", "s16le", "-"});
    const auto* samples = reinterpret_cast<const qint16*>(decoded.output.constData());
    const int count = decoded.output.size() / 2;
    for (int i = 0; i < count; ++i) {
        if (std::abs(samples[i]) > 3000)
            return i / 44100.0;
    }
    return -1;
}

// The average PSNR of a film's pictures (after the filters, e.g. "reverse,") against a reference.
double psnrAgainst(const QString& film, const QString& reference, const QString& filters)
{
    const ToolResult run =
        RunTool("ffmpeg", {"-i", film, "-i", reference, "-lavfi",
                           "[0:v]" + filters + "format=yuv420p[a];[1:v]format=yuv420p[b];[a][b]psnr", "-f",
                           "null", "-"});
    const QString errors = QString::fromUtf8(run.errors);
    const int at = errors.lastIndexOf("average:");
    if (at < 0)
        return -1;
    const QString value = errors.mid(at + 8).section(' ', 0, 0);
    return value == "inf" ? 100.0 : value.toDouble();
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
    // Once the frames are renumbered, the sound is taken out: look at both folders then.
    bool seen = false;
    ASSERT_TRUE(reversal(source, [&](ReversalStep step) {
                    if (step != ReversalStep::Sound || seen)
                        return;
                    seen = true;
                    EXPECT_FALSE(QFile::exists(paths.extractBatch));
                    EXPECT_FALSE(QFile::exists(paths.marker));
                    EXPECT_TRUE(ListFiles(paths.work, "*.jpg").isEmpty());  // moved, not copied
                    ASSERT_EQ(ListFiles(paths.renamed, "*.jpg").size(), 12);
                    // Frame N of the source has a grey level of about 4N: image1 is the last frame (N = 11).
                    for (int k = 1; k <= 12; ++k) {
                        const std::vector<double> grey =
                            MeanGreyPerFrame(paths.renamed + QString("/image%1.jpg").arg(k));
                        ASSERT_EQ(grey.size(), 1u);
                        EXPECT_NEAR(grey[0], ExpectedGrey(12 - k), 3.0) << "image" << k;
                    }
                }).made);
    EXPECT_TRUE(seen);
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
    // The frames are gone from both folders and the rebuilt video once joined; only the
    // joined result stays for the conversion.
    EXPECT_TRUE(ListFiles(WorkFolder(), "*.jpg").isEmpty());
    EXPECT_TRUE(ListFiles(RenameFolder(), "*.*").isEmpty());
    EXPECT_FALSE(PathExists(WorkFolder() + "/tvideo.avi"));
    EXPECT_FALSE(PathExists(WorkFolder() + "/audio.wav"));
}

// A white flash and a 1 kHz beep at the same moment of the source (1.0 s to 1.1 s) must stay
// together in the reversed film, and the film must keep its whole picture, whatever the rate,
// the timing or the lengths of the two streams.
struct SyncSource {
    const char* name;
    const char* file;
    QString rate;  // the source's frame rate, as the reversal must keep it
    double pictureSeconds;
    double soundSeconds;
    QStringList encoding;     // the source's codecs and timing
    double pictureDelay = 0;  // the picture starts this long after the sound
};

// A dark picture with a white flash from 1.0 s to 1.1 s of the file, and a 1 kHz beep at the same time.
ToolResult makeFlashAndBeep(const SyncSource& c, const QString& path)
{
    const double flash = 1.0 - c.pictureDelay;  // on the picture's own clock
    const QString picture = QString("color=c=0x202020:s=160x120:r=%1:d=%2,drawbox=enable='between(t,%3,%4)'"
                                    ":c=white:t=fill")
                                .arg(c.rate)
                                .arg(c.pictureSeconds)
                                .arg(flash)
                                .arg(flash + 0.0999);
    const QString sound =
        QString("aevalsrc='if(between(t,1.0,1.1),0.5*sin(2*PI*1000*t),0)':s=44100:d=%1").arg(c.soundSeconds);
    const QStringList inputs = {"-v",    "error", "-y", "-itsoffset", QString::number(c.pictureDelay),
                                "-f",    "lavfi", "-i", picture,      "-f",
                                "lavfi", "-i",    sound};
    return RunTool("ffmpeg", inputs + c.encoding + QStringList{path});
}

TEST_F(ReverseOneFileTest, FlashAndBeepStayTogether)
{
    const QStringList mkv = {"-c:v", "mpeg4", "-c:a", "flac"};
    const std::vector<SyncSource> cases = {
        {"60 fps", "sixty.avi", "60", 3, 3, {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "pcm_s16le"}},
        // Slow motion: every one of its 720 frames is kept.
        {"240 fps", "slow motion.avi", "240", 3, 3, {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "pcm_s16le"}},
        {"NTSC rate", "ntsc.avi", "30000/1001", 3, 3, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}},
        // Three frames of every ten are dropped: nominal rate 30/1, average 630/29.
        {"variable rate",
         "phone.mp4",
         "30",
         2.9,
         3.5,
         {"-vf", "select='lt(mod(n,10),7)'", "-fps_mode", "vfr", "-c:v", "libx264", "-c:a", "aac"}},
        {"sound longer", "long sound.mp4", "25", 2.0, 3.0, {"-c:v", "libx264", "-c:a", "aac"}},
        {"picture longer", "long picture.mkv", "25", 3.0, 1.8, mkv},
        {"picture starts late", "late.mkv", "24", 2.0, 3.0, mkv, 0.5},
    };
    for (const SyncSource& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = sources.path() + "/" + c.file;
        const ToolResult made = makeFlashAndBeep(c, source);
        ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();

        ASSERT_TRUE(reverse(source));
        const double frame = 1.0 / FrameRateValue(c.rate);
        const std::vector<double> grey = MeanGreyPerFrame(result());
        const auto flash = std::find_if(grey.begin(), grey.end(), [](double g) { return g > 150; });
        ASSERT_NE(flash, grey.end());
        const double flashAt = (flash - grey.begin()) * frame;
        // The whole picture is kept: the flash's end is as far from the film's start as it was from its end.
        EXPECT_NEAR(flashAt, c.pictureDelay + c.pictureSeconds - 1.1, frame);
        EXPECT_NEAR(firstLoudSecond(result()), flashAt, frame);
        EXPECT_NEAR(DecodedDuration(result(), "v:0"), c.pictureSeconds, frame);
        EXPECT_NEAR(DecodedDuration(result(), "a:0"), c.pictureSeconds, frame);
        EXPECT_TRUE(sink.reports.isEmpty());
    }
}

// The intermediate that every profile converts from loses nothing beyond the JPEG frames: for
// films of every colour kind, its frames are all there, in order, and at least as faithful as
// ffmpeg's own JPEG encoder makes them at its finest quantiser.
TEST_F(ReverseOneFileTest, TheIntermediateIsAsGoodAsItsFrames)
{
    struct Kind {
        const char* name;
        QString picture;     // the lavfi picture source, with moving grain as a camera films it
        QStringList making;  // ffmpeg's arguments for the film
        int frames;
    };
    const QString sd = "testsrc2=s=320x240:r=25:d=0.4,noise=alls=12:allf=t+u";
    const QString hd = "testsrc2=s=1280x720:r=25:d=0.2,noise=alls=12:allf=t+u";
    const QStringList bt709 = {"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709"};
    const Kind kinds[] = {
        {"bt709 limited.mp4", hd, QStringList{"-c:v", "libx264", "-crf", "14", "-color_range", "tv"} + bt709,
         5},
        {"bt709 full.mp4", hd,
         QStringList{"-vf", "format=yuvj420p", "-c:v", "libx264", "-crf", "14", "-color_range", "pc"} + bt709,
         5},
        {"bt601.mp4",
         sd,
         {"-c:v", "libx264", "-crf", "14", "-colorspace", "smpte170m", "-color_range", "tv"},
         10},
        {"10-bit.mkv", sd, {"-c:v", "ffv1", "-pix_fmt", "yuv420p10le"}, 10},
        {"untagged hd.avi", hd, {"-c:v", "ffv1"}, 5},
        {"full-range mjpeg 4-2-2.avi", sd, {"-vf", "format=yuvj422p", "-c:v", "mjpeg", "-q:v", "2"}, 10},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const QString source = sources.path() + "/" + kind.name;
        const ToolResult made =
            RunTool("ffmpeg", QStringList{"-v", "error", "-f", "lavfi", "-i", kind.picture} + kind.making +
                                  QStringList{source});
        ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
        ASSERT_TRUE(reverse(source));
        EXPECT_EQ(StreamEntry(result(), "v:0", "codec_name"), "mjpeg");
        EXPECT_EQ(StreamEntry(result(), "v:0", "nb_frames"), QString::number(kind.frames));
        const double intermediate = psnrAgainst(result(), source, "reverse,");
        const QString frames = sources.path() + "/frames.avi";
        ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-y", "-i", source, "-c:v", "mjpeg", "-qscale", "1",
                                     "-qmin", "1", "-strict", "-1", frames})
                      .exitCode,
                  0);
        const double jpeg = psnrAgainst(frames, source, "");
        EXPECT_GT(jpeg, 30);
        EXPECT_GT(intermediate, jpeg - 0.1);
    }
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
    const ReversalResult unreadable = reversal(empty);
    EXPECT_FALSE(unreadable.made);
    EXPECT_EQ(unreadable.failureReason, empty + ": Invalid data found when processing input");
    EXPECT_FALSE(QFile::exists(result()));
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/tvideo.avi"));

    // A picture stream that gives no frame fails with ffmpeg's word, rather than passing off
    // the sound alone as the reversed film.
    const QString noPicture = sources.path() + "/no picture.mkv";
    const ToolResult made = RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", "-f", "lavfi",
                                               "-i", "color=s=64x48:d=1", "-map", "0", "-map", "1",
                                               "-frames:v", "0", "-c:v", "mpeg4", noPicture});
    ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
    const ReversalResult pictureless = reversal(noPicture);
    EXPECT_FALSE(pictureless.made);
    EXPECT_FALSE(pictureless.failureReason.isEmpty());
    EXPECT_FALSE(QFile::exists(result()));
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
    const ReversalResult outcome = reversal(source);
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
    const ReversalResult outcome = reversal(makeClip("clip.avi", options));
    EXPECT_FALSE(outcome.made);
    EXPECT_TRUE(outcome.failureReason.contains("other users")) << outcome.failureReason.toStdString();
    EXPECT_FALSE(QFile::exists(WorkFolder() + "/avi2jpg.bat"));
}

TEST(FrameOrder, FramesAreOrderedByNumberNotByText)
{
    // Only the names the extraction writes ("%06d.jpg" from 1): a user's pictures are no frames.
    const std::vector<Frame> frames = FramesLastFirst(
        "/w", {"000002.jpg", "1000000.jpg", "999999.jpg", "000010.jpg", "notes.jpg", "000001.jpg", "7.jpg",
               "2023.JPG", "000003.JPG", "0000004.jpg", "000000.jpg", "12345.jpg"});
    std::vector<std::int64_t> numbers;
    for (const Frame& frame : frames)
        numbers.push_back(frame.number);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{1000000, 999999, 10, 2, 1}));
    EXPECT_EQ(frames.front().path, "/w/1000000.jpg");
}

TEST(FrameRate, NominalWhenAFrameRateElseAverageElse25)
{
    EXPECT_EQ(ChooseFrameRate("30000/1001", "2997/100"), "30000/1001");
    EXPECT_EQ(ChooseFrameRate("90000/1", "400/19"), "400/19");
    EXPECT_EQ(ChooseFrameRate("0/0", "0/0"), "25");
    EXPECT_EQ(ChooseFrameRate("N/A", "30/0"), "25");
    EXPECT_EQ(ChooseFrameRate("1000/1", "1000/1"), "1000/1");
    EXPECT_EQ(ChooseFrameRate("60/1", "25/1"), "25/1");      // more than twice the average: a guess
    EXPECT_EQ(ChooseFrameRate("4000/1", "3990/1"), "1000");  // above the bound: dropped evenly to it
    EXPECT_EQ(ChooseFrameRate("90000/1", "0/0"), "25");      // with no average, a timestamp resolution
    EXPECT_DOUBLE_EQ(SpanStart("25", 0.53), 0.52);
}

TEST(BatchTexts, AreTheDesignedLinesWithPathsEscapedAndTheirFactsBeside)
{
    EXPECT_EQ(FrameExtractionBatch("\"/tmp/w/temp/ffmpeg.exe\"", "/in/clip.avi"),
              "\"/tmp/w/temp/ffmpeg.exe\" -i \"/in/clip.avi\" -an -qscale 1 %%06d.jpg\r\ndel jpg2avi.tmp");
    EXPECT_EQ(FrameRebuildBatch("\"/tmp/w/temp/ffmpeg.exe\"", "/tmp/w/temp/tvideo.avi"),
              "\"/tmp/w/temp/ffmpeg.exe\" -f image2  -i Renamed/image%%d.jpg -vcodec mpeg4 "
              "\"/tmp/w/temp/tvideo.avi\"\r\ndel jpg2avi.tmp");
    EXPECT_EQ(FrameExtractionBatch("\"/w/ffmpeg.exe\"", "/in/50% \"off\".avi"),
              "\"/w/ffmpeg.exe\" -i \"/in/50%% \\\"off\\\".avi\" -an -qscale 1 %%06d.jpg\r\ndel jpg2avi.tmp");
    EXPECT_EQ(SoundExtractionCommandLine("\"/w/ffmpeg.exe\"", "/in/50% \"off\".avi", "/w/audio.wav"),
              "\"/w/ffmpeg.exe\" -i \"/in/50% \\\"off\\\".avi\" -vn -ac 2 \"/w/audio.wav\"");
    // The facts beside them: the frames' rate, start and filters; the sound's span once the
    // frames are counted; nothing at all for a film without a picture.
    const ReversalSpan span{"30000/1001",
                            0.5005,
                            2,
                            FieldOrder::Progressive,
                            {"smpte170m", "", "", "colorspace=iall=bt709:all=smpte170m:fast=1"}};
    EXPECT_EQ(StepEnvironment(&span),
              (QStringList{"TARNIVO_FRAMES_RATE=30000/1001", "TARNIVO_FRAMES_START=0.500500",
                           "TARNIVO_FRAMES_LENGTH=",
                           "TARNIVO_FRAMES_FILTERS=colorspace=iall=bt709:all=smpte170m:fast=1",
                           "TARNIVO_SOUND_START=0.500500", "TARNIVO_SOUND_LENGTH=2.000000",
                           "TARNIVO_FRAMES_QUALITY=", "TARNIVO_SOUND_CHANNELS=", "TARNIVO_FORWARD_SOUND="}));
    EXPECT_EQ(StepEnvironment(nullptr),
              (QStringList{"TARNIVO_FRAMES_RATE=", "TARNIVO_FRAMES_START=", "TARNIVO_FRAMES_LENGTH=",
                           "TARNIVO_FRAMES_FILTERS=", "TARNIVO_SOUND_START=", "TARNIVO_SOUND_LENGTH=",
                           "TARNIVO_FRAMES_QUALITY=", "TARNIVO_SOUND_CHANNELS=", "TARNIVO_FORWARD_SOUND="}));
    // A part: its frames from the frame at or after its start, as many as it lasts; without a
    // picture, the sound of the part. The designed join takes no facts; a boomerang's, the
    // forward sound.
    SourceFacts facts;
    facts.frameRate = "30000/1001";
    ReversalOptions part;
    part.part = {1.0, 2.0};
    ReversalSpan partSpan = SpanFor(facts, part.part);
    EXPECT_EQ(partSpan.partFrames, 30);
    EXPECT_TRUE(StepEnvironment(&partSpan, part).contains("TARNIVO_FRAMES_START=1.001000"));
    EXPECT_TRUE(StepEnvironment(&partSpan, part).contains("TARNIVO_FRAMES_LENGTH=1.001000"));
    EXPECT_TRUE(StepEnvironment(nullptr, part).contains("TARNIVO_SOUND_LENGTH=1.000000"));
    const ReversalPaths paths = CurrentReversalPaths();
    EXPECT_EQ(JoinEnvironment(&span, ReversalOptions(), paths), QStringList());
    part.boomerang = true;
    EXPECT_TRUE(JoinEnvironment(&span, part, paths).contains("TARNIVO_FORWARD_SOUND=" + paths.audio));
}

// The renumbered frames of a film of 3 frames: image1 the last; a boomerang's run forwards first
// (the same files under second names), then backwards from the last, which shows once.
TEST(BatchTexts, BoomerangFramesRunForwardsThenBackwards)
{
    std::vector<std::pair<int, int>> places;
    for (int position = 0; position < 3; ++position) {
        const RenumberedPlaces plain = RenumberedPlacesOf(position, 3, false);
        EXPECT_EQ(plain.backward, position + 1);
        EXPECT_EQ(plain.forward, 0);
        const RenumberedPlaces boomerang = RenumberedPlacesOf(position, 3, true);
        places.emplace_back(boomerang.backward, boomerang.forward);
    }
    // Positions 0, 1, 2 are frames 3, 2, 1: image1..image5 = frames 1, 2, 3, 2, 1.
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{3, 0}, {4, 2}, {5, 1}}));
    EXPECT_EQ(IntermediateFrames(3, true), 5);
    EXPECT_EQ(IntermediateFrames(3, false), 3);
}

// Times as users write them (--from, --to, the part prompt), and as Tarnivo writes them back.
TEST(FilmTimes, AreSecondsOrHoursMinutesAndSeconds)
{
    const std::pair<const char*, std::optional<double>> read[] = {{"12", 12},
                                                                  {"12.5", 12.5},
                                                                  {" 2:03.25 ", 123.25},
                                                                  {"1:02:03.5", 3723.5},
                                                                  {".5", 0.5},
                                                                  {"0:00", 0},
                                                                  {"", std::nullopt},
                                                                  {"-1", std::nullopt},
                                                                  {"1:75", std::nullopt},
                                                                  {"1:2:03", std::nullopt},
                                                                  {"1:00:60", std::nullopt},
                                                                  {"12s", std::nullopt},
                                                                  {"1,5", std::nullopt}};
    for (const auto& [text, seconds] : read)
        EXPECT_EQ(ParseFilmTime(text), seconds) << text;
    EXPECT_EQ(FilmTimeText(10), "0:10");
    EXPECT_EQ(FilmTimeText(65.25), "1:05.25");
    EXPECT_EQ(FilmTimeText(3723.5), "1:02:03.5");
    EXPECT_EQ(FilmPartText({10, -1}), "0:10 to the end");
    EXPECT_FALSE(FilmPartProblem({20, 10}).isEmpty());
}
