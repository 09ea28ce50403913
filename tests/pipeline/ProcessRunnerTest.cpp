#include "ArgDump.h"
#include "CommandLine.h"
#include "MediaTestSupport.h"
#include "OwnProcesses.h"
#include "ProcessRunner.h"
#include "ShellOpen.h"
#include "ToolWaits.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
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
    RunningTools tools;
    EXPECT_EQ(ShellAndWait("/bin/true", tools), 0);
    EXPECT_EQ(ShellAndWait("/bin/false", tools), 1);
    EXPECT_EQ(ShellAndWait("sh -c \"exit 7\"", tools), 7);  // looked up on PATH
    EXPECT_EQ(ShellAndWait("sh -c \"kill -TERM $$\"", tools), 128 + 15);
    // Entries given for the program replace or add to the environment it inherits.
    EXPECT_EQ(ShellAndWait("sh -c \"test \\\"$HOME:$TARNIVO_TEST\\\" = /elsewhere:x\"", tools, nullptr,
                           {"HOME=/elsewhere", "TARNIVO_TEST=x"}),
              0);
}

TEST(ShellAndWait, AProgramThatCannotStartGivesANegativeFailureCode)
{
    QTemporaryDir folder;
    RunningTools tools;
    EXPECT_EQ(ShellAndWait(q(folder.path() + "/no such program"), tools), kFailureBase + kErrorFileNotFound);
    EXPECT_EQ(ShellAndWait("tarnivo-no-such-program-anywhere", tools), kFailureBase + kErrorFileNotFound);
    const QString notExecutable = folder.path() + "/plain.txt";
    writeFile(notExecutable, "text");
    EXPECT_EQ(ShellAndWait(q(notExecutable), tools), kFailureBase + kErrorPathFileAccess);
    EXPECT_LT(ShellAndWait("", tools), 0);
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
    RunningTools tools;
    EXPECT_EQ(ShellAndWait(line, tools), 0);
    const ArgDump recorded = ReadArgDump(dump);
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(recorded.arguments, hostile);
    EXPECT_FALSE(QFile::exists(folder.path() + "/pwned"));
}

// A tool's start returns at once; the program runs until the third tick has been handled, so
// only events handled while it runs can end it; one Finished tells its end, with its lines.
TEST(ToolRun, StartReturnsAtOnceAndTheApplicationGoesOn)
{
    QTemporaryDir folder;
    const QString stop = folder.path() + "/stop";
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 3)
            writeFile(stop, "");
    });
    RunningTools tools;
    ToolRun run;
    QStringList lines;
    int finished = 0;
    QObject::connect(&run, &ToolRun::Line, [&](const QString& line) { lines << line; });
    QObject::connect(&run, &ToolRun::Finished, [&] { ++finished; });
    run.StartCommandLine(tools,
                         "sh -c \"echo one >&2; while [ ! -e \\\"$0\\\" ]; do sleep 0.05; done; printf "
                         "'two\\rthree' >&2\" " +
                             q(stop));
    EXPECT_TRUE(run.IsRunning());
    EXPECT_EQ(finished, 0);
    timer.start(50);
    EXPECT_EQ(RunToEnd(run).status, 0);
    timer.stop();
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(lines, (QStringList{"one", "two", "three"}));
}

// Every child is accounted for: an owner that goes ends its child's whole group and collects
// it, a status that cannot be collected is a failure, a folder that cannot be entered is a
// start failure, a tool that ignores the polite stop is killed after the grace period, nothing
// starts while its owner refuses starts, and a child may outlive its owner.
TEST(ChildProcess, EveryChildIsAccountedFor)
{
    QTemporaryDir folder;
    qint32 error = 0;
    pid_t abandoned = -1;
    {
        ChildProcess child = ChildProcess::Start("sh", {"-c", "sleep 3600 & wait"}, QString(), &error);
        ASSERT_TRUE(child.isValid());
        abandoned = child.pid();
        // the child leads a group of its own
        EXPECT_TRUE(ProcessEventsUntil([&] { return LiveProcessesInGroup(abandoned) == 2; }, 120000));
    }
    EXPECT_NE(::kill(abandoned, 0), 0);  // gone and collected, not a zombie
    // and so is what it started, once the kernel has delivered the kill
    EXPECT_TRUE(ProcessEventsUntil([&] { return LiveProcessesInGroup(abandoned) == 0; }, 120000));

    EXPECT_FALSE(ChildProcess::Start("/bin/true", {}, folder.path() + "/no such folder", &error).isValid());
    EXPECT_EQ(error, kErrorPathNotFound);

    ::signal(SIGCHLD, SIG_IGN);  // the kernel collects children itself: no status reaches us
    ChildProcess lost = ChildProcess::Start("/bin/true", {}, QString(), &error);
    EXPECT_EQ(lost.waitBlocking(), kLostExitStatus);
    ::signal(SIGCHLD, SIG_DFL);

    RunningTools tools;
    // The shell says when it ignores SIGTERM; a cancel before that would end it too early.
    const QString trapped = folder.path() + "/trapped";
    ChildProcess stubborn =
        tools.Start("sh", {"-c", "trap '' TERM; : > \"$0\"; sleep 3600", trapped}, QString(), &error);
    ChildProcess unowned = ChildProcess::Start("sleep", {"3600"}, QString(), &error);
    ASSERT_TRUE(ProcessEventsUntil([&] { return QFile::exists(trapped); }, 120000));
    EXPECT_EQ(tools.Cancel(), 1);  // its own tool only
    // The kill after the grace period comes from the event loop.
    ASSERT_TRUE(ProcessEventsUntil([&] { return stubborn.hasEnded(); }, 120000));
    EXPECT_EQ(stubborn.exitStatus(), 128 + SIGKILL);
    EXPECT_FALSE(unowned.hasEnded());
    EXPECT_EQ(tools.Cancel(), 0);  // a collected tool is no longer its

    tools.SetStartsRefused(true);
    EXPECT_FALSE(tools.Start("/bin/true", {}, QString(), &error).isValid());
    EXPECT_EQ(error, kErrorCancelled);
    EXPECT_EQ(ShellAndWait("/bin/true", tools), kFailureBase + kErrorCancelled);
    tools.SetStartsRefused(false);

    ChildProcess orphan;
    {
        RunningTools owner;
        orphan = owner.Start("/bin/true", {}, QString(), &error);
    }
    EXPECT_EQ(orphan.waitBlocking(), 0);
}

