// The reverse job as a user meets it from the command line: tarnivo-reverse on generated clips,
// with the real ffmpeg and SoX, a private TEMP and a private settings store.
#include "MediaTestSupport.h"
#include "OwnProcesses.h"
#include "ProcessRunner.h"
#include "ProgramRun.h"
#include "ProfileCatalogue.h"
#include "ProfileTable.h"
#include "WorkFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

struct CliRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

class ReverseCli : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(out()); }

    QString out() const { return home.path() + "/out folder"; }
    QString temp() const { return home.path() + "/temp"; }
    QString work() const { return temp() + "/temp"; }
    QString sources() const { return home.path() + "/sources"; }

    QString clip(const QString& name, double seconds = 1.0, int width = 160, int height = 120)
    {
        QDir().mkpath(sources());
        const QString path = sources() + "/" + name;
        ClipOptions options;
        options.seconds = seconds;
        options.width = width;
        options.height = height;
        EXPECT_TRUE(MakeClip(sources() + "/plain.avi", options));
        EXPECT_TRUE(QFile::rename(sources() + "/plain.avi", path));
        return path;
    }

    // An hour of film (25 fps, 160x120, no sound) that takes a moment to make: its frames
    // cannot all be extracted before a test has seen the extraction and stopped it.
    QString hourLongClip(const QString& name)
    {
        QDir().mkpath(sources());
        const QString second = sources() + "/one second.avi";
        const QString path = sources() + "/" + name;
        EXPECT_EQ(RunTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                     "color=c=gray:s=160x120:r=25:d=1", "-c:v", "mpeg4", "-g", "25", second})
                      .exitCode,
                  0);
        EXPECT_EQ(
            RunTool("ffmpeg", {"-v", "error", "-y", "-stream_loop", "3599", "-i", second, "-c", "copy", path})
                .exitCode,
            0);
        QFile::remove(second);
        return path;
    }

    // A tarnivo-reverse process set up with this test's TEMP and settings store.
    void prepare(QProcess& process, const QStringList& arguments, const QString& tempRoot = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!freeBytes.isEmpty())
            environment.insert("TARNIVO_TEST_FREE_BYTES", freeBytes);
        if (!path.isEmpty())
            environment.insert("PATH", path);
        if (!userHome.isEmpty())
            environment.insert("HOME", userHome);
        for (const QString& setting : extraEnvironment)
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        environment.insert("TEMP", tempRoot.isEmpty() ? temp() : tempRoot);
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(sources());
        process.setProgram((programs.isEmpty() ? HelperProgramFolder() : programs) + "/tarnivo-reverse");
        process.setArguments(arguments);
        QDir().mkpath(sources());
        QDir(sources()).mkpath(tempRoot.isEmpty() ? temp() : tempRoot);  // a relative TEMP is from there
    }

    CliRun run(const QStringList& arguments)
    {
        QProcess process;
        prepare(process, arguments);
        process.start();
        return finish(process);
    }

    static CliRun finish(QProcess& process)
    {
        EXPECT_TRUE(process.waitForFinished(600000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // Reads the process's standard output until a line holds the text.
    static bool waitForLine(QProcess& process, const QString& text, QString& seen)
    {
        while (process.waitForReadyRead(600000) || process.state() == QProcess::Running) {
            seen += QString::fromUtf8(process.readAllStandardOutput());
            if (seen.contains(text))
                return true;
        }
        return false;
    }

    QStringList outputs() const { return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    // The files left in the working folder but the marker that names it as Tarnivo's.
    QStringList leftInWork() const
    {
        QStringList left = QDir(work()).entryList(QDir::Files | QDir::Hidden);
        left.removeOne(kWorkFolderMarkerName);
        return left;
    }

    QTemporaryDir home;
    QString path;                  // PATH for tarnivo-reverse, when not this process's
    QString userHome;              // HOME for tarnivo-reverse, when not this process's
    QString freeBytes;             // the working folder's free space as tarnivo-reverse is to see it
    QStringList extraEnvironment;  // "NAME=value" for tarnivo-reverse
    QString programs;              // the folder of tarnivo-reverse and its helpers, when not the build's
};

// A file system of a few kilobytes mounted for one test (tmpfs needs the right to mount).
class SmallFileSystem {
public:
    SmallFileSystem(const QString& folder, const QByteArray& size, bool readOnly = false)
        : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        const QByteArray options = QByteArray("mode=0700,size=") + size;
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", readOnly ? MS_RDONLY : 0,
                            options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// An exFAT file system mounted through FUSE on folder, as desktops mount USB sticks: renaming
// and linking without replacing are refused there. Needs the right to mount and a loop device.
class FuseExfat {
public:
    FuseExfat(const QString& folder, const QString& image) : m_folder(folder)
    {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(64 << 20))
            return;
        file.close();
        if (RunTool("mkfs.exfat", {image}).exitCode != 0)
            return;
        const ToolResult loop = RunTool("losetup", {"--find", "--show", image});
        m_device = loop.exitCode == 0 ? QString::fromUtf8(loop.output).trimmed() : QString();
        m_mounted = !m_device.isEmpty() && RunTool("mount.exfat-fuse", {m_device, folder}).exitCode == 0;
    }
    ~FuseExfat()
    {
        if (m_mounted)
            RunTool("umount", {m_folder});
        if (!m_device.isEmpty())
            RunTool("losetup", {"--detach", m_device});
    }
    bool mounted() const { return m_mounted; }

private:
    QString m_folder;
    QString m_device;
    bool m_mounted = false;
};

// Programs still running that work in this test's folders (and whose command line holds also).
QStringList toolsWorkingIn(const QString& folder, const QByteArray& also = QByteArray())
{
    QStringList found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile file("/proc/" + pid + "/cmdline");
        if (pid.toInt() <= 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray commandLine = file.readAll();
        if (commandLine.contains(folder.toUtf8()) && commandLine.contains(also))
            found << pid;
    }
    return found;
}

// A process's state as /proc tells it ('R', 'S', 'T' for stopped...); 0 when it is gone.
char processState(const QString& pid)
{
    QFile stat("/proc/" + pid + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const int afterName = text.lastIndexOf(')');
    return afterName > 0 && afterName + 2 < text.size() ? text[afterName + 2] : 0;
}

}  // namespace

TEST_F(ReverseCli, ReversesGoodFilesAndNamesEveryFailure)
{
    const QString good = clip("clip.avi");
    clip("-y.avi");
    QFile corrupt(sources() + "/random bytes.mp4");
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i)
        corrupt.write(QByteArray::number(i * 7919 % 251));
    corrupt.close();

    QFile(sources() + "/empty.mp4").open(QIODevice::WriteOnly);
    QDir().mkpath(home.path() + "/empty folder");

    // The output folder is typed without a trailing "/"; the same path twice; a relative
    // path that looks like an option to ffmpeg; an empty file and an empty folder.
    const CliRun result = run({"--out", out(), good, sources() + "/missing.avi", corrupt.fileName(), good,
                               "./-y.avi", "empty.mp4", home.path() + "/empty folder"});
    EXPECT_EQ(result.exitCode, 1) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains("the folder '" + home.path() + "/empty folder' holds no files"))
        << result.errors.toStdString();
    EXPECT_TRUE(result.output.contains("empty.mp4: cannot be made: the file is empty (0 bytes)"))
        << result.output.toStdString();
    EXPECT_EQ(outputs(), QStringList({"-y.avi", "clip.avi", "clip0.avi"}));
    for (const QString& name : outputs()) {
        EXPECT_EQ(StreamEntry(out() + "/" + name, "v:0", "width"), "320") << name.toStdString();
        EXPECT_FALSE(StreamEntry(out() + "/" + name, "a:0", "codec_name").isEmpty()) << name.toStdString();
    }
    EXPECT_TRUE(result.output.contains("3 files failed:")) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains("missing.avi: ")) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains("random bytes.mp4: ")) << result.output.toStdString();
    EXPECT_EQ(leftInWork(), QStringList());
    EXPECT_EQ(QDir(work() + "/Renamed").entryList(QDir::Files), QStringList());
}

// Ctrl+C, SIGHUP (the terminal closed) and a standard output closed by its reader (as
// "| head -1" does) each stop the job: the running tool ends, the half-made file and the working
// folder's files are deleted, and finished outputs stay.
TEST_F(ReverseCli, InterruptStopsTheJobAndKeepsFinishedOutputs)
{
    const QString first = clip("first.avi");
    const QString second = hourLongClip("second.avi");
    // TerminalStop: Ctrl+Z stops the program and its tools, fg lets them go on, then Ctrl+C.
    enum class Stop { Interrupt, HangUp, OutputClosed, TerminalStop };
    for (const Stop stop : {Stop::Interrupt, Stop::HangUp, Stop::OutputClosed, Stop::TerminalStop}) {
        SCOPED_TRACE(static_cast<int>(stop));
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        QProcess process;
        freeBytes = "100000000000";  // the hour's room is not measured
        if (stop == Stop::OutputClosed) {
            // Only the hour: "head -1" ends after its first line, and the job with it.
            prepare(process, {"-c", "\"$@\" | head -1; exit ${PIPESTATUS[0]}", "bash",
                              HelperProgramFolder() + "/tarnivo-reverse", "--profile", "avi-xvid-best",
                              "--out", out(), second});
            process.setProgram("bash");
        } else {
            prepare(process, {"--out", out(), first, second});
        }
        if (stop == Stop::TerminalStop) {
            // A process group of its own, as a shell's job: the kernel lets SIGTSTP stop only
            // a process whose group is not orphaned, which this test's own may be (under a CI
            // runner, or a shell that has gone).
            process.setChildProcessModifier([] { ::setpgid(0, 0); });
        }
        freeBytes.clear();
        process.start();
        QString seen;
        if (stop != Stop::OutputClosed) {
            ASSERT_TRUE(waitForLine(process, "[2/2] reversing", seen)) << seen.toStdString();
            const auto pid = static_cast<pid_t>(process.processId());
            if (stop == Stop::TerminalStop) {
                // Stopped while the hour's frames are being written, when its tools run.
                ASSERT_TRUE(ProcessEventsUntil([&] { return QDir(work()).count() > 20; }, 600000));
                ASSERT_TRUE(
                    ProcessEventsUntil([&] { return toolsWorkingIn(home.path()).size() >= 2; }, 600000));
                const QString program = QString::number(pid);
                ::kill(pid, SIGTSTP);
                // The program and every tool it runs stop; continued, they all go on (the tools
                // may have ended by then: none of them is left stopped).
                const auto toolsStopped = [&](bool stopped) {
                    const QStringList running = toolsWorkingIn(home.path());
                    return std::all_of(running.begin(), running.end(),
                                       [&](const QString& p) { return (processState(p) == 'T') == stopped; });
                };
                EXPECT_TRUE(ProcessEventsUntil(
                    [&] {
                        return processState(program) == 'T' && toolsWorkingIn(home.path()).size() >= 2 &&
                               toolsStopped(true);
                    },
                    600000));
                ::kill(pid, SIGCONT);
                EXPECT_TRUE(ProcessEventsUntil(
                    [&] { return processState(program) != 'T' && toolsStopped(false); }, 600000));
            }
            ::kill(pid, stop == Stop::HangUp ? SIGHUP : SIGINT);
        }
        const CliRun result = finish(process);

        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(
            (seen + result.output).contains(stop == Stop::OutputClosed ? "[1/1] reversing" : "Cancelled."))
            << result.output.toStdString();
        EXPECT_EQ(outputs(), stop == Stop::OutputClosed ? QStringList() : QStringList({"first.avi"}));
        EXPECT_EQ(leftInWork(), QStringList());
        EXPECT_EQ(QDir(work() + "/Renamed").entryList(QDir::Files), QStringList());
        EXPECT_EQ(toolsWorkingIn(home.path()), QStringList());
    }
}

