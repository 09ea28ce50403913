#include "ChildProcess.h"

#include "FileRoutines.h"
#include "ProgramStart.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarnivo {

namespace {

// The program to start for a command line's first argument: as given when it holds a "/",
// otherwise looked up on PATH.
QString resolveProgram(const QString& program)
{
    if (program.contains(QLatin1Char('/')))
        return program;
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

qint32 errorNumberForStartFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case ENOEXEC:
        return kErrorPathFileAccess;
    default:
        return kErrorBadCommand;
    }
}

// This process's environment with the entries of additions ("NAME=value") in place of the
// same names' own.
std::vector<QByteArray> environmentWith(const QStringList& additions)
{
    std::vector<QByteArray> entries;
    auto nameOf = [](const QByteArray& entry) { return entry.left(entry.indexOf('=') + 1); };
    std::vector<QByteArray> added;
    for (const QString& addition : additions)
        added.push_back(QFile::encodeName(addition));
    for (char** entry = environ; *entry; ++entry) {
        const QByteArray own(*entry);
        const bool replaced = std::any_of(added.begin(), added.end(), [&](const QByteArray& addition) {
            return nameOf(addition) == nameOf(own);
        });
        if (!replaced)
            entries.push_back(own);
    }
    entries.insert(entries.end(), added.begin(), added.end());
    return entries;
}

int& descriptorInheritedByTools()
{
    static int fd = -1;
    return fd;
}

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Reads what is there without blocking; false at the end of the stream (or an error).
bool readAvailable(int fd, QByteArray& into)
{
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<int>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

// Keeps only the end of a tool's standard error: enough for its last lines.
constexpr int kKeptErrorBytes = 16384;
void keepTail(QByteArray& tail)
{
    if (tail.size() > 2 * kKeptErrorBytes)
        tail = tail.right(kKeptErrorBytes);
}

// A file descriptor that refers to the process for certain (it cannot be reused), or -1 where
// the kernel has no pidfds.
int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd >= 0 ? static_cast<int>(fd) : -1;
#else
    (void)pid;
    return -1;
#endif
}

}  // namespace

ChildProcess::ChildProcess(pid_t pid, int outputFd, int errorFd)
    : m_pid(pid), m_pidFd(openPidFd(pid)), m_outputFd(outputFd), m_errorFd(errorFd)
{
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_outputFd(std::exchange(other.m_outputFd, -1)), m_errorFd(std::exchange(other.m_errorFd, -1)),
      m_ended(other.m_ended), m_exitStatus(other.m_exitStatus), m_output(std::move(other.m_output)),
      m_errorTail(std::move(other.m_errorTail)), m_ownerGroups(std::move(other.m_ownerGroups))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        release();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidFd = std::exchange(other.m_pidFd, -1);
        m_outputFd = std::exchange(other.m_outputFd, -1);
        m_errorFd = std::exchange(other.m_errorFd, -1);
        m_ended = other.m_ended;
        m_exitStatus = other.m_exitStatus;
        m_output = std::move(other.m_output);
        m_errorTail = std::move(other.m_errorTail);
        m_ownerGroups = std::move(other.m_ownerGroups);
    }
    return *this;
}

ChildProcess::~ChildProcess() { release(); }

void ChildProcess::release()
{
    if (m_pid > 0 && !m_ended)
        killAndReap();
    closeOutputs();
    if (m_pidFd >= 0)
        ::close(m_pidFd);
    m_pidFd = -1;
    m_pid = -1;
}

// The owner goes while the program runs: end the whole group and collect the status, so that
// nothing keeps running unseen and no zombie is left.
void ChildProcess::killAndReap()
{
    ::kill(-m_pid, SIGKILL);
    reap(0);
}