// A cancel ends every tool of its owner at any depth: a tool it started directly is stopped by
// SIGTERM; a tool the batch runner started is ended while the runner outlives it, goes on with
// its next line, as it does after any program, and ends with the tool's status.
TEST(RunningTools, CancelEndsEveryToolAtAnyDepth)
{
    QTemporaryDir folder;
    const QString sleep = QStandardPaths::findExecutable("sleep");
    ASSERT_FALSE(sleep.isEmpty());
    RunningTools tools;
    qint32 error = 0;
    ChildProcess direct = tools.Start(sleep, {"3600"}, QString(), &error);
    const QString marker = folder.path() + "/next step ran";
    const QString batch = folder.path() + "/run.bat";
    writeFile(batch, (QuoteArgument(sleep.toStdString()) + " 3600\r\n" +
                      QStandardPaths::findExecutable("touch").toStdString() + " " +
                      QuoteArgument(marker.toStdString()) + "\r\n")
                         .c_str());
    ChildProcess runner = tools.Start(BatchRunnerPath(), {batch}, folder.path(), &error);
    ASSERT_TRUE(direct.isValid() && runner.isValid());
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return DescendantsOf(runner.pid(), RunningProcesses()).size() == 1; }, 120000));

    EXPECT_EQ(tools.Cancel(), 2);
    EXPECT_EQ(direct.waitBlocking(), 128 + SIGTERM);
    EXPECT_EQ(runner.waitBlocking(), 128 + SIGTERM);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST(ShellAndWait, KeepsTheLastLinesOfStandardError)
{
    QStringList lines;
    RunningTools tools;
    EXPECT_EQ(
        ShellAndWait(
            "sh -c \"for i in $(seq 1 500); do echo progress $i >&2; done; echo the reason >&2; exit 3\"",
            tools, &lines),
        3);
    EXPECT_EQ(lines.size(), kKeptErrorLines);
    EXPECT_EQ(LastMeaningfulLine(lines + QStringList{"frame=  10 fps=0.0", "  "}), "the reason");
}

// What a caller of the shell-open sees: GShell's result codes, the failure codes that
// ShellExecuteAndWait makes of them, documents and folders handed to the desktop's opener.
TEST(GShell, ResultCodesAndWhatTheRunnerMakesOfThem)
{
    QTemporaryDir folder;
    RunningTools tools;
    EXPECT_EQ(GShell(folder.path() + "/missing.bat", folder.path(), tools), kShellFileNotFound);
    EXPECT_EQ(ShellExecuteAndWait(folder.path() + "/missing.bat", folder.path(), tools),
              kFailureBase + kErrorFileNotFound);
    EXPECT_EQ(GShell(folder.path() + "/no/such/folder/x.bat", "", tools), kShellPathNotFound);
    EXPECT_EQ(ShellExecuteAndWait(folder.path() + "/no/such/folder/x.bat", "", tools),
              kFailureBase + kErrorPathNotFound);

    const QString empty = folder.path() + "/nothing.bat";
    writeFile(empty, "\r\n");
    EXPECT_EQ(ShellExecuteAndWait(empty, folder.path(), tools), 0);

    QStringList opened;
    SetDocumentOpener([&opened](const QString& path) {
        opened << path;
        return true;
    });
    EXPECT_EQ(GShell(folder.path(), "", tools), kShellSuccess);
    writeFile(folder.path() + "/notes.txt", "x");
    EXPECT_EQ(GShell("\"" + folder.path() + "/notes.txt\"", "", tools), kShellSuccess);
    EXPECT_EQ(opened, (QStringList{folder.path(), folder.path() + "/notes.txt"}));
    SetDocumentOpener([](const QString&) { return false; });
    EXPECT_EQ(GShell(folder.path() + "/notes.txt", "", tools), kShellNoAssociation);
    EXPECT_EQ(ShellExecuteAndWait(folder.path() + "/notes.txt", "", tools), -2147220456 + 31);
    SetDocumentOpener(nullptr);
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
    RunningTools tools;
    EXPECT_EQ(ShellExecuteAndWait("\"" + batch + "\"", folder, tools), 0);
    const ArgDump recorded = ReadArgDump(folder + "/dump.bin");
    ASSERT_TRUE(recorded.found);
    EXPECT_EQ(QDir(recorded.folder).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(recorded.arguments, (QStringList{"100% sure", "%06d.jpg"}));
    EXPECT_FALSE(QFile::exists(folder + "/marker.tmp"));

    // Unquoted, the same file runs the same way.
    QFile::remove(folder + "/dump.bin");
    EXPECT_EQ(ShellExecuteAndWait(batch, folder, tools), 0);
    EXPECT_TRUE(ReadArgDump(folder + "/dump.bin").found);
}
