// Starting outside programs and waiting for them while the application keeps handling its
// events (timer ticks, button presses). Nothing here goes through a shell: command lines are
// split into argument vectors (CommandLine.h) and the program is started directly.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>

namespace tarnivo {

// Base of the negative codes a runner returns when it cannot start its program; the error
// number of the failure is added to it.
constexpr qint32 kFailureBase = -2147221504;
// Error numbers added to kFailureBase.
constexpr qint32 kErrorFileNotFound = 53;
constexpr qint32 kErrorPathFileAccess = 75;
constexpr qint32 kErrorBadCommand = 5;

// Window styles 0..6; anything else becomes 6. There are no console windows here, so the
// style changes nothing about how a program runs, but callers' values are still clamped.
constexpr int kDefaultWindowStyle = 6;
int ClampWindowStyle(int windowStyle);

// A file descriptor that refers to the process for certain (it cannot be reused), or -1 with
// errno set (ENOSYS where the kernel has no pidfds).
int OpenPidFd(pid_t pid);

// A child process started by this program. Waiting polls its end every 100 ms and lets the
// application process its pending events between polls, without keeping a core busy.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts program with arguments (argument 0 is added from program). An empty
    // workingFolder keeps this process's current folder. On failure returns a process that
    // is not valid and sets *errorNumber (one of the kError... numbers above).
    static ChildProcess Start(const QString& program, const QStringList& arguments,
                              const QString& workingFolder, qint32* errorNumber);

    bool isValid() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    bool hasEnded();
    // Waits for the end; returns the exit status (128 + signal number for a program ended by
    // a signal).
    int waitLettingEventsRun();

private:
    explicit ChildProcess(pid_t pid);
    bool reap(int options);
    void release();

    pid_t m_pid = -1;
    int m_pidFd = -1;
    bool m_ended = false;
    int m_exitStatus = 0;
};

// A path or value between double quotes for a command line, escaped so that the splitting
// gives it back exactly (QuoteArgument); an ordinary path comes out as DQ + path + DQ.
QString QuoteForCommandLine(const QString& text);

// Starts a command line (split by SplitCommandLine; the first argument is the program, looked
// up on PATH when it holds no "/") and waits for it. Returns its exit status, or kFailureBase
// plus an error number when it cannot be started.
int ShellAndWait(const QString& commandLine, int windowStyle = kDefaultWindowStyle);

// Opens a file the way the desktop does (GShell, operation "open") with currentFolder as the
// current folder, and waits for the process it started. The caller's windowStyle is clamped
// in place. Returns the exit status, or kFailureBase plus an error number when nothing could
// be started.
int ShellExecuteAndWait(const QString& file, int& windowStyle, const QString& currentFolder);

// The error status GShell leaves for a result code from 0 to 32.
struct ShellError {
    qint32 number = 0;
    QString description;
    QString source;
    bool isSet() const { return number != 0; }
};

// Result codes of GShell: above 32 success, otherwise one of these.
constexpr int kShellSuccess = 42;
constexpr int kShellFileNotFound = 2;
constexpr int kShellPathNotFound = 3;
constexpr int kShellAccessDenied = 5;
constexpr int kShellNoAssociation = 31;

// The show mode GShell uses: hidden (0) for any file whose name holds ".exe" in any letter
// case, otherwise the window style.
int ShowModeFor(const QString& file, int windowStyle);

// The error status for a shell-open result code (unset for codes above 32).
ShellError ShellErrorFor(int resultCode);

// Opens a file. The file may come with or without surrounding double quotes. A ".bat" file is
// run by the batch runner with currentFolder as its current folder; a program file is started
// directly with parameters (split like a command line); a folder or any other document is
// handed to the document opener. When `started` is given, it receives the started process
// (documents are opened by another program and give no process). Returns the result code;
// *error receives the error status.
int GShell(const QString& file, int windowStyle, const QString& parameters, const QString& currentFolder,
           const QString& operation, ShellError* error = nullptr, ChildProcess* started = nullptr);

// What opens folders and documents; returns true when it could. The application installs the
// desktop's opener; without one, "xdg-open" is started.
using DocumentOpener = std::function<bool(const QString& path)>;
void SetDocumentOpener(DocumentOpener opener);

// The folder that holds Tarnivo's helper programs (the batch runner, the ffmpeg front end,
// the sox launcher): the program's own folder, or the build's output folder.
QString HelperProgramFolder();
QString BatchRunnerPath();

}  // namespace tarnivo
