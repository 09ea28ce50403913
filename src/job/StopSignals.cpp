#include "StopSignals.h"

#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// Each handler only writes a byte into its pipe; the loop reads it.
int g_signalPipe[2] = {-1, -1};
int g_terminalStopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void onTerminalStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_terminalStopPipe[1], &byte, 1);
}

void catchTerminalStop()
{
    struct sigaction handler {};
    handler.sa_handler = onTerminalStop;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    ::sigaction(SIGTSTP, &handler, nullptr);
}

// Stops this program as SIGTSTP does by default, and returns once it is continued.
void stopAsTheTerminalWould()
{
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    ::raise(SIGTSTP);
    catchTerminalStop();
}

constexpr int kOutputWatchMs = 500;

// A pipe or socket on standard output whose reader is gone is seen within half a second, not
// only at the next line written there, which may be a whole reversal away.
void watchStandardOutput(QObject* context, const std::function<void()>& action)
{
    struct stat output {};
    if (::fstat(STDOUT_FILENO, &output) != 0 || !(S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode)))
        return;
    auto* watch = new QTimer(context);
    QObject::connect(watch, &QTimer::timeout, context, [watch, action] {
        pollfd output{STDOUT_FILENO, 0, 0};
        if (::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP))) {
            watch->stop();
            action();
        }
    });
    watch->start(kOutputWatchMs);
}

}  // namespace

void OnStopSignals(QObject* context, std::function<void()> action)
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [action] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        action();
    });
    struct sigaction handler {};
    handler.sa_handler = onStopSignal;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(signal, &handler, nullptr);
    ::signal(SIGXFSZ, SIG_IGN);
    watchStandardOutput(context, action);
}

void OnTerminalStop(QObject* context, std::function<void(bool stopping)> pause)
{
    if (g_terminalStopPipe[0] < 0 && ::pipe2(g_terminalStopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_terminalStopPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [pause] {
        char bytes[16];
        while (::read(g_terminalStopPipe[0], bytes, sizeof bytes) > 0) {
        }
        pause(true);
        stopAsTheTerminalWould();
        pause(false);
    });
    catchTerminalStop();
}

}  // namespace tarnivo
