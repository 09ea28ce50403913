// The ffmpeg command line the engine builds, and the conversions it refuses.
#include "AVC.h"
#include "CommandLine.h"
#include "EngineTestSupport.h"
#include "MediaTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarnivo {
namespace {

using test::EngineLog;
using test::TempEnvironment;

class CommandLineBuild : public ::testing::Test {
protected:
    void SetUp() override { log.Attach(engine); }
    QString Tool() const { return environment.work() + "/ffmpeg.exe"; }

    TempEnvironment environment;
    QTimer timer;
    EngineLog log;
    AVC engine{&timer, &log};
};

TEST_F(CommandLineBuild, FilesAloneGiveToolSourceAndDestination)
{
    engine.SourceFile("/clips/in.avi");
    engine.DestFile("/out/result.avi");
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"/clips/in.avi\" \"/out/result.avi\"");
    EXPECT_EQ(engine.BuildCommandLine(true), Tool() + " -i \"/clips/in.avi\" -y \"/out/result.avi\"");

    // What the tool is told of the source's pictures goes into its environment: the line stays
    // as designed.
    engine.ToolEnvironment({"TARNIVO_INPUT_COLOR_MATRIX=bt709", "TARNIVO_INPUT_COLOR_TRANSFER=bt709"});
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"/clips/in.avi\" \"/out/result.avi\"");
    engine.ClearSettings();
    engine.SourceFile("/clips/in.avi");
    engine.DestFile("/out/result.avi");
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"/clips/in.avi\" \"/out/result.avi\"");
}

TEST_F(CommandLineBuild, Mp3WorkedExample)
{
    engine.ForceFormat("mp3");
    engine.AudioCodec("mp3");
    engine.AudioBitrate("128");
    engine.AudioSamples("44100");
    engine.AudioChannels("2");
    engine.SourceFile("/clips/in.avi");
    engine.DestFile("/out/song.mp3");
    EXPECT_EQ(engine.BuildCommandLine(true),
              Tool() +
                  " -i \"/clips/in.avi\" -y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 \"/out/song.mp3\"");
}

TEST_F(CommandLineBuild, EverySettingInSwitchOrder)
{
    // Set in the order of the setters, which differs from the order on the command line.
    engine.RateControlBuffer("bufsize");
    engine.VideoBitrateTolerance("bt");
    engine.TargetFormat("target");
    engine.GroupOfPictureSize("g");
    engine.VideoQuantiserScale("qscale");
    engine.MaxVideoBitrate("maxrate");
    engine.SourceFile("/in.avi");
    engine.DestFile("/out.avi");
    engine.DeInterlace(true);
    engine.SameQuality(true);
    engine.VideoSize("s");
    engine.VideoBitrate("b");
    engine.VideoFrameRate("r");
    engine.VideoCodec("vcodec");
    engine.VideoFourCCTag("vtag");
    engine.VideoAspectRatio("aspect");
    engine.ForceFormat("f");
    engine.AudioBitrate("ab");
    engine.AudioCodec("acodec");
    engine.AudioFourCCTag("atag");
    engine.AudioSamples("ar");
    engine.AudioChannels("ac");
    EXPECT_EQ(engine.BuildCommandLine(true),
              Tool() + " -i \"/in.avi\" -y -b b -r r -s s -vcodec vcodec -vtag vtag -aspect aspect"
                       " -bt bt -f f -target target -bufsize bufsize -g g -qscale qscale"
                       " -maxrate maxrate -deinterlace -sameq -acodec acodec -atag atag -ab ab"
                       " -ar ar -ac ac \"/out.avi\"");

    // A setter replaces the old value; flags set back to false vanish.
    engine.VideoSize("320x240");
    engine.DeInterlace(false);
    engine.SameQuality(false);
    const QString line = engine.BuildCommandLine(true);
    EXPECT_TRUE(line.contains(" -s 320x240 -vcodec ")) << line.toStdString();
    EXPECT_FALSE(line.contains("-deinterlace")) << line.toStdString();
    EXPECT_FALSE(line.contains("-sameq")) << line.toStdString();
}

TEST_F(CommandLineBuild, ValuesGoInUnchangedAndUnquoted)
{
    engine.SourceFile("/in.avi");
    engine.DestFile("/out.avi");
    engine.VideoCodec(" ");
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"/in.avi\" -vcodec   \"/out.avi\"");

    engine.VideoCodec("");
    engine.VideoSize("64 x 48");
    EXPECT_EQ(engine.BuildCommandLine(false), Tool() + " -i \"/in.avi\" -s 64 x 48 \"/out.avi\"");
}