// One job at a time in a working folder: a second job is refused while the first runs.
TEST_F(ReverseCli, AWorkingFolderServesOneJobAtATime)
{
    const QString longer = hourLongClip("longer.avi");
    const QString other = clip("other.avi");
    auto refused = [&] {
        const CliRun second = run({"--out", out(), other});
        return second.exitCode == 1 && second.output.contains("is in use") && second.output.contains("TEMP");
    };
    QProcess first;
    freeBytes = "100000000000";  // the hour's room is not measured
    prepare(first, {"--out", out(), longer});
    freeBytes.clear();
    first.start();
    QString seen;
    ASSERT_TRUE(waitForLine(first, "reversing", seen));
    EXPECT_TRUE(refused());
    ::kill(static_cast<pid_t>(first.processId()), SIGINT);
    const CliRun result = finish(first);
    EXPECT_EQ(result.exitCode, 1) << result.errors.toStdString();
    EXPECT_TRUE((seen + result.output).contains("Cancelled.")) << result.output.toStdString();
    EXPECT_EQ(run({"--out", out(), other}).exitCode, 0);
    EXPECT_EQ(outputs(), QStringList({"other.avi"}));
}

TEST_F(ReverseCli, ProblemsBeforeTheStartAreToldAndRunNothing)
{
    const QString good = clip("clip.avi");
    struct Case {
        QStringList arguments;
        const char* message;
        QStringList stored = {};  // the settings store's group, key=value
    };
    // A profile is named by its id (in any letter case) or its full name; a known profile lets
    // the checks go on to the output folder.
    const char* const noFolder = "tarnivo-reverse: output folder 'no such folder' does not exist";
    const Case cases[] = {
        {{"--bogus", "--out", out(), good}, "tarnivo-reverse: unknown option '--bogus' (see --help)"},
        {{"--out"}, "tarnivo-reverse: missing value after '--out' (see --help)"},
        // Custom settings that the job would refuse are refused before it starts.
        {{"--out", out(), good},
         "tarnivo-reverse: Custom Format: the video codec \"hevc\" cannot be stored in a \".avi\" file. "
         "Choose the extension .mp4, .mov, .qt, .mkv, or another codec in Tarnivo's window, or "
         "another profile (see --list-profiles)",
         {"Op1=Custom Format", "Op2=hevc", "Op13=.avi"}},
        {{"--profile", "mkv", "--out", out(), good},
         "tarnivo-reverse: unknown profile 'mkv' (see --list-profiles)"},
        {{"--profile", "mp3 sound (mp3)", "--out", out(), good},
         "tarnivo-reverse: unknown profile 'mp3 sound (mp3)' (see --list-profiles)"},
        {{"--profile", "mp4", "--out", "no such folder", good}, noFolder},
        {{"--profile", "WebM", "--out", "no such folder", good}, noFolder},
        {{"--profile", "avi-xvid", "--out", "no such folder", good}, noFolder},
        {{"--profile", "MOV (ProRes 422 HQ/PCM, for editing)", "--out", "no such folder", good}, noFolder},
        {{"--out", "no such folder", good}, noFolder},
        {{"--out", out()}, "tarnivo-reverse: no FILE given (see --help)"},
        {{"--from", "1:75", "--out", out(), good},
         "tarnivo-reverse: --from '1:75' is no time (seconds such as 12.5, or h:mm:ss.ms such as 1:02:03.5)"},
        {{"--from", "0:02", "--to", "1.5", "--out", out(), good},
         "tarnivo-reverse: --to 0:01.5 is not after --from 0:02"},
    };
    for (const Case& c : cases) {
        QDir().mkpath(home.path() + "/config");
        QFile store(home.path() + "/config/Quorlan.conf");
        ASSERT_TRUE(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
        store.write(("[Tarnivo]\n" + c.stored.join('\n') + "\n").toUtf8());
        store.close();
        const CliRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.errors.trimmed(), c.message);
        EXPECT_EQ(result.output, "");
    }
    QFile::remove(home.path() + "/config/Quorlan.conf");
    EXPECT_EQ(outputs(), QStringList());
    const CliRun version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.output.startsWith("tarnivo-reverse ")) << version.output.toStdString();

    // Without SoX on PATH the job says what to install before it starts.
    path = home.path() + "/bin";
    QDir().mkpath(path);
    for (const char* tool : {"ffmpeg", "ffprobe"})
        QFile::link(QStandardPaths::findExecutable(tool), path + "/" + tool);
    const CliRun withoutSox = run({"--out", out(), good});
    path.clear();
    EXPECT_EQ(withoutSox.exitCode, 1);
    EXPECT_TRUE(withoutSox.output.contains("sox (Debian package \"sox\")"))
        << withoutSox.output.toStdString();
    EXPECT_FALSE(withoutSox.output.contains("ffprobe"));
    EXPECT_EQ(outputs(), QStringList());

    // Each profile's id, then its name, the names in one column.
    const CliRun list = run({"--list-profiles"});
    EXPECT_EQ(list.exitCode, 0);
    const QStringList lines = list.output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<int>(ProfileNames().size()));
    const int column = lines.front().indexOf("Custom Format");
    for (int i = 0; i < lines.size(); ++i) {
        const std::string& name = ProfileNames()[i];
        EXPECT_EQ(lines[i].mid(column), QString::fromStdString(name));
        EXPECT_EQ(lines[i].left(column).trimmed(), QString::fromStdString(ProfileId(name)));
    }
    EXPECT_EQ(lines.filter(QRegularExpression("^mp4 +MP4 \\(H\\.264")).size(), 1);
}

// A folder brings its files and those of its sub-folders in name order; without a terminal the
// progress is told line by line, never rewritten in place, and --quiet keeps a success silent.
TEST_F(ReverseCli, AFolderBringsItsFilesInNameOrder)
{
    clip("b.avi");
    clip("A.avi");
    QDir().mkpath(sources() + "/sub");
    QFile::copy(sources() + "/b.avi", sources() + "/sub/c.avi");
    const CliRun result = run({"--out", out(), "."});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    QStringList reversing;
    for (const QString& line : result.output.split('\n')) {
        if (line.contains(" reversing "))
            reversing << line;
    }
    EXPECT_EQ(reversing, (QStringList{"[1/3] reversing " + sources() + "/A.avi",
                                      "[2/3] reversing " + sources() + "/b.avi",
                                      "[3/3] reversing " + sources() + "/sub/c.avi"}));
    EXPECT_FALSE((result.output + result.errors).contains('\r'));
    EXPECT_EQ(outputs(), QStringList({"A.avi", "b.avi", "c.avi"}));

    const CliRun quiet = run({"--quiet", "--out", out(), sources() + "/sub"});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.errors.toStdString();
    EXPECT_EQ(quiet.output + quiet.errors, "");
    EXPECT_TRUE(outputs().contains("c0.avi"));
}

// On a first start the results go to the desktop folder, or to the home folder on a machine
// without one.
TEST_F(ReverseCli, AFirstStartWritesToTheDesktopOrElseHome)
{
    const QString source = clip("clip.avi");
    userHome = home.path() + "/home";
    QDir().mkpath(userHome);
    EXPECT_EQ(run({source}).exitCode, 0);
    EXPECT_TRUE(QFile::exists(userHome + "/clip.avi"));
    QDir().mkpath(userHome + "/Desktop");
    EXPECT_EQ(run({source}).exitCode, 0);
    EXPECT_TRUE(QFile::exists(userHome + "/Desktop/clip.avi"));

    // A stored output folder that is empty, or not UTF-8, falls back to the desktop folder and
    // says so once; a long stored value is cut where a message shows it.
    QDir().mkpath(home.path() + "/config");
    QFile settings(home.path() + "/config/Quorlan.conf");
    const QByteArray stored[] = {"[Tarnivo]\nText2=\n", "[Tarnivo]\nText2=/caf\xe9/\n"};
    for (const QByteArray& text : stored) {
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(text);
        settings.close();
        const CliRun fallback = run({source});
        EXPECT_EQ(fallback.exitCode, 0) << fallback.errors.toStdString();
        EXPECT_EQ(fallback.errors.count("the stored output folder (Text2 in " + settings.fileName() + ")"), 1)
            << fallback.errors.toStdString();
        EXPECT_TRUE(fallback.errors.contains("; the default " + userHome + "/Desktop/ is used"))
            << fallback.errors.toStdString();
    }
    EXPECT_EQ(QDir(userHome + "/Desktop").entryList(QDir::Files),
              QStringList({"clip.avi", "clip0.avi", "clip1.avi"}));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Tarnivo]\nOp1=" + QByteArray(100000, 'x') + "\n");
    settings.close();
    const CliRun longProfile = run({source});
    EXPECT_EQ(longProfile.exitCode, 2);
    EXPECT_EQ(longProfile.errors.trimmed(), "tarnivo-reverse: unknown profile '" + QString(60, 'x') +
                                                "... (100000 characters)' (see --list-profiles)");
}

// Every profile of the catalogue through the whole job: the output has the profile's extension,
// ffprobe reads it, and it holds the streams and the picture size the profile asks for. Today's
// profiles have a test of their own.
TEST_F(ReverseCli, EveryProfileGivesAValidFile)
{
    const QString source = clip("every profile.avi", 2);
    for (const std::string& name : ProfileNames()) {
        SCOPED_TRACE(name);
        const ProfileRow* row = FindProfileRow(name);
        if (row && !row->settings.outputOptions.empty())
            continue;
        // "Custom Format" with the panel's first-start values.
        const QString extension = row ? row->extension : ".avi";
        const QString size = row ? QString::fromStdString(row->settings.videoSize) : "320x240";
        const bool soundOnly = extension == ".mp3" || extension == ".wav";
        const bool gif = extension == ".gif";

        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        const CliRun result = run({"--profile", QString::fromStdString(name), "--out", out(), source});
        ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
        const QString made = out() + "/every profile" + extension;
        ASSERT_EQ(outputs(), QStringList({"every profile" + extension}));
        const ToolResult probe = RunTool("ffprobe", {"-v", "error", made});
        EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
        EXPECT_EQ(StreamEntry(made, "v:0", "codec_type").isEmpty(), soundOnly);
        EXPECT_EQ(StreamEntry(made, "a:0", "codec_type").isEmpty(), gif);
        if (!soundOnly && !size.isEmpty()) {
            const QString width = StreamEntry(made, "v:0", "width");
            const QString height = StreamEntry(made, "v:0", "height");
            EXPECT_EQ(width + "x" + height, size);
        }
    }
}

// The real job hands "ffmpeg.exe" the designed conversion line, token for token but for its
// hidden destination, and tells it the picture's colours in its environment only: RealMedia
// (whose encoder's rate depends on the picture rate, which the front end reads from the
// intermediate) is made from a 10 fps film. A copy of the programs runs with a recorder in place
// of the front end, which records each call and then runs it.
TEST_F(ReverseCli, TheJobHandsFfmpegTheDesignedLine)
{
    programs = home.path() + "/programs";
    const QString records = home.path() + "/records";
    ASSERT_TRUE(QDir().mkpath(programs) && QDir().mkpath(records));
    for (const char* program : {"tarnivo-reverse", "tarnivo-batch", "tarnivo-sox", "tarnivo-frames"})
        ASSERT_TRUE(QFile::copy(HelperProgramFolder() + "/" + program, programs + "/" + program));
    ASSERT_TRUE(
        QFile::copy(HelperProgramFolder() + "/tarnivo-test-ffmpeg-recorder", programs + "/tarnivo-ffmpeg"));
    extraEnvironment = {"TARNIVO_TEST_RECORDS=" + records,
                        "TARNIVO_TEST_FRONT_END=" + HelperProgramFolder() + "/tarnivo-ffmpeg"};
    QDir().mkpath(sources());
    const QString source = sources() + "/ten fps.avi";
    ClipOptions tenFps;
    tenFps.frameRate = "10";
    ASSERT_TRUE(MakeClip(source, tenFps));

    const CliRun result = run({"--profile", "rm", "--out", out(), source});
    ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
    EXPECT_EQ(outputs(), QStringList{"ten fps.rm"});
    EXPECT_EQ(StreamEntry(out() + "/ten fps.rm", "v:0", "codec_name"), "rv20");
    // The last call is the conversion: every entry ends with NUL, the four colour entries first.
    QStringList calls = QDir(records).entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(calls.isEmpty());
    QFile call(records + "/" + calls.last());
    ASSERT_TRUE(call.open(QIODevice::ReadOnly));
    QStringList entries = QString::fromUtf8(call.readAll()).split(QChar(0));
    entries.removeLast();
    ASSERT_GT(entries.size(), 4);
    EXPECT_EQ(entries.mid(0, 4),
              (QStringList{"TARNIVO_INPUT_COLOR_MATRIX=smpte170m", "TARNIVO_INPUT_COLOR_PRIMARIES=",
                           "TARNIVO_INPUT_COLOR_TRANSFER=", "TARNIVO_INPUT_COLOR_RANGE="}));
    const QStringList arguments = entries.mid(4);
    EXPECT_EQ(arguments.mid(0, arguments.size() - 1),
              (QStringList{"-i", work() + "/rvideo.avi", "-y", "-vcodec", "rv20", "-deinterlace", "-sameq",
                           "-ar", "44100", "-ac", "2"}));
    EXPECT_TRUE(QFileInfo(arguments.last()).fileName().startsWith(".ten fps.tarnivo-"))
        << arguments.last().toStdString();
    EXPECT_TRUE(arguments.last().endsWith(".rm"));
}

