// CancelConvert: ends the ffmpeg processes this engine started, and nothing else.
#include "AVC.h"
#include "EngineTestSupport.h"
#include "MediaTestSupport.h"
#include "OwnProcesses.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace tarnivo {
namespace {

using test::EngineLog;
using test::ProcessEventsUntil;

// The name and state of a process that is not our child ("" when it is gone).
QString NameOfLiveProcess(pid_t pid)
{
    for (const ProcessEntry& entry : RunningProcesses()) {
        if (entry.pid != pid)
            continue;
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray text = stat.readAll();
        const int nameEnd = text.lastIndexOf(')');
        if (nameEnd < 0 || text.mid(nameEnd + 2, 1) == "Z")
            return QString();
        return entry.name;
    }
    return QString();
}

bool IsOwnDescendant(pid_t pid)
{
    for (const ProcessEntry& entry : DescendantsOf(::getpid(), RunningProcesses())) {
        if (entry.pid == pid)
            return true;
    }
    return false;
}

// An ffmpeg that another process started: started detached, so its parent is gone and it is
// not below this process. It runs until it is killed when the test ends.
class OutsideFfmpeg {
public:
    OutsideFfmpeg()
    {
        qint64 pid = 0;
        QProcess::startDetached(
            "ffmpeg",
            {"-nostdin", "-v", "quiet", "-re", "-f", "lavfi", "-i", "anullsrc=r=8000", "-f", "null", "-"},
            QString(), &pid);
        m_pid = static_cast<pid_t>(pid);
    }
    ~OutsideFfmpeg()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
};

TEST(CancelConvert, EndsOwnLongConversionAndSparesAnOutsideFfmpeg)
{
    test::TempEnvironment environment;
    test::InstallToolsInto(environment.work());
    const QString source = environment.root() + "/long.avi";
    const QString destination = environment.root() + "/cut short.mp4";
    // Ten minutes at one frame a second; converted at 1000 frames a second, far too long to
    // finish during the test.
    ASSERT_EQ(test::RunTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                       "testsrc=s=160x120:r=1:d=600", "-c:v", "mpeg4", source})
                  .exitCode,
              0);

    OutsideFfmpeg outside;
    ASSERT_GT(outside.pid(), 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return NameOfLiveProcess(outside.pid()) == "ffmpeg"; }, 10000));
    ASSERT_FALSE(IsOwnDescendant(outside.pid()));

    QTimer timer;
    EngineLog log;
    AVC engine(&timer, &log);
    log.Attach(engine);
    engine.SourceFile(source);
    engine.DestFile(destination);
    engine.VideoFrameRate("1000");
    engine.VideoSize("320x240");
    engine.VideoCodec("mpeg4");

    int ticks = 0;
    bool cancelled = false;
    bool cancelEmittedNothing = false;
    bool timerStillOn = false;
    QObject::connect(&engine, &AVC::Converting, [&] {
        // Cancelled once ffmpeg has written pictures (beyond its output buffer of 32 KB),
        // however long a busy machine took to start it.
        if (++ticks < 2 || cancelled || QFileInfo(destination).size() < 64 * 1024)
            return;
        cancelled = true;
        const qsizetype before = log.entries.size();
        engine.CancelConvert();
        cancelEmittedNothing = log.entries.size() == before;
        timerStillOn = timer.isActive();
    });
    // Should the cancel fail, end the run anyway rather than wait for it.
    bool watchdogFired = false;
    QTimer::singleShot(600000, [&] {
        watchdogFired = true;
        for (const ProcessEntry& entry : DescendantsOf(::getpid(), RunningProcesses())) {
            if (IsConversionToolName(entry.name))
                ::kill(entry.pid, SIGKILL);
        }
    });

    test::ConvertAndWait(engine, true);

    EXPECT_FALSE(watchdogFired);
    EXPECT_TRUE(cancelled);
    EXPECT_GE(ticks, 2);
    EXPECT_TRUE(cancelEmittedNothing);
    EXPECT_TRUE(timerStillOn);
    EXPECT_EQ(log.Count("Complete"), 1);
    EXPECT_EQ(log.entries.back(), "Complete");
    EXPECT_EQ(log.CountStartingWith("ErrorEvent"), 0);
    EXPECT_FALSE(timer.isActive());
    // Ended by SIGTERM, ffmpeg closed the file properly: it is readable and short.
    const qint64 frames = test::StreamEntry(destination, "v:0", "nb_frames").toLongLong();
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 600000);

    EXPECT_EQ(NameOfLiveProcess(outside.pid()), "ffmpeg") << "an ffmpeg Tarnivo did not start was ended";
}

TEST(CancelConvert, WithNothingRunningDoesNothing)
{
    QTimer timer;
    EngineLog log;
    AVC engine(&timer, &log);
    log.Attach(engine);

    engine.CancelConvert();
    EXPECT_FALSE(timer.isActive());
    timer.start(60000);
    engine.CancelConvert();
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 60000);
    EXPECT_TRUE(log.entries.isEmpty());
}

}  // namespace
}  // namespace tarnivo
