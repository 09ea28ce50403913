// tarnivo-reverse: reverses video files from the command line with the same job as the window.
//
//   tarnivo-reverse [--profile ID|NAME] [--out FOLDER] [--quiet] FILE...
//
// Exit status: 0 when every file gave its output, 1 when any failed or the job was cancelled
// (SIGINT, SIGTERM) or could not start, 2 for bad usage.
#include "AVC.h"
#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobProgress.h"
#include "MessageSink.h"
#include "ProfileCatalogue.h"
#include "ReverseJob.h"
#include "SettingsStore.h"
#include "StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace tarnivo;

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// The width of the terminal on standard error; 0 when unknown.
int terminalColumns()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// "[1/3] reversing 42 % (frames), 134 fps, 0:05 elapsed, 0:40 left"
QString progressLine(const JobProgress& progress)
{
    QString line = QStringLiteral("[%1/%2] %3 %4 %")
                       .arg(progress.file)
                       .arg(progress.fileCount)
                       .arg(PhaseName(progress.step))
                       .arg(static_cast<int>(progress.phaseFraction * 100));
    if (progress.step != JobStep::Converting)
        line += QStringLiteral(" (%1)").arg(StepName(progress.step));
    if (progress.framesPerSecond > 0)
        line += QStringLiteral(", %1 fps").arg(qRound(progress.framesPerSecond));
    line += QStringLiteral(", %1 elapsed").arg(ClockText(progress.elapsedMs));
    if (progress.jobLeftMs >= 0)
        line += QStringLiteral(", %1 left").arg(ClockText(progress.jobLeftMs));
    return line;
}

