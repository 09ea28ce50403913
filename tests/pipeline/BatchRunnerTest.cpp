#include "ArgDump.h"
#include "BatchFile.h"
#include "MediaTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarnivo;
using namespace tarnivo::test;
using Args = std::vector<std::string>;

TEST(BatchText, ParsesCommandsPercentSignsAndDeletions)
{
    const auto commands =
        ParseBatchText("\"/w/ffmpeg.exe\" -i \"/in/100%% a.avi\" -an -qscale 1 %%06d.jpg\r\n"
                       "\r\n"
                       "DEL jpg2avi.tmp\r\n"
                       "tool 50% %PATH%\n");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_FALSE(commands[0].isDelete);
    EXPECT_EQ(commands[0].arguments,
              (Args{"/w/ffmpeg.exe", "-i", "/in/100% a.avi", "-an", "-qscale", "1", "%06d.jpg"}));
    EXPECT_TRUE(commands[1].isDelete);
    EXPECT_EQ(commands[1].arguments, Args{"jpg2avi.tmp"});
    EXPECT_EQ(commands[2].arguments, (Args{"tool", "50%", "%PATH%"}));  // no variables are expanded
}

TEST(BatchRunner, RunsEachLineInTheCurrentFolderAndGoesOnAfterAFailure)
{
    QTemporaryDir folder;
    const QString work = folder.path() + "/w ü";
    ASSERT_TRUE(QDir().mkpath(work));
    QFile marker(work + "/jpg2avi.tmp");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    QFile batch(work + "/test.bat");
    ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
    batch.write("\"/no/such/program\" x\r\n");
    batch.write(("\"" + ArgDumpProgram() + "\" dump \"$(id)\" `id` %%d\r\n").toUtf8());
    batch.write("del jpg2avi.tmp\r\n");
    batch.close();

    QProcess runner;
    runner.setWorkingDirectory(work);
    runner.start(HelperProgramFolder() + "/tarnivo-batch", {work + "/test.bat"});
    ASSERT_TRUE(runner.waitForFinished(10000));
    EXPECT_EQ(runner.exitCode(), 127);  // the first failure stays the batch's status
    const ArgDump recorded = ReadArgDump(work + "/dump");
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(recorded.arguments, (QStringList{"$(id)", "`id`", "%d"}));
    EXPECT_FALSE(QFile::exists(work + "/jpg2avi.tmp"));
}