TEST_F(CommandLineBuild, AnimatedGifForm)
{
    engine.VideoSize("64x48");
    engine.ForceFormat("gif");
    engine.SourceFile("/in.avi");
    engine.DestFile("/out/anim.gif");
    EXPECT_EQ(
        engine.BuildCommandLine(true),
        Tool() +
            " -i \"/in.avi\" -y -s 64x48 -f gif  -pix_fmt rgb24  -loop_output 0  -r 2 \"/out/anim.gif\"");

    const QString gifTail = " -pix_fmt rgb24  -loop_output 0  -r 2 ";
    engine.DestFile("/out/ANIM.GIF");
    EXPECT_TRUE(engine.BuildCommandLine(true).endsWith(gifTail + "\"/out/ANIM.GIF\""));
    engine.DestFile("/out/mygif");
    EXPECT_TRUE(engine.BuildCommandLine(true).endsWith(gifTail + "\"/out/mygif\""));
    engine.DestFile("/out/giffy.avi");
    EXPECT_EQ(engine.BuildCommandLine(true),
              Tool() + " -i \"/in.avi\" -y -s 64x48 -f gif \"/out/giffy.avi\"");
}

TEST_F(CommandLineBuild, GifFormWithFrameRateAndWithoutOptions)
{
    engine.SourceFile("/in.avi");
    engine.DestFile("/out/a.gif");
    EXPECT_EQ(engine.BuildCommandLine(false),
              Tool() + " -i \"/in.avi\"  -pix_fmt rgb24  -loop_output 0  -r 2 \"/out/a.gif\"");
    engine.VideoFrameRate("10");
    EXPECT_EQ(engine.BuildCommandLine(false),
              Tool() + " -i \"/in.avi\" -r 10  -pix_fmt rgb24  -loop_output 0  -r 2 \"/out/a.gif\"");
}

TEST_F(CommandLineBuild, OddPathsSplitBackExactly)
{
    const QString source =
        QString::fromUtf8("/clips/my \"best\" $HOME %TEMP% back\\slash\\ \xc3\xa9t\xc3\xa9.avi");
    const QString destination = "/out/ends in backslash\\";
    engine.SourceFile(source);
    engine.DestFile(destination);
    engine.VideoSize("64x48");
    const std::vector<std::string> arguments = SplitCommandLine(engine.BuildCommandLine(true).toStdString());
    const std::vector<std::string> expected{
        Tool().toStdString(), "-i", source.toStdString(), "-y", "-s", "64x48", destination.toStdString()};
    EXPECT_EQ(arguments, expected);
}

TEST(CommandLineToolToken, QuotedOnlyWhenTheWorkFolderNeedsIt)
{
    QTemporaryDir root;
    const QString spaced = root.path() + "/my temp";
    QDir().mkpath(spaced);
    test::ScopedEnvironment temp("TEMP", spaced);
    QTimer timer;
    AVC engine(&timer, nullptr);
    engine.SourceFile("/in.avi");
    engine.DestFile("/out.avi");
    EXPECT_EQ(engine.BuildCommandLine(false),
              "\"" + spaced + "/temp/ffmpeg.exe\" -i \"/in.avi\" \"/out.avi\"");

    const QString quote = root.path() + "/a\"b";
    test::ScopedEnvironment quoted("TEMP", quote);
    const std::vector<std::string> arguments = SplitCommandLine(engine.BuildCommandLine(false).toStdString());
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(arguments.front(), (quote + "/temp/ffmpeg.exe").toStdString());
}

// --- Refusals -------------------------------------------------------------------------------

TEST_F(CommandLineBuild, RefusalsKeepTheSettingsForTheNextCall)
{
    engine.DestFile("/out/result.avi");
    engine.VideoCodec("mpeg4");
    engine.ConvertMedia(true);
    EXPECT_EQ(log.entries, QStringList{"ErrorEvent:No source filename defined"});

    // The destination and the codec survived: the next refusal is about the tool.
    log.entries.clear();
    engine.SourceFile("/clips/in.avi");
    engine.ConvertMedia(true);
    EXPECT_EQ(log.entries, QStringList{"ErrorEvent:Unable to locate ffmpeg.exe"});
    EXPECT_EQ(engine.BuildCommandLine(true),
              Tool() + " -i \"/clips/in.avi\" -y -vcodec mpeg4 \"/out/result.avi\"");
    EXPECT_FALSE(timer.isActive());

    log.entries.clear();
    engine.DestFile("");
    engine.ConvertMedia(false);
    EXPECT_EQ(log.entries, QStringList{"ErrorEvent:No destination filename defined"});
}

TEST_F(CommandLineBuild, ToolMustBeAnOrdinaryFileInTheWorkFolder)
{
    engine.SourceFile("/clips/in.avi");
    engine.DestFile("/out/result.avi");
    QDir().mkpath(Tool());  // a folder of that name is not the tool
    engine.ConvertMedia(true);
    EXPECT_EQ(log.entries, QStringList{"ErrorEvent:Unable to locate ffmpeg.exe"});
}

TEST_F(CommandLineBuild, FileNameWithLineBreakIsRefused)
{
    test::InstallToolsInto(environment.work());
    engine.SourceFile("/clips/in.avi");
    engine.DestFile("/out/two\nlines.avi");
    engine.ConvertMedia(true);
    ASSERT_EQ(log.entries.size(), 1);
    EXPECT_EQ(log.entries.front(), "ErrorEvent:" + kUnusableFileNameMessage + "/out/two\nlines.avi");
    EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace tarnivo