namespace {

// The time of the first picture brighter than mid-grey, in seconds on the file's own timeline;
// -1 when there is none.
double FirstFlash(const QString& file)
{
    const ToolResult stats = RunTool(
        "ffmpeg", {"-v", "error", "-i", file, "-an", "-vf",
                   "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-", "-f", "null", "-"});
    const QRegularExpression time("pts_time:([-0-9.]+)");
    const QRegularExpression brightness("YAVG=([0-9.]+)");
    double frameTime = -1;
    for (const QString& line : QString::fromUtf8(stats.output).split('\n')) {
        const QRegularExpressionMatch at = time.match(line);
        if (at.hasMatch())
            frameTime = at.captured(1).toDouble();
        const QRegularExpressionMatch luma = brightness.match(line);
        if (luma.hasMatch() && luma.captured(1).toDouble() > 150)
            return frameTime;
    }
    return -1;
}

// The time the first sound after silence starts; -1 when there is none.
double FirstBeep(const QString& file)
{
    const ToolResult silence = RunTool("ffmpeg", {"-v", "info", "-i", file, "-vn", "-af",
                                                  "silencedetect=n=-30dB:d=0.005", "-f", "null", "-"});
    const QRegularExpressionMatch end =
        QRegularExpression("silence_end: ([-0-9.]+)").match(QString::fromUtf8(silence.errors));
    return end.hasMatch() ? end.captured(1).toDouble() : -1;
}

}  // namespace

// A flash on one picture and a beep as long as that picture, at the same moment: reversed, the
// beep starts with the flash's picture, and every profile keeps them within one of its own
// frames. A film at 29.97 fps, which the MPEG-4 program streams cannot carry as it is; H.264 in AVI.
TEST_F(ReverseCli, PictureAndSoundStayTogether)
{
    QDir().mkpath(sources());
    const QString source = sources() + "/flash and beep.mkv";
    const QString flash = "color=c=0x202020:s=320x240:r=30000/1001:d=4,"
                          "drawbox=c=white:t=fill:enable='eq(n,40)'";
    const QString beep = "aevalsrc='if(between(t,40*1001/30000,41*1001/30000),0.5*sin(2*PI*1000*t),0)':"
                         "s=44100:d=4";
    ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", flash, "-f", "lavfi", "-i", beep,
                                 "-c:v", "mjpeg", "-q:v", "2", "-c:a", "pcm_s16le", "-shortest", source})
                  .exitCode,
              0);
    for (const char* profile :
         {"wmv", "wmv-best", "zune-wmv", "flv", "ipod", "ipod-640", "iphone", "rm", "psp-avc"}) {
        SCOPED_TRACE(profile);
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        const CliRun result = run({"--profile", profile, "--out", out(), source});
        ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
        ASSERT_EQ(outputs().size(), 1);
        const QString made = out() + "/" + outputs().first();
        const QStringList rate = StreamEntry(made, "v:0", "avg_frame_rate").split('/');
        ASSERT_EQ(rate.size(), 2);
        const double frame = rate[1].toDouble() / rate[0].toDouble();
        const double flashAt = FirstFlash(made);
        const double beepAt = FirstBeep(made);
        ASSERT_GE(flashAt, 0);
        ASSERT_GE(beepAt, 0);
        EXPECT_LE(std::abs(beepAt - flashAt), frame)
            << "flash at " << flashAt << " s, beep at " << beepAt << " s";
    }
}

namespace {

// The mean grey of every picture of the file as it is stored (none repeated or dropped).
std::vector<double> storedGreys(const QString& file)
{
    const ToolResult pictures =
        RunTool("ffmpeg", {"-v", "error", "-i", file, "-fps_mode", "passthrough", "-vf", "scale=16:12", "-f",
                           "rawvideo", "-pix_fmt", "gray", "-"});
    std::vector<double> greys;
    for (qsizetype at = 0; at + 192 <= pictures.output.size(); at += 192) {
        double sum = 0;
        for (qsizetype i = at; i < at + 192; ++i)
            sum += static_cast<unsigned char>(pictures.output[i]);
        greys.push_back(sum / 192);
    }
    return greys;
}

// The loudness (RMS of 16-bit samples) of the file's sound from one time to another.
double loudness(const QString& file, double from, double to)
{
    const ToolResult sound = RunTool("ffmpeg", {"-v", "error", "-i", file, "-vn", "-af",
                                                QString("atrim=start=%1:end=%2").arg(from).arg(to), "-ac",
                                                "1", "-f", "s16le", "-"});
    const auto* samples = reinterpret_cast<const qint16*>(sound.output.constData());
    const qsizetype count = sound.output.size() / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count > 0 ? std::sqrt(sum / count) : -1;
}

}  // namespace

// A film of 50 pictures growing brighter, its sound a beep in the first 0.3 s: --boomerang plays
// it forward and back (99 pictures, the last shown once, the beep at both ends); --from and
// --to reverse only their part's pictures and sound.
TEST_F(ReverseCli, ABoomerangOrAPartIsWhatIsReversed)
{
    ClipOptions options;
    options.seconds = 2;
    options.withAudio = false;
    QDir().mkpath(sources());
    ASSERT_TRUE(MakeClip(sources() + "/pictures.avi", options));
    const QString source = sources() + "/beep and pictures.avi";
    ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-y", "-i", sources() + "/pictures.avi", "-f", "lavfi", "-i",
                                 "aevalsrc='if(lt(t,0.3),0.5*sin(2*PI*1000*t),0)':s=44100:d=2", "-c:v",
                                 "copy", "-c:a", "pcm_s16le", "-shortest", source})
                  .exitCode,
              0);
    struct Case {
        QStringList arguments;
        std::vector<int> pictures;  // the source's pictures in the result, in order
    };
    std::vector<int> boomerang;
    for (int n = 0; n < 99; ++n)
        boomerang.push_back(n < 50 ? n : 98 - n);
    std::vector<int> part;
    for (int n = 29; n >= 10; --n)
        part.push_back(n);
    const Case cases[] = {{{"--boomerang"}, boomerang}, {{"--from", "0.4", "--to", "0:01.2"}, part}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        const CliRun result =
            run(QStringList{"--profile", "wmv", "--out", out()} + row.arguments + QStringList{source});
        ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
        ASSERT_EQ(outputs(), QStringList{"beep and pictures.wmv"});  // the name says nothing more
        const QString made = out() + "/" + outputs().first();
        const std::vector<double> greys = storedGreys(made);
        ASSERT_EQ(greys.size(), row.pictures.size());
        for (size_t n = 0; n < greys.size(); ++n)
            EXPECT_NEAR(greys[n], ExpectedGrey(row.pictures[n]), 2.0) << "picture " << n;
        if (row.arguments.contains("--boomerang")) {
            // The beep, silence, the beep reversed at the end.
            EXPECT_GT(loudness(made, 0.05, 0.25), 3000);
            EXPECT_LT(loudness(made, 0.5, 3.4), 300);
            EXPECT_GT(loudness(made, 3.7, 3.9), 3000);
        } else {
            EXPECT_LT(loudness(made, 0, 0.8), 300);  // the part holds no beep
        }
    }
    // A part outside the film is refused before any work, with its reason.
    const CliRun outside = run({"--out", out(), "--from", "5", source});
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_TRUE((outside.output + outside.errors).contains("lies outside the film"))
        << outside.output.toStdString() << outside.errors.toStdString();
}

