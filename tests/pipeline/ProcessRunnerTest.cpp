#include "ArgDump.h"
#include "CommandLine.h"
#include "MediaTestSupport.h"
#include "ProcessRunner.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

QString q(const QString& text) { return QString::fromStdString(QuoteArgument(text.toStdString())); }

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Processes of a group that still run (zombies waiting to be collected by others do not count).
int LiveProcessesInGroup(pid_t group)
{
    int live = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (pid.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            ++live;
    }
    return live;
}

}  // namespace

TEST(ShellAndWait, ReturnsTheProgramsExitStatus)
{
    EXPECT_EQ(ShellAndWait("/bin/true", 0), 0);
    EXPECT_EQ(ShellAndWait("/bin/false", 0), 1);
    EXPECT_EQ(ShellAndWait("sh -c \"exit 7\""), 7);  // looked up on PATH, default style
    EXPECT_EQ(ShellAndWait("sh -c \"kill -TERM $$\"", 0), 128 + 15);
}

TEST(ShellAndWait, AProgramThatCannotStartGivesANegativeFailureCode)
{
    QTemporaryDir folder;
    EXPECT_EQ(ShellAndWait(q(folder.path() + "/no such program"), 0), kFailureBase + kErrorFileNotFound);
    EXPECT_EQ(ShellAndWait("tarnivo-no-such-program-anywhere", 0), kFailureBase + kErrorFileNotFound);
    const QString notExecutable = folder.path() + "/plain.txt";
    writeFile(notExecutable, "text");
    EXPECT_EQ(ShellAndWait(q(notExecutable), 0), kFailureBase + kErrorPathFileAccess);
    EXPECT_LT(ShellAndWait("", 0), 0);
}

TEST(ShellAndWait, PassesHostileArgumentsUnchangedAndRunsNoShell)
{
    QTemporaryDir folder;
    const QString dump = folder.path() + "/dump";
    const QStringList hostile = {"my clip.avi",      "$(touch " + folder.path() + "/pwned)",
                                 "\"quoted\"",       "%PATH%",
                                 "back\\slash\\",    "`id`; rm -rf x",
                                 "Ünïcödé 日本.mp4", ""};
    QString line = q(ArgDumpProgram()) + " " + q(dump);
    for (const QString& argument : hostile)
        line += " " + q(argument);
    EXPECT_EQ(ShellAndWait(line, 0), 0);
    const ArgDump recorded = ReadArgDump(dump);
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(recorded.arguments, hostile);
    EXPECT_FALSE(QFile::exists(folder.path() + "/pwned"));
}

TEST(ShellAndWait, ApplicationEventsRunDuringTheWait)
{
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(50);
    EXPECT_EQ(ShellAndWait("sleep 0.6", 0), 0);
    timer.stop();
    EXPECT_GE(ticks, 3);
}

// Every child is accounted for: an owner that goes ends its child's whole group and collects
// it, a status that cannot be collected is a failure, a folder that cannot be entered is a
// start failure, and a tool that ignores the polite stop is killed after the grace period.
TEST(ChildProcess, EveryChildIsAccountedFor)
{
    QTemporaryDir folder;
    qint32 error = 0;
    pid_t abandoned = -1;
    {
        ChildProcess child = ChildProcess::Start("sh", {"-c", "sleep 30 & wait"}, QString(), &error);
        ASSERT_TRUE(child.isValid());
        abandoned = child.pid();
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        EXPECT_EQ(LiveProcessesInGroup(abandoned), 2);  // the child leads a group of its own
    }
    EXPECT_NE(::kill(abandoned, 0), 0);             // gone and collected, not a zombie
    EXPECT_EQ(LiveProcessesInGroup(abandoned), 0);  // and so is what it started

    EXPECT_FALSE(ChildProcess::Start("/bin/true", {}, folder.path() + "/no such folder", &error).isValid());
    EXPECT_EQ(error, kErrorPathNotFound);

    ::signal(SIGCHLD, SIG_IGN);  // the kernel collects children itself: no status reaches us
    ChildProcess lost = ChildProcess::Start("/bin/true", {}, QString(), &error);
    EXPECT_EQ(lost.waitLettingEventsRun(), kLostExitStatus);
    ::signal(SIGCHLD, SIG_DFL);

    ChildProcess stubborn = ChildProcess::Start("sh", {"-c", "trap '' TERM; sleep 30"}, QString(), &error);
    QEventLoop started;
    QTimer::singleShot(200, &started, &QEventLoop::quit);
    started.exec();
    EXPECT_EQ(CancelRunningTools(), 1);
    EXPECT_EQ(stubborn.waitLettingEventsRun(), 128 + SIGKILL);
}

