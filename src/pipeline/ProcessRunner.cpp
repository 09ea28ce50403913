#include "ProcessRunner.h"

#include "CommandLine.h"
#include "FileRoutines.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <memory>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <set>
#include <utility>
#include <vector>

extern char** environ;

namespace tarnivo {

namespace {

constexpr qint32 kUnexpectedResultBase = -2147220456;  // kFailureBase + 1048

DocumentOpener& documentOpener()
{
    static DocumentOpener opener;
    return opener;
}

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

// The process groups of the children that run now (each child leads a group of its own).
std::set<pid_t>& runningGroups()
{
    static std::set<pid_t> groups;
    return groups;
}

bool& toolStartsRefused()
{
    static bool refused = false;
    return refused;
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

QString withoutSurroundingQuotes(const QString& file)
{
    if (file.size() >= 2 && file.startsWith(QLatin1Char('"')) && file.endsWith(QLatin1Char('"')))
        return file.mid(1, file.size() - 2);
    return file;
}

QStringList splitParameters(const QString& parameters)
{
    QStringList arguments;
    for (const std::string& argument : SplitCommandLine(parameters.toStdString()))
        arguments << QString::fromStdString(argument);
    return arguments;
}

int shellResultForStartFailure(qint32 errorNumber)
{
    return errorNumber == kErrorFileNotFound ? kShellFileNotFound : kShellAccessDenied;
}

int openDocument(const QString& path)
{
    if (documentOpener())
        return documentOpener()(path) ? kShellSuccess : kShellNoAssociation;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return kShellNoAssociation;
    return QProcess::startDetached(xdgOpen, {path}) ? kShellSuccess : kShellNoAssociation;
}

int startAndKeep(const QString& program, const QStringList& arguments, const QString& folder,
                 ChildProcess* started)
{
    qint32 errorNumber = 0;
    ChildProcess child =
        ChildProcess::Start(program, arguments, folder, &errorNumber,
                            started ? ChildProcess::Output::Keep : ChildProcess::Output::Discard);
    if (!child.isValid())
        return shellResultForStartFailure(errorNumber);
    if (started)
        *started = std::move(child);
    else
        child.waitLettingEventsRun();  // nobody to hand it to: do not leave it unreaped
    return kShellSuccess;
}

int openFile(const QString& file, const QString& parameters, const QString& currentFolder,
             ChildProcess* started)
{
    if (file.isEmpty())
        return kShellFileNotFound;
    QString path = file;
    if (QDir::isRelativePath(path) && !currentFolder.isEmpty())
        path = QDir(currentFolder).filePath(path);
    if (!currentFolder.isEmpty() && !FolderExists(currentFolder))
        return kShellPathNotFound;
    if (!PathExists(path))
        return FolderExists(QFileInfo(path).absolutePath()) ? kShellFileNotFound : kShellPathNotFound;
    if (FolderExists(path))
        return openDocument(path);

    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String("bat"), Qt::CaseInsensitive) == 0) {
        const QString runner = BatchRunnerPath();
        if (!QFileInfo(runner).isExecutable())
            return kShellNoAssociation;
        return startAndKeep(runner, {path}, currentFolder, started);
    }
    if (info.isExecutable())
        return startAndKeep(path, splitParameters(parameters), currentFolder, started);
    if (!info.isReadable())
        return kShellAccessDenied;
    return openDocument(path);
}

}  // namespace

int OpenPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd >= 0 ? static_cast<int>(fd) : -1;
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int ClampWindowStyle(int windowStyle)
{
    return (windowStyle < 0 || windowStyle > 6) ? kDefaultWindowStyle : windowStyle;
}

// --- ChildProcess -----------------------------------------------------------------------

