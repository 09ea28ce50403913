#include "ProgramStart.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// Between its start and its exec the child shares the parent's memory and may only make calls
// that are safe in a signal handler: system calls, no allocation, no locks. It runs on a stack
// that the address sanitizer does not know, so the sanitizer stays out of its code.
#define CHILD_CODE __attribute__((no_sanitize("address")))

[[noreturn]] CHILD_CODE void failInChild(int reportFd, int error)
{
    ssize_t written;
    do {
        written = ::write(reportFd, &error, sizeof error);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

// Gives the child its standard streams. A descriptor of ours that is itself 0, 1 or 2 is
// moved above them first, so that placing one stream cannot overwrite another's source.
CHILD_CODE bool placeStreams(const int (&streams)[3])
{
    int sources[3];
    for (int fd = 0; fd < 3; ++fd) {
        sources[fd] = streams[fd];
        if (sources[fd] >= 0 && sources[fd] < 3 && sources[fd] != fd) {
            sources[fd] = ::fcntl(sources[fd], F_DUPFD, 3);
            if (sources[fd] < 0)
                return false;
        }
    }
    for (int fd = 0; fd < 3; ++fd) {
        if (sources[fd] == ProgramStart::kInherit)
            continue;
        if (sources[fd] == ProgramStart::kNull) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null < 0)
                return false;
            if (null != fd && (::dup2(null, fd) < 0 || ::close(null) < 0))
                return false;
        } else if (sources[fd] == fd) {
            if (::fcntl(fd, F_SETFD, 0) < 0)
                return false;
        } else if (::dup2(sources[fd], fd) < 0) {
            return false;
        }
    }
    return true;
}

CHILD_CODE void restoreDefaultSignals()
{
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP)
            ::sigaction(signal, &byDefault, nullptr);  // numbers the C library keeps for itself fail
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] CHILD_CODE void becomeProgram(const char* program, char* const argv[], const ProgramStart& how,
                                pid_t parent, int reportFd)
{
    if (how.ownProcessGroup && ::setpgid(0, 0) != 0)
        failInChild(reportFd, errno);
    if (!TieToParent(parent))
        failInChild(reportFd, errno);
    restoreDefaultSignals();
    if (!placeStreams(how.streams))
        failInChild(reportFd, errno);
    if (how.inherited >= 0 && ::fcntl(how.inherited, F_SETFD, 0) < 0)
        failInChild(reportFd, errno);
    if (how.folder && ::chdir(how.folder) != 0)
        failInChild(reportFd, errno);
    char* const* environment = how.environment ? how.environment : environ;
    if (how.searchPath)
        ::execvpe(program, argv, environment);
    else
        ::execve(program, argv, environment);
    failInChild(reportFd, errno);
}

constexpr size_t kChildStackBytes = 256 * 1024;

struct ChildStart {
    const char* program;
    char* const* argv;
    const ProgramStart* how;
    pid_t parent;
    int reportRead;
    int reportWrite;
};

CHILD_CODE int childMain(void* argument)
{
    const ChildStart& start = *static_cast<const ChildStart*>(argument);
    ::close(start.reportRead);
    becomeProgram(start.program, start.argv, *start.how, start.parent, start.reportWrite);
}

}  // namespace

pid_t StartTiedToParent(const char* program, char* const argv[], const ProgramStart& how, int* error)
{
    auto fail = [error](int number) {
        if (error)
            *error = number;
        return pid_t(-1);
    };
    // The child tells why it could not become the program through this pipe; it is closed by
    // the exec when all went well.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return fail(errno);

    // No signal handler of ours may run in the child before it has put the defaults back.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    // The child shares our memory until its exec (we wait meanwhile), on a stack of its own:
    // copying the page tables of a large program, as fork does, costs milliseconds a start.
    ChildStart start{program, argv, &how, ::getpid(), report[0], report[1]};
    const std::unique_ptr<char[]> stack(new char[kChildStackBytes]);
    const auto top = reinterpret_cast<std::uintptr_t>(stack.get() + kChildStackBytes) & ~std::uintptr_t(15);
    const pid_t pid =
        ::clone(childMain, reinterpret_cast<void*>(top), CLONE_VM | CLONE_VFORK | SIGCHLD, &start);
    const int startError = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        return fail(startError);
    }

    int childError = 0;
    ssize_t count;
    do {
        count = ::read(report[0], &childError, sizeof childError);
    } while (count < 0 && errno == EINTR);
    ::close(report[0]);
    if (count != static_cast<ssize_t>(sizeof childError))
        return pid;  // the exec closed the pipe: the program runs

    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return fail(childError);
}

CHILD_CODE bool TieToParent(pid_t parent)
{
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return false;
    // The parent may have died before the request was made: then no signal would ever come.
    if (::getppid() != parent)
        ::_exit(128 + SIGKILL);
    return true;
}

}  // namespace tarnivo
