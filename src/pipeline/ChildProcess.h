// A child process started directly (no shell), in a process group of its own and ending with
// Tarnivo (ProgramStart.h), and the set of running tools that one owner (the job, the engine)
// started and can cancel. ToolRun.h watches a child from the event loop.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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
    // Collects the child's status when it has ended; true from then on.
    bool hasEnded();
    // The exit status once it has ended: 128 + signal number for a program ended by a signal,
    // kLostExitStatus when the status could not be collected.
    int exitStatus() const { return m_exitStatus; }
    // Blocks until the child has ended, reading its kept outputs meanwhile; returns its exit
    // status. Nothing else runs during the wait: callers in an event loop use ToolRun instead.
    int waitBlocking();

    // A descriptor that becomes readable when the child ends (-1 where the kernel has none),
    // and those of its kept outputs (-1 when not kept or at their end).
    int endDescriptor() const { return m_pidFd; }
    int outputDescriptor() const { return m_outputFd; }
    int errorDescriptor() const { return m_errorFd; }
    // Reads what the kept outputs hold now; returns what standard error gained.
    QByteArray readAvailableOutput();

    // What it wrote, when started with Output::Keep.
    const QByteArray& standardOutput() const { return m_output; }
    QStringList lastErrorLines() const;

private:
    friend class RunningTools;

    explicit ChildProcess(pid_t pid, int outputFd, int errorFd);
    bool reap(int options);
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
};

// The tools one owner started and that are still running. Cancel asks them to stop; while
// starts are refused (a cancelled job winding down), Start runs nothing. Children may outlive
// their owner: they then simply belong to nobody.
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

    // Stops and continues every running tool's group (SIGSTOP, SIGCONT); a tool started while
    // they are stopped is stopped as it starts.
    void Pause(bool paused);

    void SetStartsRefused(bool refused) { m_startsRefused = refused; }

private:
    std::shared_ptr<std::set<pid_t>> m_groups;
    bool m_startsRefused = false;
    bool m_paused = false;
};
constexpr int kCancelGraceMilliseconds = 3000;

// Asks one group to stop with SIGTERM and kills what is left of it after the grace period.
void StopGroup(pid_t group);

// A descriptor (or -1 for none) that every program started from now on inherits, for a lock
// that must stay held while any tool of a job runs. Everything else is closed on exec.
void SetDescriptorInheritedByTools(int fd);

}  // namespace tarnivo
