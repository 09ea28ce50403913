// Tarnivo's window. Files and folders named on the command line ("Open With Tarnivo") are put
// into the job list at start-up, in order. SIGINT and SIGTERM close the window as its close
// button does, so a running job is cancelled and cleaned up first.
#include "Form1.h"
#include "ProcessRunner.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSocketNotifier>
#include <QUrl>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The signals reach the event loop through a pipe; the window is closed from there, never from
// inside the signal handler.
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void closeOnStopSignals(QWidget& window)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    tarnivo::SetDocumentOpener(
        [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    tarnivo::Form1 window;
    closeOnStopSignals(window);
    window.AddFilesFromCommandLine(QCoreApplication::arguments().mid(1));
    window.show();
    return application.exec();
}
