// A child process started directly (no shell), in a process group of its own and ending with
// Tarnivo (ProgramStart.h), and the set of running tools that one owner (the job, the engine)
// started and can cancel.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <set>
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

// The exit status reported when a child's status could not be collected: a failure, never 0.
constexpr int kLostExitStatus = -1;

// How many of the last lines a child wrote to standard error are kept.
constexpr int kKeptErrorLines = 20;

class RunningTools;

// Hears what one owner's tools do: each start, and each line a tool writes to standard error
// (ffmpeg ends its progress lines with CR, other lines with LF). Lines are heard from the
// tools whose standard error is kept (ChildProcess::Output::Keep).
struct ToolListener {
    std::function<void(const QString& program, const QStringList& arguments)> started;
    std::function<void(const QString& line)> errorLine;
};

// A child process in a process group of its own, so that a cancel reaches everything it
// started in turn. Destroying a ChildProcess whose program still runs kills its group and
// reaps it: no child is ever left behind unaccounted for.
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

    // Starts program with arguments (argument 0 is added from program; a program without a "/"
    // is looked up on PATH). An empty workingFolder keeps this process's current folder; a
    // folder that cannot be entered is a start failure. With Output::Keep, standard output is
    // collected whole and the last lines of standard error are kept. environment holds
    // "NAME=value" entries that the child gets on top of this process's environment. On failure
    // returns a process that is not valid and sets *errorNumber (one of the kError... numbers
    // above).
    static ChildProcess Start(const QString& program, const QStringList& arguments,
                              const QString& workingFolder, qint32* errorNumber,
                              Output output = Output::Discard, const QStringList& environment = {});

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
    friend class RunningTools;

    explicit ChildProcess(pid_t pid, int outputFd, int errorFd);
    bool reap(int options);
    void readAvailableOutput();
    void tellErrorLines(const QByteArray& written);
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
    // The owner's set of running groups, while the owner lives; the child leaves it when it is
    // collected.
    std::weak_ptr<std::set<pid_t>> m_ownerGroups;
    // The owner's listener, while the owner has one; and a line it has not ended yet.
    std::weak_ptr<ToolListener> m_listener;
    QByteArray m_unendedLine;
};

// The tools one owner started and that are still running. Cancel asks them to stop; while
// starts are refused (a cancelled job winding down), Start runs nothing. Children may outlive
// their owner (a wait that is still under way when the owner goes): they then simply belong to
// nobody.
class RunningTools {
public:
    RunningTools();

    // ChildProcess::Start, the child belonging to these tools; fails with kErrorCancelled while
    // starts are refused.
    ChildProcess Start(const QString& program, const QStringList& arguments, const QString& workingFolder,
                       qint32* errorNumber, ChildProcess::Output output = ChildProcess::Output::Discard,
                       const QStringList& environment = {});

    // Asks every running tool (each a process group) to stop with SIGTERM, and kills with
    // SIGKILL what is left of those groups after the grace period. Returns how many groups
    // were asked.
    int Cancel();

    void SetStartsRefused(bool refused) { m_startsRefused = refused; }

    // From now on the tools started are heard by listener (none with an empty one).
    void SetListener(ToolListener listener);

private:
    std::shared_ptr<std::set<pid_t>> m_groups;
    std::shared_ptr<ToolListener> m_listener;
    bool m_startsRefused = false;
};
constexpr int kCancelGraceMilliseconds = 3000;

// A descriptor (or -1 for none) that every program started from now on inherits, for a lock
// that must stay held while any tool of a job runs. Everything else is closed on exec.
void SetDescriptorInheritedByTools(int fd);

}  // namespace tarnivo