namespace {

quint32 littleEndian(const QByteArray& bytes, int at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

QByteArray littleEndian32(quint32 value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
    return bytes;
}

// An animated WebP as ffmpeg 5.1 cannot read it: its canvas size, and each frame's duration in
// milliseconds and mean grey (the frame's picture, put into a still WebP of its own, decodes).
struct WebPAnimation {
    QString size;
    std::vector<int> durations;
    std::vector<double> greys;
};

WebPAnimation readWebPAnimation(const QString& path, const QString& scratch)
{
    QFile file(path);
    WebPAnimation animation;
    if (!file.open(QIODevice::ReadOnly))
        return animation;
    const QByteArray bytes = file.readAll();
    for (int at = 12; at + 8 <= bytes.size();) {
        const QByteArray name = bytes.mid(at, 4);
        const int size = static_cast<int>(littleEndian(bytes, at + 4, 4));
        const QByteArray payload = bytes.mid(at + 8, size);
        if (name == "VP8X") {
            animation.size =
                QString("%1x%2").arg(littleEndian(payload, 4, 3) + 1).arg(littleEndian(payload, 7, 3) + 1);
        } else if (name == "ANMF") {
            animation.durations.push_back(static_cast<int>(littleEndian(payload, 12, 3)));
            const QByteArray picture = payload.mid(16);
            QFile still(scratch);
            still.open(QIODevice::WriteOnly | QIODevice::Truncate);
            still.write("RIFF" + littleEndian32(4 + picture.size()) + "WEBP" + picture);
            still.close();
            const std::vector<double> grey = MeanGreyPerFrame(scratch);
            animation.greys.push_back(grey.empty() ? -1 : grey.front());
        }
        at += 8 + size + (size & 1);
    }
    return animation;
}

}  // namespace

// Today's profiles through the whole job, named by their ids: each keeps the source's size (cut
// to an even one for the 4:2:0 codecs), frame rate and sample rate (Opus has its own), with
// every frame once and backwards. The animated WebP holds no sound.
TEST_F(ReverseCli, TodaysProfilesKeepTheSourcesPicture)
{
    const QString source = clip("odd size.avi", 1, 161, 121);
    const std::vector<double> sourceGreys = MeanGreyPerFrame(source);
    ASSERT_GE(sourceGreys.size(), 20u);
    struct Case {
        const char* id;
        const char* extension;
        const char* videoCodec;
        const char* size;
        const char* audioCodec;
        const char* sampleRate;
    };
    const Case cases[] = {
        {"mp4", ".mp4", "h264", "160x120", "aac", "44100"},
        {"hevc", ".mp4", "hevc", "160x120", "aac", "44100"},
        {"webm", ".webm", "vp9", "161x121", "opus", "48000"},
        {"prores", ".mov", "prores", "161x121", "pcm_s16le", "44100"},
        {"lossless", ".mkv", "ffv1", "161x121", "flac", "44100"},
        {"webp", ".webp", "webp", "161x121", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        const CliRun result = run({"--profile", c.id, "--out", out(), source});
        ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
        const QString made = out() + "/odd size" + c.extension;
        EXPECT_EQ(StreamEntry(made, "v:0", "codec_name"), c.videoCodec);
        if (QString(c.extension) == ".webp") {
            const WebPAnimation animation = readWebPAnimation(made, home.path() + "/frame.webp");
            EXPECT_EQ(animation.size, c.size);
            // The encoder shows a picture longer rather than repeat one that barely changed; each
            // shows the source's frame of its start, backwards, and together they last as long.
            ASSERT_EQ(animation.greys.size(), animation.durations.size());
            int start = 0;
            for (size_t i = 0; i < animation.greys.size(); ++i) {
                ASSERT_LT(static_cast<size_t>(start / 40), sourceGreys.size());
                const size_t shown = sourceGreys.size() - 1 - static_cast<size_t>(start / 40);
                EXPECT_NEAR(animation.greys[i], sourceGreys[shown], 2.0) << "at " << start << " ms";
                start += animation.durations[i];
            }
            EXPECT_EQ(start, static_cast<int>(sourceGreys.size()) * 40);
            continue;
        }
        EXPECT_EQ(StreamEntry(made, "v:0", "width") + "x" + StreamEntry(made, "v:0", "height"), c.size);
        EXPECT_EQ(StreamEntry(made, "v:0", "r_frame_rate"), "25/1");
        EXPECT_EQ(StreamEntry(made, "a:0", "codec_name"), c.audioCodec);
        EXPECT_EQ(StreamEntry(made, "a:0", "sample_rate"), c.sampleRate);
        const std::vector<double> greys = MeanGreyPerFrame(made);
        ASSERT_EQ(greys.size(), sourceGreys.size());
        for (size_t i = 0; i < greys.size(); ++i)
            EXPECT_NEAR(greys[i], sourceGreys[greys.size() - 1 - i], 2.0) << "frame " << i;
    }
}

// "Custom Format" as the window left it in the settings store: the panel's choices reach the
// result (mono, "Same as source" for size, rate and samples, today's codecs), and a codec that
// the chosen extension's container cannot hold is refused before any file is worked on.
TEST_F(ReverseCli, CustomFormatChoicesReachTheResult)
{
    const QString source = clip("odd size.avi", 1, 161, 121);
    struct Case {
        const char* what;
        QStringList stored;  // the settings store's group, key=value
        int exitCode;
        QString told;         // what the output holds
        QStringList streams;  // codec, width x height, rate, channels and sample rate of the result
    };
    const QStringList panel = {"Op1=Custom Format", "Op3=1000", "Op5=96", "Op9=0", "Op10=0"};
    const Case cases[] = {
        {"mono H.265 and Opus, the source's size, rate and samples",
         panel + QStringList{"Op2=hevc", "Op4=opus", "Op6=Same as source", "Op7=same as source",
                             "Op8=Same as source", "Op11=True", "Op12=False", "Op13=.mkv"},
         0,
         "made " + out() + "/odd size.mkv",
         {"hevc", "160x120", "25/1", "opus", "1", "48000"}},
        {"stereo VP9 at a size and rate chosen",
         panel + QStringList{"Op2=vp9", "Op4=opus", "Op6=48000", "Op7=10", "Op8=320x240", "Op11=False",
                             "Op12=True", "Op13=.webm"},
         0,
         "made " + out() + "/odd size.webm",
         {"vp9", "320x240", "10/1", "opus", "2", "48000"}},
        {"ProRes in an MP4",
         panel + QStringList{"Op2=prores", "Op4=pcm_s16le", "Op6=44100", "Op7=25", "Op8=320x240",
                             "Op11=False", "Op12=True", "Op13=.mp4"},
         2,
         "tarnivo-reverse: Custom Format: the video codec \"prores\" cannot be stored in a \".mp4\" file. "
         "Choose the extension .mov, .qt, .mkv, or another codec",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        QDir().mkpath(home.path() + "/config");
        QFile store(home.path() + "/config/Quorlan.conf");
        ASSERT_TRUE(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
        store.write(("[Tarnivo]\n" + c.stored.join('\n') + "\n").toUtf8());
        store.close();
        const CliRun result = run({"--out", out(), source});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output.toStdString() << result.errors.toStdString();
        EXPECT_TRUE((result.output + result.errors).contains(c.told)) << result.output.toStdString();
        if (c.streams.isEmpty()) {
            EXPECT_FALSE(result.output.contains("reversing")) << result.output.toStdString();
            EXPECT_EQ(outputs(), QStringList());
            continue;
        }
        const QString made = c.told.mid(5);
        EXPECT_EQ(
            (QStringList{StreamEntry(made, "v:0", "codec_name"),
                         StreamEntry(made, "v:0", "width") + "x" + StreamEntry(made, "v:0", "height"),
                         StreamEntry(made, "v:0", "r_frame_rate"), StreamEntry(made, "a:0", "codec_name"),
                         StreamEntry(made, "a:0", "channels"), StreamEntry(made, "a:0", "sample_rate")}),
            c.streams);
    }
}

// A file counts as made only when it is whole. A frame extraction that is killed, a working
// folder and an output folder that fill up: each fails its file with a reason a user can act
// on, nothing is left under a final name, and the working folder is emptied.
TEST_F(ReverseCli, AStepThatFailsOrIsCutShortMakesNothing)
{
    const QString longer = hourLongClip("longer.avi");
    QProcess killed;
    freeBytes = "100000000000";  // the hour's room is not measured
    prepare(killed, {"--out", out(), longer});
    freeBytes.clear();
    killed.start();
    // Stopped once a part of the frames is written.
    QStringList extraction;
    auto extracting = [&] {
        extraction = toolsWorkingIn(home.path(), "%06d.jpg");
        return !extraction.isEmpty() && !QDir(work()).entryList({"*.jpg"}, QDir::Files).isEmpty();
    };
    ASSERT_TRUE(ProcessEventsUntil(extracting, 600000));
    for (const QString& pid : extraction)
        ::kill(pid.toInt(), SIGKILL);
    const CliRun result = finish(killed);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.output.contains("longer.avi: ffmpeg was stopped by signal 9"))
        << result.output.toStdString();
    EXPECT_EQ(outputs(), QStringList());
    EXPECT_EQ(leftInWork(), QStringList());

    const QString source = clip("clip.avi", 2);
    const qint64 toolBytes = QFileInfo(HelperProgramFolder() + "/tarnivo-ffmpeg").size() +
                             QFileInfo(HelperProgramFolder() + "/tarnivo-sox").size() +
                             QFileInfo(HelperProgramFolder() + "/tarnivo-frames").size();
    struct Case {
        const char* what;
        QString smallFolder;  // mounted with a few kilobytes
        qint64 size;
        QString said;
    };
    const Case cases[] = {
        {"no room for the tools", temp(), 64 * 1024,
         "could not put its tools into the working folder " + work()},
        {"full working folder", temp(), toolBytes + 64 * 1024,
         "clip.avi: No space left on device in the working folder " + work()},
        {"full output folder", out(), 16 * 1024,
         "clip.avi: No space left on device in the output folder " + out() + "\n"},
    };
    // A film replaced by another once its frames are taken (by an ffmpeg on PATH that moves the
    // other film over it then): its file fails, and nothing is made of the two films.
    const QString bin = home.path() + "/bin";
    QDir().mkpath(bin);
    QFile wrapper(bin + "/ffmpeg");
    ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
    wrapper.write(
        "#!/bin/sh\n\"" + QFile::encodeName(QStandardPaths::findExecutable("ffmpeg")) +
        "\" \"$@\"\nstatus=$?\ncase \"$*\" in *yuv4mpegpipe*) mv \"$TEST_OTHER\" \"$TEST_SOURCE\";; esac\n"
        "exit $status\n");
    wrapper.close();
    wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner);
    const QString replaced = clip("replaced.avi", 2);
    path = bin + ":" + qEnvironmentVariable("PATH");
    extraEnvironment << "TEST_OTHER=" + clip("other.avi", 3) << "TEST_SOURCE=" + replaced;
    const CliRun changed = run({"--out", out(), replaced});
    path.clear();
    extraEnvironment.clear();
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_TRUE(changed.output.contains("replaced.avi: the film changed while it was reversed"))
        << changed.output.toStdString();
    EXPECT_EQ(outputs(), QStringList());
    EXPECT_EQ(leftInWork(), QStringList());

    // Under a file-size limit (ulimit -f): one too small for the tools refuses the job before
    // anything is written; one that takes the tools but not a film's sound fails its file. Each
    // says so, and leaves nothing.
    const qint64 largestTool = std::max({QFileInfo(HelperProgramFolder() + "/tarnivo-ffmpeg").size(),
                                         QFileInfo(HelperProgramFolder() + "/tarnivo-sox").size(),
                                         QFileInfo(HelperProgramFolder() + "/tarnivo-frames").size()});
    const qint64 soundBytesPerSecond = 44100 * 2 * 2;
    for (const qint64 limit : {qint64(50 * 1024), largestTool + 64 * 1024}) {
        SCOPED_TRACE(limit);
        ClipOptions sound;
        sound.withVideo = false;
        sound.seconds = double(limit / soundBytesPerSecond + 2);
        ASSERT_TRUE(MakeClip(sources() + "/sound.wav", sound));
        QProcess limited;
        prepare(limited, {"--out", out(), sources() + "/sound.wav"});
        limited.setChildProcessModifier([limit] {
            const rlimit size{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_FSIZE, &size);
        });
        limited.start();
        const CliRun result = finish(limited);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.output.contains("the file-size limit of this session is too small"))
            << result.output.toStdString() << result.errors.toStdString();
        EXPECT_EQ(outputs(), QStringList());
        EXPECT_EQ(leftInWork(), QStringList());
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SmallFileSystem small(c.smallFolder, QByteArray::number(c.size));
        if (!small.mounted())
            GTEST_SKIP() << "mounting a small file system needs the right to mount";
        freeBytes = "100000000000";  // past the check before the frames: the disk fills meanwhile
        const CliRun full = run({"--out", out(), source});
        freeBytes.clear();
        EXPECT_EQ(full.exitCode, 1);
        EXPECT_TRUE(full.output.contains(c.said)) << full.output.toStdString();
        EXPECT_EQ(outputs(), QStringList());
        EXPECT_EQ(leftInWork(), QStringList());
    }
}

// The room check measures what a film's frames take, whatever the film's header claims: the
// estimate it refuses with lies within 1.3x below and 1.5x above the working folder's real peak.
// The peak is found on a file system of a given size: a folder of 1/1.3 of the estimate fills
// up (the check is passed over), and one of 1.5 times the estimate takes the whole reversal.
TEST_F(ReverseCli, TheRoomCheckEstimatesTheRealPeak)
{
    struct Film {
        const char* name;
        const char* picture;  // lavfi
        bool claimsDays;      // its header claims 24 days
    };
    const Film films[] = {
        {"clean.mkv", "testsrc2=s=1280x720:r=25:d=2", true},
        {"grainy.mp4", "testsrc2=s=640x360:r=25:d=2,noise=alls=24:allf=t", false},
    };
    const qint64 toolBytes = QFileInfo(HelperProgramFolder() + "/tarnivo-ffmpeg").size() +
                             QFileInfo(HelperProgramFolder() + "/tarnivo-sox").size() +
                             QFileInfo(HelperProgramFolder() + "/tarnivo-frames").size();
    QDir().mkpath(sources());
    for (const Film& film : films) {
        SCOPED_TRACE(film.name);
        const QString source = sources() + "/" + film.name;
        const ToolResult made =
            RunTool("ffmpeg", {"-v",       "error", "-y", "-f",       "lavfi", "-i",      film.picture,
                               "-f",       "lavfi", "-i", "sine=d=2", "-c:v",  "libx264", "-preset",
                               "veryfast", "-crf",  "18", "-c:a",     "aac",   source});
        ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
        if (film.claimsDays) {
            // The Matroska segment's Duration element (ID 0x4489, an 8-byte float of milliseconds).
            QFile file(source);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            const qint64 at = file.readAll().indexOf(QByteArray("\x44\x89\x88", 3));
            ASSERT_GT(at, 0);
            file.seek(at + 3);
            const double milliseconds = 2147483647.0;
            quint64 bits = 0;
            std::memcpy(&bits, &milliseconds, sizeof bits);
            for (int shift = 56; shift >= 0; shift -= 8)
                file.putChar(static_cast<char>(bits >> shift));
            file.close();
            const ToolResult claim = RunTool(
                "ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", source});
            ASSERT_GT(claim.output.trimmed().toDouble(), 20 * 86400.0);
        }

        freeBytes = "1000";
        const CliRun refused = run({"--out", out(), source});
        const QRegularExpressionMatch needs =
            QRegularExpression("needs about ([0-9]+) MB there and 1 MB are free").match(refused.output);
        ASSERT_TRUE(needs.hasMatch()) << refused.output.toStdString();
        const qint64 estimate = needs.captured(1).toLongLong() * 1000 * 1000;
        EXPECT_EQ(leftInWork(), QStringList());

        struct Room {
            double share;  // of the estimate
            bool checked;  // the room check runs
            QString said;  // in the output
        };
        const Room rooms[] = {
            {1 / 1.3, false, "No space left on device in the working folder " + work()},
            {1.5, true, "made " + out() + "/" + QFileInfo(source).completeBaseName() + ".avi"},
        };
        for (const Room& room : rooms) {
            SCOPED_TRACE(room.share);
            const SmallFileSystem small(temp(),
                                        QByteArray::number(toolBytes + qint64(estimate * room.share)));
            if (!small.mounted())
                GTEST_SKIP() << "mounting a small file system needs the right to mount";
            freeBytes = room.checked ? QString() : "100000000000";
            const CliRun result = run({"--out", out(), source});
            EXPECT_TRUE(result.output.contains(room.said)) << result.output.toStdString();
            EXPECT_EQ(leftInWork(), QStringList());
        }
        freeBytes.clear();
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
    }
}

