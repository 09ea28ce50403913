#include "ProcessRunner.h"

#include "CommandLine.h"
#include "FileRoutines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace tarnivo {

namespace {

constexpr int kPollMilliseconds = 100;
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

void letEventsRun()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
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
    ChildProcess child = ChildProcess::Start(program, arguments, folder, &errorNumber);
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

ChildProcess::ChildProcess(pid_t pid) : m_pid(pid), m_pidFd(OpenPidFd(pid)) {}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_ended(other.m_ended), m_exitStatus(other.m_exitStatus)
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        release();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidFd = std::exchange(other.m_pidFd, -1);
        m_ended = other.m_ended;
        m_exitStatus = other.m_exitStatus;
    }
    return *this;
}

ChildProcess::~ChildProcess() { release(); }

void ChildProcess::release()
{
    // A process still running is left alone; only our handle on it goes.
    if (m_pidFd >= 0)
        ::close(m_pidFd);
    m_pidFd = -1;
}

ChildProcess ChildProcess::Start(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder, qint32* errorNumber)
{
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The tools' console output is never read: it goes nowhere, and nothing waits on input.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const QByteArray folder = QFile::encodeName(workingFolder);
    if (!workingFolder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

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
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int result =
        posix_spawn(&pid, programPath.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);

    if (result != 0) {
        if (errorNumber)
            *errorNumber = errorNumberForStartFailure(result);
        return ChildProcess();
    }
    return ChildProcess(pid);
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
    if (result < 0)
        m_exitStatus = 0;  // reaped elsewhere: nothing more can be learnt
    else if (WIFEXITED(status))
        m_exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_exitStatus = 128 + WTERMSIG(status);
    return true;
}

bool ChildProcess::hasEnded() { return reap(WNOHANG); }

int ChildProcess::waitLettingEventsRun()
{
    while (!hasEnded()) {
        letEventsRun();
        if (hasEnded())
            break;
        if (m_pidFd >= 0) {
            pollfd readiness{m_pidFd, POLLIN, 0};
            ::poll(&readiness, 1, kPollMilliseconds);
        } else {
            ::usleep(kPollMilliseconds * 1000);
        }
    }
    return m_exitStatus;
}

// --- Runners -----------------------------------------------------------------------------

QString QuoteForCommandLine(const QString& text)
{
    return QString::fromStdString(QuoteArgument(text.toStdString()));
}

int ShellAndWait(const QString& commandLine, int windowStyle)
{
    (void)ClampWindowStyle(windowStyle);
    const std::vector<std::string> parts = SplitCommandLine(commandLine.toStdString());
    if (parts.empty())
        return kFailureBase + kErrorFileNotFound;
    QStringList arguments;
    for (size_t i = 1; i < parts.size(); ++i)
        arguments << QString::fromStdString(parts[i]);

    qint32 errorNumber = 0;
    ChildProcess child =
        ChildProcess::Start(QString::fromStdString(parts.front()), arguments, QString(), &errorNumber);
    if (!child.isValid())
        return kFailureBase + errorNumber;
    return child.waitLettingEventsRun();
}

int ShellExecuteAndWait(const QString& file, int& windowStyle, const QString& currentFolder)
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
    return child.waitLettingEventsRun();
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
    const QString ownFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (QFileInfo(ownFolder + QStringLiteral("/tarnivo-batch")).isExecutable())
        return ownFolder;
#ifdef TARNIVO_HELPER_DIR
    return QStringLiteral(TARNIVO_HELPER_DIR);
#else
    return ownFolder;
#endif
}

QString BatchRunnerPath() { return HelperProgramFolder() + QStringLiteral("/tarnivo-batch"); }

}  // namespace tarnivo