ChildProcess::ChildProcess(pid_t pid, int outputFd, int errorFd)
    : m_pid(pid), m_pidFd(OpenPidFd(pid)), m_outputFd(outputFd), m_errorFd(errorFd)
{
    runningGroups().insert(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_outputFd(std::exchange(other.m_outputFd, -1)), m_errorFd(std::exchange(other.m_errorFd, -1)),
      m_ended(other.m_ended), m_exitStatus(other.m_exitStatus), m_output(std::move(other.m_output)),
      m_errorTail(std::move(other.m_errorTail))
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
                                 const QString& workingFolder, qint32* errorNumber, Output output)
{
    auto fail = [&](qint32 number) {
        if (errorNumber)
            *errorNumber = number;
        return ChildProcess();
    };
    if (toolStartsRefused())
        return fail(kErrorCancelled);
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int actionResult = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == Output::Keep) {
        actionResult |= posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
        actionResult |= posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
    } else {
        // Nobody reads this console output: it goes nowhere.
        actionResult |= posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        actionResult |= posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (descriptorInheritedByTools() >= 0) {
        // A dup2 onto itself clears close-on-exec in the child only.
        const int fd = descriptorInheritedByTools();
        actionResult |= posix_spawn_file_actions_adddup2(&actions, fd, fd);
    }
    const QByteArray folder = QFile::encodeName(workingFolder);
    if (!workingFolder.isEmpty())
        actionResult |= posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaultSignals;
    sigemptyset(&defaultSignals);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD, SIGHUP, SIGQUIT})
        sigaddset(&defaultSignals, signal);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    // A group of its own: a cancel reaches every program it starts, and a Ctrl+C meant for
    // Tarnivo's terminal does not reach the tools behind Tarnivo's back.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    int result = actionResult != 0 ? ENOMEM : 0;
    if (result == 0)
        result = posix_spawn(&pid, programPath.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {outputPipe[1], errorPipe[1]})
        if (fd >= 0)
            ::close(fd);

    if (result != 0) {
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
    runningGroups().erase(m_pid);
    if (result < 0)
        m_exitStatus = kLostExitStatus;  // collected elsewhere: the outcome is unknown, so not a success
    else if (WIFEXITED(status))
        m_exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_exitStatus = 128 + WTERMSIG(status);
    return true;
}

bool ChildProcess::hasEnded() { return reap(WNOHANG); }

void ChildProcess::readAvailableOutput()
{
    if (m_outputFd >= 0 && !readAvailable(m_outputFd, m_output)) {
        ::close(m_outputFd);
        m_outputFd = -1;
    }
    if (m_errorFd >= 0) {
        const bool open = readAvailable(m_errorFd, m_errorTail);
        keepTail(m_errorTail);
        if (!open) {
            ::close(m_errorFd);
            m_errorFd = -1;
        }
    }
}

int ChildProcess::waitLettingEventsRun()
{
    if (hasEnded()) {
        readAvailableOutput();
        return m_exitStatus;
    }
    if (!QCoreApplication::instance() || m_pidFd < 0) {
        // No event loop to serve (or no pidfd): block until the end, still draining the outputs.
        while (!hasEnded()) {
            pollfd fds[2] = {{m_outputFd, POLLIN, 0}, {m_errorFd, POLLIN, 0}};
            ::poll(fds, 2, m_pidFd < 0 ? 100 : -1);
            readAvailableOutput();
        }
        readAvailableOutput();
        return m_exitStatus;
    }
    QEventLoop loop;
    QSocketNotifier ended(m_pidFd, QSocketNotifier::Read);
    QObject::connect(&ended, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    std::vector<std::unique_ptr<QSocketNotifier>> outputs;
    for (const int fd : {m_outputFd, m_errorFd}) {
        if (fd < 0)
            continue;
        outputs.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
        QSocketNotifier* notifier = outputs.back().get();
        QObject::connect(notifier, &QSocketNotifier::activated, [this, notifier, fd] {
            readAvailableOutput();
            if (fd != m_outputFd && fd != m_errorFd)
                notifier->setEnabled(false);  // that stream has ended
        });
    }
    while (!hasEnded())
        loop.exec();
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

int CancelRunningTools()
{
    const std::set<pid_t> groups = runningGroups();
    for (const pid_t group : groups)
        ::kill(-group, SIGTERM);
    if (!groups.empty()) {
        // What has not stopped by then is killed. A group whose leader has been collected may
        // still hold programs it started; the group id stays theirs while any of them lives.
        QTimer::singleShot(kCancelGraceMilliseconds, [groups] {
            for (const pid_t group : groups)
                ::kill(-group, SIGKILL);
        });
    }
    return static_cast<int>(groups.size());
}

void SetDescriptorInheritedByTools(int fd) { descriptorInheritedByTools() = fd; }

void SetToolStartsRefused(bool refused) { toolStartsRefused() = refused; }

ProgramRun RunProgramAndWait(const QString& program, const QStringList& arguments,
                             const QString& workingFolder)
{
    ProgramRun run;
    qint32 errorNumber = 0;
    ChildProcess child =
        ChildProcess::Start(program, arguments, workingFolder, &errorNumber, ChildProcess::Output::Keep);
    if (!child.isValid()) {
        run.exitStatus = kFailureBase + errorNumber;
        return run;
    }
    run.exitStatus = child.waitLettingEventsRun();
    run.output = child.standardOutput();
    run.errorLines = child.lastErrorLines();
    return run;
}

QString LastMeaningfulLine(const QStringList& errorLines)
{
    for (auto line = errorLines.crbegin(); line != errorLines.crend(); ++line) {
        const QString text = line->trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1String("frame=")) ||
            text.startsWith(QLatin1String("size=")) || text.startsWith(QLatin1String("video:")) ||
            text.startsWith(QLatin1String("Press [q]")))
            continue;
        return text;
    }
    return QString();
}

// --- Runners -----------------------------------------------------------------------------