// A name is only taken when the result is whole, and never from anyone else: a file that the
// user saves under the chosen name during the conversion stays as it is, two jobs into one
// folder give two whole files, and the hidden file of a killed job is removed by the next job
// (never one of a job that still runs). So on every file system: also where renaming and
// linking without replacing are refused, as on exFAT through FUSE (really mounted where the
// machine allows it, and as the test switch makes those calls fail anywhere).
TEST_F(ReverseCli, AResultNeverTakesANameFromAnotherFile)
{
    const QString source = clip("clip.avi");
    // An ffmpeg on PATH that holds a conversion into the output folder while the file hold
    // exists, and tells so with hold.held: the test acts at that point, however fast or slow.
    const QString bin = home.path() + "/bin";
    const QString hold = home.path() + "/hold";
    QDir().mkpath(bin);
    QFile wrapper(bin + "/ffmpeg");
    ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
    wrapper.write(
        "#!/bin/sh\ncase \"$*\" in *.tarnivo-*)\n  if [ -n \"$TEST_HOLD\" ]; then\n"
        "    : > \"$TEST_HOLD.held\"\n    while [ -e \"$TEST_HOLD\" ]; do sleep 0.05; done\n  fi;;\nesac\n"
        "exec \"" +
        QFile::encodeName(QStandardPaths::findExecutable("ffmpeg")) + "\" \"$@\"\n");
    wrapper.close();
    wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner);
    path = bin + ":" + qEnvironmentVariable("PATH");
    auto hidden = [&] { return QDir(out()).entryList({".*.tarnivo-*"}, QDir::Files | QDir::Hidden); };
    // A job started under another name is known by what it holds all the same.
    const QString otherName = bin + "/reverser";
    ASSERT_TRUE(QFile::link(HelperProgramFolder() + "/tarnivo-reverse", otherName));
    auto start = [&](QProcess& job, const QString& tempName, bool held, const QString& program = QString()) {
        extraEnvironment.removeIf([](const QString& setting) { return setting.startsWith("TEST_HOLD="); });
        QFile::remove(hold + ".held");
        if (held) {
            extraEnvironment << "TEST_HOLD=" + hold;
            QFile(hold).open(QIODevice::WriteOnly);
        }
        prepare(job, {"--out", out(), source}, home.path() + "/" + tempName);
        if (!program.isEmpty())
            job.setProgram(program);
        job.start();
        if (held) {
            EXPECT_TRUE(ProcessEventsUntil([&] { return QFile::exists(hold + ".held"); }, 300000));
            QFile::remove(hold + ".held");
        }
    };

    enum class FileSystem { Plain, NoReplaceRefused, FuseExfat };
    for (const FileSystem fileSystem :
         {FileSystem::Plain, FileSystem::NoReplaceRefused, FileSystem::FuseExfat}) {
        SCOPED_TRACE(static_cast<int>(fileSystem));
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        std::optional<FuseExfat> exfat;
        if (fileSystem == FileSystem::FuseExfat) {
            exfat.emplace(out(), home.path() + "/exfat.img");
            if (!exfat->mounted())
                GTEST_SKIP()
                    << "exFAT through FUSE cannot be mounted here (needs root, a loop device, "
                       "mkfs.exfat and mount.exfat-fuse); the refused calls were tried by the test switch";
        }
        extraEnvironment.clear();
        if (fileSystem == FileSystem::NoReplaceRefused)
            extraEnvironment << "TARNIVO_TEST_REFUSE_NOREPLACE=1";

        // A job (started under another name) is held at its conversion; the user saves clip.avi
        // meanwhile, and a second job runs to its end beside it: the first job's hidden file is
        // not another's to remove.
        QProcess first;
        start(first, "temp a", true, otherName);
        const QByteArray users = "the user's own file";
        QFile saved(out() + "/clip.avi");
        ASSERT_TRUE(saved.open(QIODevice::NewOnly));
        saved.write(users);
        saved.close();
        QProcess second;
        start(second, "temp b", false);
        const CliRun beside = finish(second);
        EXPECT_EQ(beside.exitCode, 0) << beside.output.toStdString();
        EXPECT_TRUE(beside.output.contains("made " + out() + "/clip0.avi")) << beside.output.toStdString();
        EXPECT_EQ(hidden().size(), 1);
        QFile::remove(hold);
        const CliRun held = finish(first);
        EXPECT_EQ(held.exitCode, 0) << held.output.toStdString();
        EXPECT_TRUE(held.output.contains("made " + out() + "/clip1.avi")) << held.output.toStdString();

        // A job killed at its conversion leaves its hidden file; the next job removes it.
        QProcess killed;
        start(killed, "temp c", true);
        ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
        killed.waitForFinished();
        for (const QString& pid : toolsWorkingIn(out(), ".tarnivo-"))
            ::kill(pid.toInt(), SIGKILL);
        EXPECT_EQ(hidden().size(), 1);
        QFile::remove(hold);
        QProcess next;
        start(next, "temp d", false);
        const CliRun afterKilled = finish(next);
        EXPECT_EQ(afterKilled.exitCode, 0) << afterKilled.output.toStdString();

        EXPECT_EQ(outputs(), QStringList({"clip.avi", "clip0.avi", "clip1.avi", "clip2.avi"}));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(), users);
        saved.close();
        for (const char* name : {"clip0.avi", "clip1.avi", "clip2.avi"})
            EXPECT_NEAR(DecodedDuration(out() + "/" + name, "v:0"), 1, 0.1) << name;
    }
}