// Messages on standard output and error, and the job's progress as one line on standard error
// that is rewritten in place, only when standard error is a terminal. Quiet, only problems
// are told.
class TerminalFace : public MessageSink {
public:
    void ShowMessage(const QString& text) override
    {
        ClearProgress();
        printLine(stdout, text);
    }
    void ShowErrorReport(const QString& text) override
    {
        ClearProgress();
        printLine(stderr, QStringLiteral("Application Error: ") +
                              QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    }
    void ShowWarning(const QString& title, const QString& text) override
    {
        ClearProgress();
        printLine(stderr, title + QStringLiteral(": ") + text);
    }
    void ShowProgress(const JobProgress& progress)
    {
        if (!m_terminal || quiet || progress.file == 0 || progress.jobOver)
            return;
        QString line = progressLine(progress);
        if (const int columns = terminalColumns(); columns > 1 && line.size() >= columns)
            line.truncate(columns - 1);  // a wrapped line could not be rewritten in place
        std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
        std::fflush(stderr);
        m_progressShown = true;
    }

    void Say(const QString& text)
    {
        if (quiet)
            return;
        ClearProgress();
        printLine(stdout, text);
    }
    void Complain(const QString& text)
    {
        ClearProgress();
        printLine(stderr, text);
    }

private:
    void ClearProgress()
    {
        if (!m_progressShown)
            return;
        std::fprintf(stderr, "\r\033[K");
        m_progressShown = false;
    }

    const bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    bool m_progressShown = false;

public:
    bool quiet = false;
};

class FileList : public JobListSource {
public:
    explicit FileList(QStringList files) : m_files(std::move(files)) {}
    int RowCount() const override { return static_cast<int>(m_files.size()); }
    QString RowText(int row) const override { return m_files.value(row - 1); }

private:
    QStringList m_files;
};

class FixedChoices : public JobChoices {
public:
    explicit FixedChoices(StoredChoices choices) : m_choices(std::move(choices)) {}
    QString OutputFolderText() const override { return m_choices.outputFolder; }
    QString ProfileName() const override { return m_choices.profileName; }
    CustomFormatValues CustomValues() const override { return m_choices.custom; }

private:
    StoredChoices m_choices;
};

struct Usage {
    QStringList files;
    QStringList refused;  // files in the folders given whose names cannot be handed on, escaped
    StoredChoices choices;
};

QString helpText()
{
    return QStringLiteral(
        "Makes videos play backwards. Every FILE is split into frames, reversed with its sound, and\n"
        "converted into the chosen output profile in the output folder. An existing file is never\n"
        "overwritten: the output is named after the file, with a number added when the name is taken.\n"
        "\n"
        "A profile is named by its short id (mp4, webm, avi-xvid, ...) or by its full name;\n"
        "--list-profiles prints both.\n"
        "\n"
        "The profile and the output folder default to the ones last chosen in Tarnivo's window\n"
        "(\"AVI (MPEG4-XviD-Best Quality)\" and the desktop folder, else the videos folder, else the\n"
        "home folder on a first start); \"Custom Format\" uses the custom settings last chosen there.\n"
        "\n"
        "The work is done in $TEMP/temp; when TEMP is not set, in $XDG_CACHE_HOME/tarnivo/temp\n"
        "(~/.cache/tarnivo/temp), on disk: a film's frames can need gigabytes. One job at a time\n"
        "uses a working folder; give each job its own TEMP to run several side by side. Tarnivo\n"
        "works only in a working folder of its own (marked by tarnivo-working-folder.txt) and\n"
        "deletes only the files it made there.\n"
        "\n"
        "A FILE that is a folder brings all its files, those of its sub-folders included, in name\n"
        "order. While the job runs, a line on the terminal tells the file, the step, how far it\n"
        "is, the speed, the time spent and the time left.\n"
        "\n"
        "Exit status: 0 when every file gave its output, 1 when a file failed or the job was\n"
        "cancelled (Ctrl+C), 2 for bad usage.");
}

QString usageProblem(const QString& text) { return QStringLiteral("tarnivo-reverse: ") + text; }

// The files to reverse: each FILE as given, a folder replaced by its files. A folder that
// brings no file is named in *emptyFolders, a file in it whose name is not UTF-8 in *refused.
QStringList filesToReverse(const QStringList& arguments, QStringList* emptyFolders, QStringList* refused)
{
    QStringList files;
    for (const QString& argument : arguments) {
        if (FolderExists(argument)) {
            const int refusedBefore = static_cast<int>(refused->size());
            const QStringList found = FilesOfFolderTree(
                QDir::cleanPath(QDir::current().absoluteFilePath(argument)), QStringLiteral("*.*"), refused);
            if (found.isEmpty() && refused->size() == refusedBefore)
                *emptyFolders << argument;
            files << found;
        } else {
            files << argument;
        }
    }
    return files;
}

// Every profile's id and name, one a line, the names aligned.
void listProfiles(TerminalFace& face)
{
    int width = 0;
    for (const std::string& name : ProfileNames())
        width = std::max(width, static_cast<int>(ProfileId(name).size()));
    for (const std::string& name : ProfileNames())
        face.Say(QString::fromStdString(ProfileId(name)).leftJustified(width + 2) +
                 QString::fromStdString(name));
}

// Reads the command line; on bad usage prints why and returns the exit status through *exit.
bool readUsage(QCoreApplication& application, TerminalFace& face, Usage& usage, int* exit)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(helpText());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption profile(
        QStringList{QStringLiteral("p"), QStringLiteral("profile")},
        QStringLiteral("The output profile: its id or its full name (see --list-profiles)."),
        QStringLiteral("ID|NAME"));
    const QCommandLineOption out(QStringList{QStringLiteral("o"), QStringLiteral("out")},
                                 QStringLiteral("The folder the outputs are written to."),
                                 QStringLiteral("FOLDER"));
    const QCommandLineOption list(QStringLiteral("list-profiles"),
                                  QStringLiteral("Print each profile's id and name, and exit."));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print only problems and failed files."));
    parser.addOptions({profile, out, list, quiet});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The videos to reverse."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(application.arguments())) {
        face.Complain(usageProblem(parser.errorText()));
        *exit = kExitUsage;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        face.Say(parser.helpText().trimmed());
        *exit = kExitSuccess;
        return false;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        face.Say(QStringLiteral("tarnivo-reverse ") + QCoreApplication::applicationVersion());
        *exit = kExitSuccess;
        return false;
    }
    if (parser.isSet(list)) {
        listProfiles(face);
        *exit = kExitSuccess;
        return false;
    }

    face.quiet = parser.isSet(quiet);
    usage.choices = ReadStoredChoices();
    const QString asked = parser.isSet(profile) ? parser.value(profile) : usage.choices.profileName;
    usage.choices.profileName = QString::fromStdString(ProfileNameFor(asked.toStdString()));
    const QString outputFolder = parser.isSet(out) ? parser.value(out) : usage.choices.outputFolder;
    usage.choices.outputFolder = QDir::current().absoluteFilePath(outputFolder);
    for (const QString& notice :
         NoticesOfChoicesUsed(usage.choices, parser.isSet(out), parser.isSet(profile)))
        face.Complain(usageProblem(notice));

    *exit = kExitUsage;
    if (usage.choices.profileName.isEmpty()) {
        face.Complain(usageProblem(
            QStringLiteral("unknown profile '%1' (see --list-profiles)").arg(ShownValue(asked))));
        return false;
    }
    if (!QFileInfo(usage.choices.outputFolder).isDir()) {
        // Bytes that are not UTF-8 come in as U+FFFD: the folder may well exist under its real name.
        const bool undecodable = outputFolder.contains(QChar(QChar::ReplacementCharacter));
        face.Complain(usageProblem(
            (undecodable
                 ? QStringLiteral("output folder '%1': the name is not valid UTF-8; rename the folder")
                 : QStringLiteral("output folder '%1' does not exist"))
                .arg(ShownValue(outputFolder))));
        return false;
    }
    QStringList emptyFolders;
    try {
        usage.files = filesToReverse(parser.positionalArguments(), &emptyFolders, &usage.refused);
    } catch (const std::exception& error) {
        face.Complain(usageProblem(QString::fromUtf8(error.what())));
        return false;
    }
    // Beside other files an empty folder is no reason to stop, but it is not passed over in silence.
    if (!usage.files.isEmpty()) {
        for (const QString& folder : std::as_const(emptyFolders))
            face.Complain(usageProblem(QStringLiteral("the folder '%1' holds no files").arg(folder)));
    }
    if (usage.files.isEmpty() && usage.refused.isEmpty()) {
        face.Complain(usageProblem(parser.positionalArguments().isEmpty()
                                       ? QStringLiteral("no FILE given (see --help)")
                                       : QStringLiteral("no files in the folders given")));
        return false;
    }
    return true;
}