void ChildProcess::closeOutputs()
{
    for (int* fd : {&m_outputFd, &m_errorFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

ChildProcess ChildProcess::Start(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder, qint32* errorNumber, Output output,
                                 const QStringList& environment)
{
    auto fail = [&](qint32 number) {
        if (errorNumber)
            *errorNumber = number;
        return ChildProcess();
    };
    if (!workingFolder.isEmpty() && !FolderExists(workingFolder))
        return fail(kErrorPathNotFound);

    const QByteArray programPath = QFile::encodeName(resolveProgram(program));
    std::vector<QByteArray> storage;
    storage.reserve(static_cast<size_t>(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments)
        storage.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int outputPipe[2] = {-1, -1};
    int errorPipe[2] = {-1, -1};
    if (output == Output::Keep &&
        (::pipe2(outputPipe, O_CLOEXEC) != 0 || ::pipe2(errorPipe, O_CLOEXEC) != 0)) {
        for (const int fd : {outputPipe[0], outputPipe[1], errorPipe[0], errorPipe[1]})
            if (fd >= 0)
                ::close(fd);
        return fail(kErrorBadCommand);
    }

    ProgramStart how;
    how.streams[0] = ProgramStart::kNull;
    // Nobody reads the console output of a program started with Output::Discard: it goes nowhere.
    how.streams[1] = output == Output::Keep ? outputPipe[1] : ProgramStart::kNull;
    how.streams[2] = output == Output::Keep ? errorPipe[1] : ProgramStart::kNull;
    how.inherited = descriptorInheritedByTools();
    std::vector<QByteArray> environmentStorage;
    std::vector<char*> environmentPointers;
    if (!environment.isEmpty()) {
        environmentStorage = environmentWith(environment);
        for (QByteArray& entry : environmentStorage)
            environmentPointers.push_back(entry.data());
        environmentPointers.push_back(nullptr);
        how.environment = environmentPointers.data();
    }
    const QByteArray folder = QFile::encodeName(workingFolder);
    if (!workingFolder.isEmpty())
        how.folder = folder.constData();
    // A group of its own: a cancel reaches every program it starts, and a Ctrl+C meant for
    // Tarnivo's terminal does not reach the tools behind Tarnivo's back.
    how.ownProcessGroup = true;

    int result = 0;
    const pid_t pid = StartTiedToParent(programPath.constData(), argv.data(), how, &result);
    for (const int fd : {outputPipe[1], errorPipe[1]})
        if (fd >= 0)
            ::close(fd);

    if (pid < 0) {
        for (const int fd : {outputPipe[0], errorPipe[0]})
            if (fd >= 0)
                ::close(fd);
        return fail(errorNumberForStartFailure(result));
    }
    for (const int fd : {outputPipe[0], errorPipe[0]})
        if (fd >= 0)
            setNonBlocking(fd);
    return ChildProcess(pid, outputPipe[0], errorPipe[0]);
}

bool ChildProcess::reap(int options)
{
    if (m_ended || m_pid <= 0)
        return true;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(m_pid, &status, options);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return false;
    m_ended = true;
    if (const auto ownerGroups = m_ownerGroups.lock())
        ownerGroups->erase(m_pid);
    if (result < 0)
        m_exitStatus = kLostExitStatus;  // collected elsewhere: the outcome is unknown, so not a success
    else if (WIFEXITED(status))
        m_exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_exitStatus = 128 + WTERMSIG(status);
    return true;
}

bool ChildProcess::hasEnded() { return reap(WNOHANG); }

QByteArray ChildProcess::readAvailableOutput()
{
    if (m_outputFd >= 0 && !readAvailable(m_outputFd, m_output)) {
        ::close(m_outputFd);
        m_outputFd = -1;
    }
    QByteArray gained;
    if (m_errorFd >= 0) {
        const bool open = readAvailable(m_errorFd, gained);
        m_errorTail += gained;
        keepTail(m_errorTail);
        if (!open) {
            ::close(m_errorFd);
            m_errorFd = -1;
        }
    }
    return gained;
}

int ChildProcess::waitBlocking()
{
    while (!hasEnded()) {
        pollfd fds[3] = {{m_pidFd, POLLIN, 0}, {m_outputFd, POLLIN, 0}, {m_errorFd, POLLIN, 0}};
        // Without a pidfd the end is noticed by looking again every 100 ms.
        ::poll(fds, 3, m_pidFd < 0 ? 100 : -1);
        readAvailableOutput();
    }
    readAvailableOutput();
    return m_exitStatus;
}

QStringList ChildProcess::lastErrorLines() const
{
    const QString text = QString::fromUtf8(m_errorTail);
    QStringList lines = text.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts);
    if (lines.size() > kKeptErrorLines)
        lines = lines.mid(lines.size() - kKeptErrorLines);
    return lines;
}

RunningTools::RunningTools() : m_groups(std::make_shared<std::set<pid_t>>()) {}

ChildProcess RunningTools::Start(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder, qint32* errorNumber,
                                 ChildProcess::Output output, const QStringList& environment)
{
    if (m_startsRefused) {
        if (errorNumber)
            *errorNumber = kErrorCancelled;
        return ChildProcess();
    }
    ChildProcess child =
        ChildProcess::Start(program, arguments, workingFolder, errorNumber, output, environment);
    if (child.isValid()) {
        m_groups->insert(child.pid());
        child.m_ownerGroups = m_groups;
        if (m_paused)
            ::kill(-child.pid(), SIGSTOP);
    }
    return child;
}

int RunningTools::Cancel()
{
    const std::set<pid_t> groups = *m_groups;
    for (const pid_t group : groups)
        StopGroup(group);
    return static_cast<int>(groups.size());
}

void RunningTools::Pause(bool paused)
{
    m_paused = paused;
    for (const pid_t group : *m_groups)
        ::kill(-group, paused ? SIGSTOP : SIGCONT);
}

void StopGroup(pid_t group)
{
    ::kill(-group, SIGCONT);  // a paused tool could not stop
    ::kill(-group, SIGTERM);
    // What has not stopped by then is killed. A group whose leader has been collected may still
    // hold programs it started; the group id stays theirs while any of them lives.
    QTimer::singleShot(kCancelGraceMilliseconds, [group] { ::kill(-group, SIGKILL); });
}

void SetDescriptorInheritedByTools(int fd) { descriptorInheritedByTools() = fd; }

}  // namespace tarnivo
