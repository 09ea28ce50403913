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

// Opens the pipe a signal handler writes into (once), and calls action from the event loop
// for every batch of bytes that arrives there; false when the pipe cannot be made.
bool readSignalsFromPipe(int (&signalPipe)[2], QObject* context, const std::function<void()>& action)
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    const int readEnd = signalPipe[0];
    auto* notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [readEnd, action] {
        char bytes[16];
        while (::read(readEnd, bytes, sizeof bytes) > 0) {
        }
        action();
    });
    return true;
}

}  // namespace

void OnStopSignals(QObject* context, std::function<void()> action)
{
    if (!readSignalsFromPipe(g_signalPipe, context, action))
        return;
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
    const auto stop = [pause] {
        pause(true);
        stopAsTheTerminalWould();
        pause(false);
    };
    if (readSignalsFromPipe(g_terminalStopPipe, context, stop))
        catchTerminalStop();
}

}  // namespace tarnivo