void reportProgress(ReverseJob& job, TerminalFace& face, int fileCount)
{
    auto prefix = [fileCount](int row) { return QStringLiteral("[%1/%2] ").arg(row).arg(fileCount); };
    QObject::connect(&job, &ReverseJob::FileReversing, [&face, prefix](int row, const QString& source) {
        face.Say(prefix(row) + QStringLiteral("reversing ") + source);
    });
    QObject::connect(&job, &ReverseJob::FileConverting, [&face, prefix](int row, const QString& source) {
        face.Say(prefix(row) + QStringLiteral("converting ") + source);
    });
    QObject::connect(&job, &ReverseJob::Progress,
                     [&face](const JobProgress& progress) { face.ShowProgress(progress); });
    QObject::connect(&job, &ReverseJob::FileFinished, [&face, prefix](const FileOutcome& outcome) {
        if (outcome.succeeded)
            face.Say(prefix(outcome.row) + QStringLiteral("made ") + outcome.output +
                     (outcome.note.isEmpty() ? QString()
                                             : QStringLiteral(" (") + outcome.note + QLatin1Char(')')));
        else
            face.Complain(prefix(outcome.row) + QStringLiteral("failed: ") + outcome.source +
                          QStringLiteral(": ") + outcome.reason);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnivo-reverse"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNIVO_VERSION));
    TerminalFace face;
    Usage usage;
    int exit = kExitSuccess;
    if (!readUsage(application, face, usage, &exit))
        return exit;
    // A file that cannot be handed on is never passed over in silence.
    for (const QString& name : std::as_const(usage.refused))
        face.Complain(QStringLiteral("refused: %1: %2").arg(name, kNameNotUtf8Reason));
    if (usage.files.isEmpty())
        return kExitFailure;

    FileList files(usage.files);
    FixedChoices choices(usage.choices);
    QTimer tick;
    AVC engine(&tick, nullptr);  // the progress line tells more than the engine's pulse
    QObject::connect(&engine, &AVC::ErrorEvent, [&face](const QString& message) { face.Complain(message); });
    ReverseJob job(engine, files, choices, face);
    reportProgress(job, face, files.RowCount());
    job.SetEndMessage([&face](const JobSummary& summary) {
        const bool allMade = !summary.cancelled && summary.FailedCount() == 0;
        if (!face.quiet || !allMade)
            face.ShowMessage(summary.FinalMessage());
    });

    OnStopSignals(&job, [&job] { job.Cancel(); });

    JobSummary summary;
    QTimer::singleShot(0, [&] {
        summary = job.Run();
        QCoreApplication::quit();
    });
    application.exec();
    const bool allMade =
        summary.ran && !summary.cancelled && summary.FailedCount() == 0 && usage.refused.isEmpty();
    return allMade ? kExitSuccess : kExitFailure;
}
