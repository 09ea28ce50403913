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
constexpr qint32 kErrorPathNotFound = 76;
constexpr qint32 kErrorCancelled = 18;  // no program is started while a cancelled job winds down

// Window styles 0..6; anything else becomes 6. There are no console windows here, so the
// style changes nothing about how a program runs, but callers' values are still clamped.
constexpr int kDefaultWindowStyle = 6;
int ClampWindowStyle(int windowStyle);

// A file descriptor that refers to the process for certain (it cannot be reused), or -1 with
// errno set (ENOSYS where the kernel has no pidfds).
int OpenPidFd(pid_t pid);

// The exit status reported when a child's status could not be collected: a failure, never 0.
constexpr int kLostExitStatus = -1;

// How many of the last lines a child wrote to standard error are kept.
constexpr int kKeptErrorLines = 20;

// A child process started by this program, in a process group of its own, so that a cancel
// reaches everything it started in turn. While it runs it is one of the running tools that
// CancelRunningTools() ends. Destroying a ChildProcess whose program still runs kills its
// group and reaps it: no child is ever left behind unaccounted for.
class ChildProcess {
public:
    // What to do with the child's standard output and standard error (standard input is
    // always /dev/null).
    enum class Output { Discard, Keep };

    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts program with arguments (argument 0 is added from program). An empty
    // workingFolder keeps this process's current folder; a folder that cannot be entered is a
    // start failure. With Output::Keep, standard output is collected whole and the last lines
    // of standard error are kept. On failure returns a process that is not valid and sets
    // *errorNumber (one of the kError... numbers above).
    static ChildProcess Start(const QString& program, const QStringList& arguments,
                              const QString& workingFolder, qint32* errorNumber,
                              Output output = Output::Discard);

    bool isValid() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    bool hasEnded();
    // The one wait for a child: an event loop woken when the process ends (and when it writes
    // to a kept output), so the application handles its events at once and nothing polls.
    // Returns the exit status: 128 + signal number for a program ended by a signal,
    // kLostExitStatus when the status could not be collected.
    int waitLettingEventsRun();

    // What it wrote, when started with Output::Keep.
    const QByteArray& standardOutput() const { return m_output; }
    QStringList lastErrorLines() const;

private:
    explicit ChildProcess(pid_t pid, int outputFd, int errorFd);
    bool reap(int options);
    void readAvailableOutput();
    void closeOutputs();
    void killAndReap();
    void release();

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_outputFd = -1;
    int m_errorFd = -1;
    bool m_ended = false;
    int m_exitStatus = 0;
    QByteArray m_output;
    QByteArray m_errorTail;
};

// Asks every running tool (every child process group of this program) to stop with SIGTERM,
// and kills with SIGKILL what is left of those groups after three seconds. Returns how many
// groups were asked.
int CancelRunningTools();
constexpr int kCancelGraceMilliseconds = 3000;

// A descriptor (or -1 for none) that every program started from now on inherits, for a lock
// that must stay held while any tool of a job runs. Everything else is closed on exec.
void SetDescriptorInheritedByTools(int fd);

// While refused, no program is started (ChildProcess::Start fails with kErrorCancelled): a
// cancelled job's remaining steps then run nothing.
void SetToolStartsRefused(bool refused);

// What a program run by RunProgramAndWait did.
struct ProgramRun {
    int exitStatus = 0;      // or kFailureBase + error number when it could not be started
    QByteArray output;       // standard output
    QStringList errorLines;  // the last lines of standard error
};

// Starts a program with an argument vector (no command line, no shell) and waits for it.
ProgramRun RunProgramAndWait(const QString& program, const QStringList& arguments,
                             const QString& workingFolder = QString());

// The last line of a tool's standard error that says something: progress lines ("frame=",
// "size=") and blank lines are passed over. Empty when there is none.
QString LastMeaningfulLine(const QStringList& errorLines);

// A path or value between double quotes for a command line, escaped so that the splitting
// gives it back exactly (QuoteArgument); an ordinary path comes out as DQ + path + DQ.
QString QuoteForCommandLine(const QString& text);

// Starts a command line (split by SplitCommandLine; the first argument is the program, looked
// up on PATH when it holds no "/") and waits for it. Returns its exit status, or kFailureBase
// plus an error number when it cannot be started. When errorLines is given it receives the
// last lines the program wrote to standard error.
int ShellAndWait(const QString& commandLine, int windowStyle = kDefaultWindowStyle,
                 QStringList* errorLines = nullptr);

// Opens a file the way the desktop does (GShell, operation "open") with currentFolder as the
// current folder, and waits for the process it started. The caller's windowStyle is clamped
// in place. Returns the exit status, or kFailureBase plus an error number when nothing could
// be started. When errorLines is given it receives the last lines that the started process
// (a batch file's programs included) wrote to standard error.
int ShellExecuteAndWait(const QString& file, int& windowStyle, const QString& currentFolder,
                        QStringList* errorLines = nullptr);

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