TEST(ShellAndWait, KeepsTheLastLinesOfStandardError)
{
    QStringList lines;
    EXPECT_EQ(
        ShellAndWait(
            "sh -c \"for i in $(seq 1 500); do echo progress $i >&2; done; echo the reason >&2; exit 3\"", 0,
            &lines),
        3);
    EXPECT_EQ(lines.size(), kKeptErrorLines);
    EXPECT_EQ(LastMeaningfulLine(lines + QStringList{"frame=  10 fps=0.0", "  "}), "the reason");
}

TEST(WindowStyles, OutOfRangeStylesBecomeSix)
{
    EXPECT_EQ(ClampWindowStyle(7), 6);
    EXPECT_EQ(ClampWindowStyle(-1), 6);
    EXPECT_EQ(ClampWindowStyle(0), 0);
    EXPECT_EQ(ClampWindowStyle(6), 6);

    QTemporaryDir folder;
    const QString batch = folder.path() + "/nothing.bat";
    writeFile(batch, "\r\n");
    int style = 7;
    EXPECT_EQ(ShellExecuteAndWait(batch, style, folder.path()), 0);
    EXPECT_EQ(style, 6);
    style = -1;
    ShellExecuteAndWait(batch, style, folder.path());
    EXPECT_EQ(style, 6);

    EXPECT_EQ(ShowModeFor("C:/tools/FFMPEG.EXE", 4), 0);
    EXPECT_EQ(ShowModeFor("/w/ffmpeg.exe.bat", 3), 0);
    EXPECT_EQ(ShowModeFor("/w/run.bat", 3), 3);
}

TEST(GShell, ResultCodesAndErrorStatus)
{
    QTemporaryDir folder;
    ShellError error;
    EXPECT_EQ(GShell(folder.path() + "/missing.bat", 0, "", folder.path(), "open", &error),
              kShellFileNotFound);
    EXPECT_EQ(error.number, 53);
    EXPECT_EQ(error.description, "File not found");
    EXPECT_TRUE(error.source.endsWith(".GShell"));

    EXPECT_EQ(GShell(folder.path() + "/no/such/folder/x.bat", 0, "", "", "open", &error), kShellPathNotFound);
    EXPECT_EQ(error.number, 76);

    const ShellError noApp = ShellErrorFor(31);
    EXPECT_EQ(noApp.number, -2147220456 + 31);
    EXPECT_EQ(noApp.description, "No application is associated with this file type.");
    EXPECT_FALSE(ShellErrorFor(42).isSet());
    EXPECT_EQ(ShellErrorFor(15).number, -2147220456 + 15);
    EXPECT_EQ(ShellErrorFor(0).number, 7);

    // Documents and folders go to the desktop's opener.
    QStringList opened;
    SetDocumentOpener([&opened](const QString& path) {
        opened << path;
        return true;
    });
    EXPECT_EQ(GShell(folder.path(), 0, "", "", "open", &error), kShellSuccess);
    EXPECT_FALSE(error.isSet());
    writeFile(folder.path() + "/notes.txt", "x");
    EXPECT_EQ(GShell("\"" + folder.path() + "/notes.txt\"", 0, "", "", "open", &error), kShellSuccess);
    EXPECT_EQ(opened, (QStringList{folder.path(), folder.path() + "/notes.txt"}));
    SetDocumentOpener([](const QString&) { return false; });
    EXPECT_EQ(GShell(folder.path() + "/notes.txt", 0, "", "", "open", &error), kShellNoAssociation);
    EXPECT_EQ(error.number, -2147220456 + 31);
    SetDocumentOpener(nullptr);

    int style = 0;
    EXPECT_EQ(ShellExecuteAndWait(folder.path() + "/missing.bat", style, folder.path()), kFailureBase + 53);
}

TEST(GShell, RunsABatchFileInItsFolderWithOrWithoutQuotes)
{
    QTemporaryDir root;
    const QString folder = root.path() + "/work \"q\" $x %y%";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString batch = folder + "/run.bat";
    const std::string dumpArg = tarnivo::EscapePercent(tarnivo::QuoteArgument("100% sure"));
    writeFile(batch, (tarnivo::EscapePercent(tarnivo::QuoteArgument(ArgDumpProgram().toStdString())) +
                      " dump.bin " + dumpArg + " %%06d.jpg\r\ndel marker.tmp\r\n")
                         .c_str());
    writeFile(folder + "/marker.tmp", "jpg2avi\r\n");
    int style = 0;
    EXPECT_EQ(ShellExecuteAndWait("\"" + batch + "\"", style, folder), 0);
    const ArgDump recorded = ReadArgDump(folder + "/dump.bin");
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(QDir(recorded.folder).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(recorded.arguments, (QStringList{"100% sure", "%06d.jpg"}));
    EXPECT_FALSE(QFile::exists(folder + "/marker.tmp"));

    // Unquoted, the same file runs the same way.
    QFile::remove(folder + "/dump.bin");
    EXPECT_EQ(ShellExecuteAndWait(batch, style, folder), 0);
    EXPECT_TRUE(ReadArgDump(folder + "/dump.bin").found);
}