QString QuoteForCommandLine(const QString& text)
{
    return QString::fromStdString(QuoteArgument(text.toStdString()));
}

int ShellAndWait(const QString& commandLine, int windowStyle, QStringList* errorLines)
{
    (void)ClampWindowStyle(windowStyle);
    const std::vector<std::string> parts = SplitCommandLine(commandLine.toStdString());
    if (parts.empty())
        return kFailureBase + kErrorFileNotFound;
    QStringList arguments;
    for (size_t i = 1; i < parts.size(); ++i)
        arguments << QString::fromStdString(parts[i]);

    if (!errorLines) {
        qint32 errorNumber = 0;
        ChildProcess child =
            ChildProcess::Start(QString::fromStdString(parts.front()), arguments, QString(), &errorNumber);
        if (!child.isValid())
            return kFailureBase + errorNumber;
        return child.waitLettingEventsRun();
    }
    const ProgramRun run = RunProgramAndWait(QString::fromStdString(parts.front()), arguments);
    *errorLines = run.errorLines;
    return run.exitStatus;
}

int ShellExecuteAndWait(const QString& file, int& windowStyle, const QString& currentFolder,
                        QStringList* errorLines)
{
    windowStyle = ClampWindowStyle(windowStyle);
    ShellError error;
    ChildProcess child;
    GShell(file, windowStyle, QString(), currentFolder, QStringLiteral("open"), &error, &child);
    if (error.isSet()) {
        // Numbers from the unexpected-result range already hold the failure base.
        return error.number < 0 ? error.number : kFailureBase + error.number;
    }
    if (!child.isValid())
        return 0;  // opened by another program: there is no process of ours to wait for
    const int status = child.waitLettingEventsRun();
    if (errorLines)
        *errorLines = child.lastErrorLines();
    return status;
}

int ShowModeFor(const QString& file, int windowStyle)
{
    return file.toUpper().contains(QLatin1String(".EXE")) ? 0 : windowStyle;
}

ShellError ShellErrorFor(int resultCode)
{
    ShellError error;
    if (resultCode > 32 || resultCode < 0)
        return error;
    error.source = QStringLiteral("Tarnivo.GShell");
    error.number = kUnexpectedResultBase + resultCode;
    switch (resultCode) {
    case 0:
    case 8:
        error.number = 7;
        error.description = QStringLiteral("Out of memory");
        break;
    case 2:
        error.number = 53;
        error.description = QStringLiteral("File not found");
        break;
    case 3:
        error.number = 76;
        error.description = QStringLiteral("Path not found");
        break;
    case 5:
        error.number = 75;
        error.description = QStringLiteral("Path/file access error");
        break;
    case 11:
        error.description = QStringLiteral("The executable file is invalid or corrupt");
        break;
    case 26:
        error.number = 75;
        error.description = QStringLiteral("A sharing violation occurred.");
        break;
    case 27:
        error.description = QStringLiteral("This file type does not have a valid file association.");
        break;
    case 28:
        error.number = 286;
        error.description =
            QStringLiteral("The file could not be opened due to time out. Please try again in a moment.");
        break;
    case 29:
        error.number = 285;
        error.description = QStringLiteral(
            "The file could not be opened because the DDE transaction failed. Please try again in a moment.");
        break;
    case 30:
        error.number = 285;
        error.description = QStringLiteral("The file could not be opened because the target application is "
                                           "busy. Please try again in a moment.");
        break;
    case 31:
        error.description = QStringLiteral("No application is associated with this file type.");
        break;
    case 32:
        error.number = 48;
        error.description = QStringLiteral("The specified dynamic-link library was not found.");
        break;
    default:
        error.description =
            QStringLiteral("An error occurred occurred whilst trying to open or print the selected file.");
        break;
    }
    return error;
}

int GShell(const QString& file, int windowStyle, const QString& parameters, const QString& currentFolder,
           const QString& operation, ShellError* error, ChildProcess* started)
{
    (void)ShowModeFor(file, windowStyle);  // every program here runs without a window
    (void)operation;                       // "open" is the only operation there is
    const int result = openFile(withoutSurroundingQuotes(file), parameters, currentFolder, started);
    if (error)
        *error = ShellErrorFor(result);
    return result;
}

void SetDocumentOpener(DocumentOpener opener) { documentOpener() = std::move(opener); }

QString HelperProgramFolder()
{
    // Beside the program (a build), else in the libexec folder of the program's installation.
    const QString ownFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (QFileInfo(ownFolder + QStringLiteral("/tarnivo-batch")).isExecutable())
        return ownFolder;
    return QDir::cleanPath(ownFolder + QStringLiteral("/../libexec/tarnivo"));
}

QString BatchRunnerPath() { return HelperProgramFolder() + QStringLiteral("/tarnivo-batch"); }

}  // namespace tarnivo