// The output folder and the output names are checked before any work: a folder that cannot
// take results refuses the job, a name longer than the file system allows is shortened (at a
// character boundary, keeping the number and the extension) and said so, so is a name with
// characters a USB stick's file system takes in no name ("_" in their place), and a file whose
// name cannot be made fits is refused before its reversal. The working folder is told it has
// no room at all, so a reversal that ran would fail with that reason instead.
TEST_F(ReverseCli, TheOutputFolderAndNamesAreCheckedBeforeTheWork)
{
    const QString ascii = QString(252, 'a');
    const QString umlauts = QString(126, QChar(0xfc));  // 252 bytes in UTF-8
    const QString longExtension = "." + QString(250, 'x');
    struct Case {
        const char* what;
        QStringList sourceNames;
        QString folder;  // relative to the test's folder
        QString profile;
        int exitCode;
        QString said;
        QStringList made;  // the output folder afterwards
    };
    const Case cases[] = {
        {"missing output folder",
         {"clip.avi"},
         "missing",
         "",
         2,
         "output folder '{folder}' does not exist",
         {}},
        {"names too long for the file system",
         {ascii + ".ts", umlauts + ".ts"},
         "out folder",
         "",
         0,
         "(the name was shortened to the 255 bytes that the output folder's file system allows)",
         {QString(250, 'a') + "0.avi", QString(251, 'a') + ".avi", QString(125, QChar(0xfc)) + ".avi"}},
        {"an extension that leaves no room for a name",
         {"clip.avi"},
         "out folder",
         "Custom Format",
         1,
         "clip.avi: cannot be made: the output's extension \"" + longExtension +
             "\" leaves no room for a name",
         {}},
        {"read-only output folder",
         {"clip.avi"},
         "read-only",
         "",
         1,
         "Tarnivo cannot write in the output folder {folder}: Read-only file system",
         {}},
        {"characters a USB stick takes in no name",
         {"what? \"a\": b.ts"},
         "stick",
         "",
         0,
         "(the output folder's file system takes no \" * : < > ? \\ | in a name: each was made _)",
         {"what_ _a__ b.avi", "what_ _a__ b0.avi"}},
        {"a character a USB stick refuses after the 60th",
         {QString(61, 'a') + ": b.ts"},
         "stick",
         "",
         0,
         "(the output folder's file system takes no \" * : < > ? \\ | in a name: each was made _)",
         {QString(61, 'a') + "_ b.avi", QString(61, 'a') + "_ b0.avi"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(sources()).removeRecursively();
        QStringList files;
        for (const QString& name : c.sourceNames)
            files << clip(name);
        if (c.exitCode == 0)
            files << files.first();  // the same name again takes a number, within the limit too
        auto sourcesNow = [&] {
            QStringList listing;
            for (const QFileInfo& file : QDir(sources()).entryInfoList(QDir::Files))
                listing << file.fileName() + ":" + QString::number(file.size()) + ":" +
                               file.lastModified().toString(Qt::ISODateWithMs);
            return listing;
        };
        const QStringList sourcesBefore = sourcesNow();
        const QString folder = home.path() + "/" + c.folder;
        std::optional<SmallFileSystem> readOnly;
        std::optional<FuseExfat> stick;
        if (c.folder == "stick") {
            QDir().mkpath(folder);
            stick.emplace(folder, home.path() + "/stick.img");
            if (!stick->mounted())
                GTEST_SKIP() << "exFAT through FUSE cannot be mounted here (needs root, a loop device, "
                                "mkfs.exfat and mount.exfat-fuse)";
        }
        if (c.folder == "read-only") {
            readOnly.emplace(folder, "64k", true);
            if (!readOnly->mounted() && ::geteuid() == 0)
                GTEST_SKIP() << "a read-only folder needs the right to mount for root";
            if (!readOnly->mounted())
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        QFile settings(home.path() + "/config/Quorlan.conf");
        if (!c.profile.isEmpty()) {
            QDir().mkpath(home.path() + "/config");
            ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
            settings.write("[Tarnivo]\nOp13=" + longExtension.toUtf8() + "\n");
            settings.close();
        }
        freeBytes = c.exitCode == 0 ? QString() : "1";
        const CliRun result =
            run(QStringList{"--out", folder} +
                (c.profile.isEmpty() ? QStringList() : QStringList{"--profile", c.profile}) + files);
        freeBytes.clear();
        settings.remove();
        const QString said = QString(c.said).replace("{folder}", folder);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output.toStdString() << result.errors.toStdString();
        EXPECT_TRUE((result.output + result.errors).contains(said))
            << result.output.toStdString() << result.errors.toStdString();
        EXPECT_FALSE(result.output.contains("not enough room")) << result.output.toStdString();
        QStringList made = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        EXPECT_EQ(made, c.made);
        for (const QString& name : made)
            EXPECT_NEAR(DecodedDuration(folder + "/" + name, "v:0"), 1, 0.1) << name.toStdString();
        EXPECT_EQ(sourcesNow(), sourcesBefore);
        EXPECT_EQ(leftInWork(), QStringList());
        EXPECT_EQ(QDir(work() + "/Renamed").entryList(QDir::Files), QStringList());
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
    }
}

// A file that the working folder has no room for fails before any frame is written, saying how
// much room it needs and where; the next file that fits is made. A named pipe is refused at once
// (a tool would wait on it for ever). A name that is not UTF-8 cannot be handed on and is refused
// as such, also when it comes from a folder, shown with its odd bytes escaped.
TEST_F(ReverseCli, FilesAreRefusedBeforeTheWorkWhenTheyCannotBeDone)
{
    const QString big = clip("big.avi", 10, 640, 480);
    const QString small = clip("small.avi");
    const QByteArray latin1 = QFile::encodeName(sources()) + "/caf\xe9.avi";
    ASSERT_EQ(::link(QFile::encodeName(small).constData(), latin1.constData()), 0);
    const QString pipe = sources() + "/pipe.avi";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QDir().mkpath(temp());
    freeBytes = "3000000";
    const tarnivo::test::ProgramResult result = RunProgram(
        {QFile::encodeName(HelperProgramFolder() + "/tarnivo-reverse").toStdString(), "--out",
         QFile::encodeName(out()).toStdString(), QFile::encodeName(big).toStdString(),
         QFile::encodeName(pipe).toStdString(), latin1.toStdString(), QFile::encodeName(small).toStdString()},
        {"TEMP=" + QFile::encodeName(temp()).toStdString(),
         "XDG_CONFIG_HOME=" + QFile::encodeName(home.path() + "/config").toStdString(),
         "TARNIVO_TEST_FREE_BYTES=" + freeBytes.toStdString()});
    const QString said = QString::fromStdString(result.standardOutput + result.standardError);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(said.contains(QRegularExpression("big.avi: not enough room in the working folder " +
                                                 QRegularExpression::escape(work()) +
                                                 ": reversing this file needs about [0-9]+ MB there and 3 MB "
                                                 "are free")))
        << said.toStdString();
    EXPECT_TRUE(said.contains("TEMP")) << said.toStdString();
    EXPECT_TRUE(said.contains("the name is not valid UTF-8; rename the file")) << said.toStdString();
    EXPECT_TRUE(said.contains("pipe.avi: cannot be made: it is a named pipe (FIFO), not a file"))
        << said.toStdString();
    EXPECT_EQ(outputs(), QStringList({"small.avi"}));
    EXPECT_EQ(leftInWork(), QStringList());
    ::unlink(QFile::encodeName(pipe).constData());

    // The same name in a folder given: listed as refused, alone or beside a file that is made.
    QFile::remove(big);
    QFile::remove(out() + "/small.avi");
    for (const bool beside : {false, true}) {
        if (!beside)
            QFile::rename(small, home.path() + "/small.avi");
        else
            QFile::rename(home.path() + "/small.avi", small);
        const tarnivo::test::ProgramResult folder =
            RunProgram({QFile::encodeName(HelperProgramFolder() + "/tarnivo-reverse").toStdString(), "--out",
                        QFile::encodeName(out()).toStdString(), QFile::encodeName(sources()).toStdString()},
                       {"TEMP=" + QFile::encodeName(temp()).toStdString(),
                        "XDG_CONFIG_HOME=" + QFile::encodeName(home.path() + "/config").toStdString()});
        const QString told = QString::fromStdString(folder.standardOutput + folder.standardError);
        EXPECT_EQ(folder.exitStatus, 1) << told.toStdString();
        EXPECT_TRUE(told.contains("refused: " + sources() + "/caf\\xE9.avi: the name is not valid UTF-8"))
            << told.toStdString();
        EXPECT_EQ(outputs(), beside ? QStringList({"small.avi"}) : QStringList());
    }
    ::unlink(latin1.constData());  // a name Qt cannot give back when it cleans up

    const QByteArray latin1Folder = QFile::encodeName(out()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(latin1Folder.constData(), 0700), 0);
    const tarnivo::test::ProgramResult folderRefused =
        RunProgram({QFile::encodeName(HelperProgramFolder() + "/tarnivo-reverse").toStdString(), "--out",
                    latin1Folder.toStdString(), QFile::encodeName(small).toStdString()},
                   {"TEMP=" + QFile::encodeName(temp()).toStdString(),
                    "XDG_CONFIG_HOME=" + QFile::encodeName(home.path() + "/config").toStdString()});
    ::rmdir(latin1Folder.constData());
    EXPECT_EQ(folderRefused.exitStatus, 2);
    EXPECT_TRUE(QString::fromStdString(folderRefused.standardError)
                    .contains("the name is not valid UTF-8; rename the folder"))
        << folderRefused.standardError;
}

namespace {

// The RGB values of a file's picture at the middle of each of eight bars, decoded as the file's
// colour tags say (BT.601 and limited range where it states nothing).
std::vector<int> barColours(const QString& path)
{
    const QString matrix = StreamEntry(path, "v:0", "color_space") == "bt709" ? "bt709" : "bt601";
    const QString range = StreamEntry(path, "v:0", "color_range") == "pc" ? "pc" : "tv";
    // A still picture (a WebP of a film that never changes) has no picture at 0.5 s: its first.
    const QString at = StreamEntry(path, "v:0", "codec_name") == "webp" ? "0" : "0.5";
    const ToolResult decoded =
        RunTool("ffmpeg", {"-v", "error", "-ss", at, "-i", path, "-frames:v", "1", "-vf",
                           "scale=320:240:in_color_matrix=" + matrix + ":in_range=" + range + ",format=rgb24",
                           "-f", "rawvideo", "-"});
    std::vector<int> colours;
    for (int x = 20; x < 320 && decoded.output.size() == 320 * 240 * 3; x += 40) {
        for (int channel = 0; channel < 3; ++channel)
            colours.push_back(static_cast<unsigned char>(decoded.output[(120 * 320 + x) * 3 + channel]));
    }
    return colours;
}

// The share of a film's frames that ffmpeg's idet takes for interlaced.
double interlacedShare(const QString& path)
{
    const ToolResult run = RunTool("ffmpeg", {"-i", path, "-vf", "idet", "-f", "null", "-"});
    const QString report =
        QString::fromUtf8(run.errors).section("Multi frame detection:", 1).section('\n', 0, 0);
    const QStringList counts = report.simplified().split(' ');
    if (counts.size() < 8)
        return 1.0;
    const double interlaced = counts[1].toDouble() + counts[3].toDouble();
    const double all = interlaced + counts[5].toDouble() + counts[7].toDouble();
    return interlaced / std::max(1.0, all);
}

// The PSNR of a film's middle picture against the source picture it matches best: the profile's
// rate conversion may shift the film by a picture against its source.
double middlePictureSharpness(const QString& film, const QString& source)
{
    const ToolResult run =
        RunTool("ffmpeg", {"-v", "error", "-i", film, "-i", source, "-lavfi",
                           "[0:v]select='eq(n,15)',loop=loop=60:size=1,setpts=N/(30*TB),format=yuv420p[a];"
                           "[1:v]setpts=N/(30*TB),format=yuv420p[b];[a][b]psnr=stats_file=-:shortest=1",
                           "-f", "null", "-"});
    double best = 0;
    for (const QString& field : QString::fromUtf8(run.output).split(QRegularExpression("\\s+"))) {
        if (field.startsWith("psnr_avg:"))
            best = std::max(best, field.mid(9) == "inf" ? 100.0 : field.mid(9).toDouble());
    }
    return best;
}

// The scale filter's reading of a film's pictures as a player reads them: by its colour tags, and
// where it states no matrix, by its size (BT.709 for HD).
QString readingOf(const QString& path)
{
    const QString stated = StreamEntry(path, "v:0", "color_space");
    const bool hd =
        StreamEntry(path, "v:0", "width").toInt() >= 1280 || StreamEntry(path, "v:0", "height").toInt() > 576;
    const QString matrix = stated == "bt709"                              ? "bt709"
                           : stated == "smpte170m" || stated == "bt470bg" ? "bt601"
                           : hd                                           ? "bt709"
                                                                          : "bt601";
    const QString range = StreamEntry(path, "v:0", "color_range");
    const bool full =
        range == "pc" || (range != "tv" && StreamEntry(path, "v:0", "pix_fmt").startsWith("yuvj"));
    return "in_color_matrix=" + matrix + ":in_range=" + (full ? "pc" : "tv");
}

// The RGB PSNR of a film against its source played backwards, each read as a player reads it,
// pictures paired by their order (in one time base: Matroska's milliseconds would round them
// apart).
double psnrAgainstReversed(const QString& film, const QString& source)
{
    const QString size = StreamEntry(source, "v:0", "width") + ":" + StreamEntry(source, "v:0", "height");
    const ToolResult run =
        RunTool("ffmpeg", {"-hide_banner", "-nostats", "-i", film, "-i", source, "-lavfi",
                           "[0:v]scale=" + size + ":" + readingOf(film) +
                               ",format=gbrp,settb=AVTB,setpts=N/(30*TB)[a];"
                               "[1:v]reverse,scale=" +
                               size + ":" + readingOf(source) +
                               ",format=gbrp,settb=AVTB,setpts=N/(30*TB)[b];[a][b]psnr=shortest=1",
                           "-f", "null", "-"});
    const QRegularExpressionMatch average =
        QRegularExpression("average:([0-9.]+|inf)").match(QString::fromUtf8(run.errors));
    return !average.hasMatch() ? 0.0 : average.captured(1) == "inf" ? 100.0 : average.captured(1).toDouble();
}

}  // namespace

// The picture shows as the source does: an HD film's BT.709 colours in the default profile, an
// interlaced film without combing, a progressive film as sharp as a conversion that never
// heard of deinterlacing; any sound (8 kHz 8-bit mono, 96 kHz, 5.1) passes the read-back with
// the whole picture, also into WMA, which takes no rate above 48 kHz, in two channels where the
// profile names them and in the source's through today's formats; through H.264, the colours of tagged,
// untagged and full-range films nearly as exactly as ffmpeg's own reverse keeps them, and an HDR film
// tone-mapped to SDR; a picture of one or two pixels in the smallest size the profile's codec takes;
// colours a VP8 film states on each picture only; BT.709 bars (that never change) through WebP;
// camera-like detail through ProRes nearly as ffmpeg's own reverse keeps it and through H.264 as
// it does, and the lossless file in the source's chroma and range with frames as fine as JPEG goes.
TEST_F(ReverseCli, ThePictureShowsAsTheSourceDoes)
{
    enum class Check {
        Colours,
        NoCombing,
        AsSharpAsWithoutDeinterlacer,
        WholeWithSound,
        AsExactAsFfmpegsReverse,
        ToneMapped,
        Size,
        KeptExactly
    };
    struct Source {
        const char* name;
        QStringList making;  // ffmpeg's arguments between its inputs and the file
        QString picture;     // the lavfi picture source
        Check check;
        const char* profile = "avi-xvid-best";
        const char* size = "";       // the result's, for Check::Size
        const char* channels = "2";  // the result's sound, for Check::WholeWithSound
        // For Check::AsExactAsFfmpegsReverse: ffmpeg's settings for its own reverse (the
        // profile's), in a file of the result's kind, and how many dB below it the result may be.
        QStringList reference = {"-c:v", "libx264", "-crf", "18", "-c:a", "aac"};
        double within = 2.0;
    };
    const QString onePixel = "color=c=red:s=2x2:r=25:d=0.4,scale=1:1";
    const QStringList ffv1 = {"-c:v", "ffv1"};
    // An HD picture with colour bars and a moving pattern; BT.709 values unless told otherwise.
    const QString hdBars = "smptehdbars=s=1280x720:r=30:d=0.4[b];testsrc2=s=320x180:r=30:d=0.4[t];"
                           "[b][t]overlay=x='t*600':y=270";
    const QStringList bt709Tags = {"-colorspace", "bt709",      "-color_primaries",
                                   "bt709",       "-color_trc", "bt709"};
    const QStringList lossless = {"-c:v", "libx264", "-qp", "0", "-preset", "ultrafast"};
    // Detailed pictures with moving grain, as a camera films them.
    const QString cameraLike = "testsrc2=s=640x360:r=30:d=0.4,noise=alls=10:allf=t+u";
    const std::vector<Source> cases = {
        {"bt709 bars.mp4",
         {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace", "bt709",
          "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-c:v", "libx264", "-qp",
          "0"},
         "pal75bars=s=320x240:r=25:d=1",
         Check::Colours},
        {"top field first.mpg",
         {"-vf", "tinterlace=mode=interleave_top,setfield=tff", "-c:v", "mpeg2video", "-flags", "+ilme+ildct",
          "-top", "1", "-q:v", "2", "-c:a", "mp2"},
         "testsrc2=s=320x240:r=50:d=1",
         Check::NoCombing},
        {"progressive.avi",
         {"-c:v", "ffv1"},
         "testsrc2=s=320x240:r=30:d=1,noise=alls=10",
         Check::AsSharpAsWithoutDeinterlacer},
        {"8 kHz 8-bit mono.avi",
         {"-c:v", "mpeg4", "-c:a", "pcm_u8", "-ar", "8000", "-ac", "1"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound},
        {"96 kHz.mkv",
         {"-c:v", "mpeg4", "-c:a", "pcm_s24le", "-ar", "96000"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound},
        {"96 kHz.mkv",
         {"-c:v", "mpeg4", "-c:a", "pcm_s24le", "-ar", "96000"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "wmv-best"},
        {"5.1.mkv",
         {"-c:v", "mpeg4", "-c:a", "ac3", "-ac", "6"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound},
        // Today's formats keep the source's channels.
        {"5.1.mkv",
         {"-c:v", "mpeg4", "-c:a", "ac3", "-ac", "6"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "lossless",
         "",
         "6"},
        {"5.1.mkv",
         {"-c:v", "mpeg4", "-c:a", "ac3", "-ac", "6"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "mp4",
         "",
         "6"},
        {"8 kHz 8-bit mono.avi",
         {"-c:v", "mpeg4", "-c:a", "pcm_u8", "-ar", "8000", "-ac", "1"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "lossless",
         "",
         "1"},
        {"8 kHz 8-bit mono.avi",
         {"-c:v", "mpeg4", "-c:a", "pcm_u8", "-ar", "8000", "-ac", "1"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "mp4",
         "",
         "1"},
        // Opus takes no 2.1: the nearest layout it takes.
        {"2.1.mkv",
         {"-c:v", "mpeg4", "-c:a", "pcm_s16le", "-af", "pan=2.1|c0=c0|c1=c0|c2=c0"},
         "testsrc=s=320x240:r=25:d=1",
         Check::WholeWithSound,
         "webm",
         "",
         "2"},
        {"bt709 hd.mp4",
         QStringList{"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"} + bt709Tags +
             lossless,
         hdBars, Check::AsExactAsFfmpegsReverse, "custom"},
        {"untagged hd.mp4",
         QStringList{"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"} + lossless +
             QStringList{"-bsf:v",
                         "h264_metadata=matrix_coefficients=2:colour_primaries=2:transfer_characteristics=2"},
         hdBars, Check::AsExactAsFfmpegsReverse, "custom"},
        {"bt601 full range.mp4",
         {"-vf", "scale=out_color_matrix=bt601:out_range=pc,format=yuvj420p", "-colorspace", "smpte170m",
          "-color_range", "pc", "-c:v", "libx264", "-qp", "0", "-preset", "ultrafast"},
         "smptebars=s=640x480:r=30:d=0.4[b];testsrc2=s=160x120:r=30:d=0.4[t];[b][t]overlay=x='t*600':y=180",
         Check::AsExactAsFfmpegsReverse,
         "custom"},
        {"hdr pq.mp4",
         {"-vf",
          "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=smpte2084:m=bt2020nc:p=bt2020:r=tv:npl=100,format="
          "yuv420p10le",
          "-colorspace", "bt2020nc", "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-c:v",
          "libx265", "-x265-params", "log-level=error", "-preset", "ultrafast"},
         "smptehdbars=s=320x240:r=30:d=0.4",
         Check::ToneMapped,
         "custom"},
        {"one pixel.avi", ffv1, onePixel, Check::Size, "avi-xvid-best", "320x240"},
        {"one pixel.avi", ffv1, onePixel, Check::Size, "wmv", "2x2"},
        {"one pixel.avi", ffv1, onePixel, Check::Size, "hevc", "16x16"},
        {"one pixel.avi", ffv1, onePixel, Check::Size, "lossless", "4x4"},
        {"two pixels.avi", ffv1, "color=c=red:s=2x2:r=25:d=0.4", Check::Size, "rm", "4x4"},
        // WebP is read as BT.601 whatever its source's matrix; libwebp shows a film that never
        // changes as one still picture.
        {"bt709 still hd.mkv",
         QStringList{"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"} + bt709Tags + ffv1,
         "pal75bars=s=1280x720:r=25:d=1", Check::Colours, "webp"},
        // VP8 states BT.601 on each picture and nothing in its stream.
        {"bt601 hd.webm",
         {"-vf", "scale=out_color_matrix=bt601:out_range=tv,format=yuv420p", "-c:v", "libvpx", "-b:v", "4M"},
         "pal75bars=s=1280x720:r=25:d=1",
         Check::Colours},
        // The editing and lossless profiles get frames as fine as they need: ProRes within a dB
        // of ffmpeg's own reverse into the same settings (today's frames: 3 to 8 dB below);
        // lossless keeps the frames exactly, in the source's chroma and range.
        {"camera.mp4",
         {"-c:v", "libx264", "-crf", "16", "-preset", "veryfast"},
         cameraLike,
         Check::AsExactAsFfmpegsReverse,
         "prores",
         "",
         "2",
         {"-c:v", "prores_ks", "-profile:v", "3", "-vendor", "apl0", "-pix_fmt", "yuv422p10le", "-c:a",
          "pcm_s16le"},
         1.0},
        // H.264 at crf 18 is given the film's decoded pictures exactly (lossless frames): as
        // ffmpeg's own reverse into the same settings (the designed frames: 1.2 dB below here).
        {"camera.mp4",
         {"-c:v", "libx264", "-crf", "16", "-preset", "veryfast"},
         cameraLike,
         Check::AsExactAsFfmpegsReverse,
         "mp4",
         "",
         "2",
         {"-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a",
          "192k"},
         0.5},
        {"full range 4-2-2.avi",
         {"-vf", "format=yuvj422p", "-c:v", "mjpeg", "-q:v", "2"},
         cameraLike,
         Check::KeptExactly,
         "lossless"},
        {"limited range.mp4",
         {"-c:v", "libx264", "-crf", "12", "-preset", "veryfast"},
         cameraLike,
         Check::KeptExactly,
         "lossless"},
    };
    // "Custom Format" as H.264 at constant quality, the film's own size and rate, into MP4.
    QSettings custom(home.path() + "/config/Quorlan.conf", QSettings::IniFormat);
    for (const auto& [key, value] : std::vector<std::pair<QString, QString>>{{"Op1", "Custom Format"},
                                                                             {"Op2", "h264"},
                                                                             {"Op3", ""},
                                                                             {"Op7", ""},
                                                                             {"Op8", ""},
                                                                             {"Op4", "aac"},
                                                                             {"Op9", "1"},
                                                                             {"Op13", ".mp4"}})
        custom.setValue("Tarnivo/" + key, value);
    custom.sync();
    QDir().mkpath(sources());
    for (const Source& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " through " + c.profile);
        const QString source = sources() + "/" + c.name;
        const ToolResult made = RunTool("ffmpeg", QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                                                              c.picture, "-f", "lavfi", "-i", "sine=d=1"} +
                                                      c.making + QStringList{source});
        ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        const CliRun result = run({"--profile", c.profile, "--out", out(), source});
        ASSERT_EQ(result.exitCode, 0) << result.output.toStdString() << result.errors.toStdString();
        ASSERT_EQ(outputs().size(), 1);
        const QString output = out() + "/" + outputs().front();

        switch (c.check) {
        case Check::Colours: {
            const std::vector<int> shown = barColours(output);
            const std::vector<int> meant = barColours(source);
            ASSERT_EQ(shown.size(), meant.size());
            ASSERT_EQ(shown.size(), 24u);
            for (size_t i = 0; i < shown.size(); ++i)
                EXPECT_NEAR(shown[i], meant[i], 6) << "bar " << i / 3 << " channel " << i % 3;
            break;
        }
        case Check::NoCombing:
            EXPECT_GT(interlacedShare(source), 0.9);
            EXPECT_LT(interlacedShare(output), 0.05);
            break;
        case Check::AsSharpAsWithoutDeinterlacer: {
            // The same conversion of the same JPEG pictures, straight and without a deinterlacer.
            const QString pictures = home.path() + "/pictures.avi";
            const QString straight = home.path() + "/straight.avi";
            ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-y", "-i", source, "-an", "-c:v", "mjpeg", "-q:v",
                                         "1", pictures})
                          .exitCode,
                      0);
            ASSERT_EQ(RunTool("ffmpeg",
                              {"-v", "error", "-y", "-i", pictures, "-c:v", "libxvid", "-q:v", "2", straight})
                          .exitCode,
                      0);
            const double reference = middlePictureSharpness(straight, source);
            EXPECT_GT(reference, 30);
            EXPECT_GT(middlePictureSharpness(output, source), reference - 1.0);
            break;
        }
        case Check::WholeWithSound:
            EXPECT_NEAR(DecodedDuration(output, "v:0"), 1.0, 0.25);
            EXPECT_EQ(StreamEntry(output, "a:0", "channels"), c.channels);
            break;
        case Check::AsExactAsFfmpegsReverse: {
            // Measured here: 0.2 to 0.8 dB below ffmpeg's own reverse, where reading every film
            // as BT.601 full range lost 3 to 9 dB.
            const QString ffmpegs = home.path() + "/ffmpegs reverse." + QFileInfo(output).suffix();
            ASSERT_EQ(RunTool("ffmpeg", QStringList{"-v", "error", "-y", "-i", source, "-vf", "reverse",
                                                    "-af", "areverse"} +
                                            c.reference + QStringList{ffmpegs})
                          .exitCode,
                      0);
            const double reference = psnrAgainstReversed(ffmpegs, source);
            EXPECT_GT(reference, 35);
            EXPECT_GT(psnrAgainstReversed(output, source), reference - c.within);
            EXPECT_EQ(readingOf(output), readingOf(source));
            break;
        }
        case Check::Size:
            EXPECT_EQ(StreamEntry(output, "v:0", "width") + "x" + StreamEntry(output, "v:0", "height"),
                      c.size);
            EXPECT_NEAR(DecodedDuration(output, "v:0"), 0.4, 0.1);
            break;
        case Check::KeptExactly: {
            // The source's chroma and range, every picture as its frame holds it: the finest
            // frames read back at 55 (H.264) and 59 dB (MJPEG) here, where the other profiles'
            // give 45 and 54.
            QString chroma = StreamEntry(source, "v:0", "pix_fmt");
            chroma.remove("yuvj").remove("yuv");
            EXPECT_EQ(StreamEntry(output, "v:0", "pix_fmt"), "yuv" + chroma);
            EXPECT_EQ(readingOf(output), readingOf(source));
            EXPECT_GT(psnrAgainstReversed(output, source), 54.0);
            break;
        }
        case Check::ToneMapped:
            EXPECT_EQ(StreamEntry(output, "v:0", "color_transfer"), "bt709");
            EXPECT_EQ(StreamEntry(output, "v:0", "color_primaries"), "bt709");
            EXPECT_EQ(StreamEntry(output, "v:0", "color_space"), "bt709");
            break;
        }
    }
}

namespace {

// Every entry below a folder, by its path relative to it: a file's bytes, "<folder>" for a folder.
QMap<QString, QByteArray> contentsBelow(const QString& top)
{
    QMap<QString, QByteArray> contents;
    QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QString name = QDir(top).relativeFilePath(path);
        if (it.fileInfo().isDir())
            contents[name] = "<folder>";
        else if (file.open(QIODevice::ReadOnly))
            contents[name] = file.readAll();
    }
    return contents;
}

}  // namespace

// Tarnivo works only in a working folder of its own and deletes and reads only what it makes
// there. A folder holding the user's files (unmarked, or marked but holding files under the names
// Tarnivo gives its own that no killed job left), a source in it and an output folder in it are
// refused before anything runs, and every file stays as it was. In its own folder, the user's
// other files are left alone and never taken for frames. The tools of an earlier version that
// this build carries too are no reason to say anything, and neither is a relative TEMP.
TEST_F(ReverseCli, TheWorkingFolderHoldsNothingButTarnivosOwnFiles)
{
    const QString source = clip("clip.avi");
    QFile sourceFile(source);
    ASSERT_TRUE(sourceFile.open(QIODevice::ReadOnly));
    const QByteArray clipBytes = sourceFile.readAll();
    const QByteArray frontEnd = contentsBelow(HelperProgramFolder()).value("tarnivo-ffmpeg");
    const QByteArray soxLauncher = contentsBelow(HelperProgramFolder()).value("tarnivo-sox");
    ASSERT_FALSE(frontEnd.isEmpty());
    QFile photoFile(sources() + "/photo.jpg");
    ASSERT_EQ(RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=white:s=160x120", "-frames:v",
                                 "1", photoFile.fileName()})
                  .exitCode,
              0);
    ASSERT_TRUE(photoFile.open(QIODevice::ReadOnly));
    const QByteArray photo = photoFile.readAll();
    const QByteArray marker = "Tarnivo's working folder";
    struct Case {
        const char* what;
        QMap<QString, QByteArray> before;  // below W ("<folder>" makes a folder)
        QString file;                      // the file to reverse
        QString outputFolder;
        QString said;                     // empty when the job is to run as always
        QString tempSetting = QString();  // TEMP when not temp()
    };
    const Case cases[] = {
        {"the user's files",
         {{"notes.doc", "my notes"}, {"000001.jpg", "my photo"}},
         source,
         out(),
         "The working folder " + work() +
             " holds files that are not known to be Tarnivo's: 000001.jpg, "
             "notes.doc."},
        {"a photo that could be a frame",
         {{"000001.jpg", "my photo"}},
         source,
         out(),
         "The working folder " + work() + " holds files that are not known to be Tarnivo's: 000001.jpg."},
        {"an unmarked folder with the user's program, picture and sound",
         {{"ffmpeg.exe", "#!/bin/sh\nexit 3\n"}, {"000001.jpg", photo}, {"audio.wav", "my sound"}},
         source,
         out(),
         "The working folder " + work() +
             " holds files that are not known to be Tarnivo's: 000001.jpg, audio.wav, ffmpeg.exe. "
             "Tarnivo deletes the files it makes in its working folder after every job, so it works only in "
             "a "
             "folder of its own. Please empty " +
             work() + ", or set TEMP to another folder"},
        {"the user's files under Tarnivo's names in its own folder",
         {{kWorkFolderMarkerName, marker},
          {"000123.jpg", photo},
          {"audio.wav", "my sound"},
          {"tvideo.avi", clipBytes},
          {"7.jpg", photo},
          {"Renamed", "<folder>"},
          {"Renamed/image1.jpg", photo}},
         source,
         out(),
         "The working folder " + work() +
             " holds files under the names that Tarnivo gives the files it makes there, which no job that "
             "Tarnivo knows of left: 000123.jpg, audio.wav, Renamed/image1.jpg and 1 more."},
        {"a source",
         {{"clip.avi", clipBytes}},
         work() + "/clip.avi",
         out(),
         work() + "/clip.avi lies in Tarnivo's working folder " + work()},
        {"the output folder",
         {},
         source,
         work(),
         "The output folder " + work() + " lies in Tarnivo's working folder"},
        {"the output folder Renamed",
         {{"Renamed", "<folder>"}},
         source,
         work() + "/Renamed",
         "The output folder " + work() + "/Renamed lies in Tarnivo's working folder"},
        {"the user's pictures and notes in Tarnivo's own folder",
         {{kWorkFolderMarkerName, marker},
          {"7.jpg", photo},
          {"2023.JPG", photo},
          {"0000001.jpg", photo},
          {"12345678.JPG", photo},
          {"000005.JPG", photo},
          {"notes.doc", "my notes"},
          {"Renamed", "<folder>"},
          {"Renamed/IMAGE1.JPG", photo}},
         source,
         out(),
         QString()},
        {"an earlier version's tools, as this build carries them",
         {{"ffmpeg.exe", frontEnd}, {"sox.exe", soxLauncher}, {"Renamed", "<folder>"}},
         source,
         out(),
         QString(),
         "../temp"},  // relative to the folder the job is started in
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QDir(temp()).removeRecursively());
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        ASSERT_TRUE(QDir().mkpath(work()));
        ::chmod(QFile::encodeName(work()).constData(), 0700);
        for (auto entry = c.before.begin(); entry != c.before.end(); ++entry) {
            const QString path = work() + "/" + entry.key();
            if (entry.value() == "<folder>") {
                ASSERT_TRUE(QDir().mkpath(path));
                continue;
            }
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(entry.value());
            file.close();
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        }

        QProcess job;
        prepare(job, {"--out", c.outputFolder, c.file}, c.tempSetting);
        job.start();
        const CliRun result = finish(job);
        const QString said = result.output + result.errors;
        if (c.said.isEmpty()) {
            EXPECT_EQ(result.exitCode, 0) << said.toStdString();
            EXPECT_FALSE(said.contains("working folder")) << said.toStdString();
            EXPECT_EQ(outputs(), QStringList({"clip.avi"}));
            // The source's second of frames and nothing more: no picture of the user's among them.
            EXPECT_NEAR(DecodedDuration(out() + "/clip.avi", "v:0"), 1, 0.1);
            // Everything of the user's stays as it was; Tarnivo's tools and files are gone.
            QMap<QString, QByteArray> expected = c.before;
            expected.remove("ffmpeg.exe");
            expected.remove("sox.exe");
            expected["Renamed"] = "<folder>";
            QMap<QString, QByteArray> after = contentsBelow(work());
            EXPECT_TRUE(after.contains(kWorkFolderMarkerName));
            expected.remove(kWorkFolderMarkerName);
            after.remove(kWorkFolderMarkerName);
            EXPECT_EQ(after.keys(), expected.keys());
            EXPECT_TRUE(after == expected);
        } else {
            EXPECT_EQ(result.exitCode, 1) << said.toStdString();
            EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
            EXPECT_EQ(contentsBelow(work()), c.before);  // not even the marker or a tool was written
            if (c.outputFolder == out()) {
                EXPECT_EQ(outputs(), QStringList());
            }
        }
    }
}

namespace {

// Makes this process the one that orphans below it are given to, for as long as it lives: the
// tools of a killed tarnivo-reverse stay visible as descendants of the test, and the test
// learns how each of them ended.
class OrphansComeHere {
public:
    OrphansComeHere() { m_set = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }
    ~OrphansComeHere()
    {
        collectEnded();
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    bool set() const { return m_set; }

    // The processes below this one, once those that have ended are collected.
    std::vector<ProcessEntry> running()
    {
        collectEnded();
        return DescendantsOf(::getpid(), RunningProcesses());
    }
    // How each orphan collected ended: its exit status, or 128 + the signal that ended it.
    const std::map<pid_t, int>& endings() const { return m_endings; }

private:
    void collectEnded()
    {
        for (const ProcessEntry& entry : DescendantsOf(::getpid(), RunningProcesses())) {
            int status = 0;
            if (entry.parentPid == ::getpid() && ::waitpid(entry.pid, &status, WNOHANG) == entry.pid)
                m_endings[entry.pid] = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        }
    }
    bool m_set = false;
    std::map<pid_t, int> m_endings;
};

QByteArray commandLineOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// Killed outright (as a crash or the out-of-memory killer would), tarnivo-reverse takes every
// tool of its job with it, whether it started it itself or through the batch runner: each is
// killed, none goes on to finish frames or a result for a job that is gone. The next job then
// runs, and removes the hidden file that the killed conversion left in the output folder.
TEST_F(ReverseCli, AKilledJobLeavesNoToolRunning)
{
    const QString longer = clip("longer.avi", 20, 640, 480);
    const QString other = clip("other.avi");
    OrphansComeHere orphans;
    ASSERT_TRUE(orphans.set());
    struct Case {
        const char* when;
        QString tool;             // the program at work: the frame writer (which runs ffmpeg), or ffmpeg
        QByteArray writes;        // what its command line holds
        bool throughBatchRunner;  // whether it is a grandchild, started by the batch runner
    };
    const Case cases[] = {
        {"while its frames are extracted", "tarnivo-frames", "%06d.jpg", true},
        {"while its result is converted", "ffmpeg", out().toUtf8(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        QProcess job;
        prepare(job, {"--out", out(), longer});
        job.start();
        ASSERT_TRUE(job.waitForStarted());
        const pid_t jobPid = static_cast<pid_t>(job.processId());
        pid_t tool = 0;
        auto toolAtWork = [&] {
            const std::vector<ProcessEntry> tools = DescendantsOf(jobPid, RunningProcesses());
            for (const ProcessEntry& entry : tools) {
                const bool startedByRunner =
                    std::any_of(tools.begin(), tools.end(), [&](const ProcessEntry& parent) {
                        return parent.pid == entry.parentPid && parent.name == "tarnivo-batch";
                    });
                if (entry.name == c.tool && startedByRunner == c.throughBatchRunner &&
                    commandLineOf(entry.pid).contains(c.writes))
                    tool = entry.pid;
            }
            return tool != 0;
        };
        // The frame writer is killed once it has written a few frames, in the midst of its work.
        auto framesWritten = [&] { return QDir(work()).entryList({"??????.jpg"}, QDir::Files).size(); };
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return toolAtWork() && (c.tool != "tarnivo-frames" || framesWritten() >= 3); }, 300000));
        ::kill(jobPid, SIGKILL);
        EXPECT_TRUE(job.waitForFinished(60000));
        // A tool that lived on would end in time too, but by finishing its work.
        EXPECT_TRUE(ProcessEventsUntil([&] { return orphans.running().empty(); }, 300000));
        for (const ProcessEntry& entry : orphans.running())
            ADD_FAILURE() << "still running: " << entry.pid << " " << entry.name.toStdString();
        EXPECT_EQ(orphans.endings().count(tool), 1u);
        for (const auto& [pid, ending] : orphans.endings())
            EXPECT_EQ(ending, 128 + SIGKILL) << pid << (pid == tool ? " (the tool at work)" : "");
        // Every frame under a frame's name is a whole JPEG file: a picture cut short by the
        // kill is only ever under the writer's hidden name.
        for (const QString& name : QDir(work()).entryList({"??????.jpg"}, QDir::Files)) {
            QFile frame(work() + "/" + name);
            ASSERT_TRUE(frame.open(QIODevice::ReadOnly));
            const QByteArray bytes = frame.readAll();
            EXPECT_TRUE(bytes.startsWith("\xff\xd8") && bytes.endsWith("\xff\xd9")) << name.toStdString();
        }
    }
    // The killed conversion's hidden file is left, and the frames and tools of the jobs in the
    // working folder; the next job removes them, and works.
    EXPECT_EQ(QDir(out()).entryList({".*.tarnivo-*"}, QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_FALSE(leftInWork().isEmpty());
    EXPECT_EQ(run({"--out", out(), other}).exitCode, 0);
    EXPECT_EQ(outputs(), QStringList({"other.avi"}));
    EXPECT_EQ(leftInWork(), QStringList());
}
