// Tarnivo's window. Files and folders named on the command line ("Open With Tarnivo") are put
// into the job list at start-up, in order. SIGINT and SIGTERM close the window as its close
// button does, so a running job is cancelled and cleaned up first.
//
// The command line is read before anything of the window exists: --help and --version answer
// without a display, and an option the program does not know is refused (exit status 2).
#include "DesktopOpener.h"
#include "Form1.h"
#include "JobListStore.h"
#include "ShellOpen.h"
#include "StopSignals.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 2;

const char* const kHelpText =
    "Usage: tarnivo [options] [FILE...]\n"
    "Opens Tarnivo's window, which makes videos play backwards: collect video files in the job\n"
    "list, pick an output profile and an output folder, and press \"Start Converting\".\n"
    "\n"
    "Every FILE is put into the job list in the order given; a FILE that is a folder brings all\n"
    "its files, those of its sub-folders included. tarnivo-reverse runs the same job without a\n"
    "window.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Displays help on commandline options.\n"
    "  -v, --version  Displays version information.\n"
    "  --             Ends the options: every argument after it is a FILE.\n";

struct CommandLine {
    enum class Request { Window, Help, Version, Refused };
    Request request = Request::Window;
    QStringList files;
    QString refusedOption;
};

// Options come before "--"; a lone "-" is a file's name. Help and version win over the rest,
// an unknown option over both.
CommandLine readCommandLine(int argc, char** argv)
{
    CommandLine line;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (optionsEnded || argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-'))) {
            line.files << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            help = true;
        } else if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            version = true;
        } else if (line.refusedOption.isEmpty()) {
            line.refusedOption = argument;
        }
    }
    using Request = CommandLine::Request;
    line.request = !line.refusedOption.isEmpty() ? Request::Refused
                   : help                        ? Request::Help
                   : version                     ? Request::Version
                                                 : Request::Window;
    return line;
}

// Answers a request that needs no window; returns the exit status, or -1 for the window.
int answerWithoutWindow(const CommandLine& line)
{
    switch (line.request) {
    case CommandLine::Request::Help:
        std::fputs(kHelpText, stdout);
        return kExitSuccess;
    case CommandLine::Request::Version:
        std::printf("tarnivo %s\n", TARNIVO_VERSION);
        return kExitSuccess;
    case CommandLine::Request::Refused:
        std::fprintf(stderr, "tarnivo: unknown option '%s' (see --help)\n",
                     line.refusedOption.toLocal8Bit().constData());
        return kExitUsage;
    case CommandLine::Request::Window:
        break;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine line = readCommandLine(argc, argv);
    if (const int status = answerWithoutWindow(line); status >= 0)
        return status;

    // Qt sees only the program's name: a file named like one of Qt's own options ("-style",
    // "-reverse") after "--" is a file, and Qt's settings come from its environment variables.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    // The window belongs to the desktop entry of this name (docks group them, Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorlan.tarnivo"));
    tarnivo::SetDocumentOpener([](const QString& path) { return tarnivo::OpenWithDesktop(path); });
    tarnivo::Form1 window;
    tarnivo::OnStopSignals(&window, [&window] { window.close(); });
    window.show();
    window.KeepJobList(tarnivo::SavedJobListFile());
    window.AddFilesFromCommandLine(line.files);
    return application.exec();
}
