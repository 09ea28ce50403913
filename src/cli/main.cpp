// tarnivo-reverse: reverses video files from the command line with the same job as the window.
//
//   tarnivo-reverse [--profile NAME] [--out FOLDER] FILE...
//
// Exit status: 0 when every file gave its output, 1 when any failed or the job was cancelled
// (SIGINT, SIGTERM) or could not start, 2 for bad usage.
#include "AVC.h"
#include "ConversionViews.h"
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

#include <cstdio>
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

// Messages and progress on the terminal. The engine's "Please wait... N" pulse becomes a
// line that is rewritten in place, shown only when standard error is a terminal.
class TerminalFace : public MessageSink, public ProgressBarView {
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
    void SetProgressText(const QString& text) override
    {
        if (!m_terminal)
            return;
        std::fprintf(stderr, "\r  %s", text.toLocal8Bit().constData());
        std::fflush(stderr);
        m_progressShown = true;
    }
    void SetProgressValue(int) override {}

    void Say(const QString& text)
    {
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
    StoredChoices choices;
};

QString helpText()
{
    return QStringLiteral(
        "Makes videos play backwards. Every FILE is split into frames, reversed with its sound, and\n"
        "converted into the chosen output profile in the output folder. An existing file is never\n"
        "overwritten: the output is named after the file, with a number added when the name is taken.\n"
        "\n"
        "The profile and the output folder default to the ones last chosen in Tarnivo's window\n"
        "(\"AVI (MPEG4-XviD-Best Quality)\" and the desktop folder on a first start); \"Custom Format\"\n"
        "uses the custom settings last chosen there.\n"
        "\n"
        "The work is done in $TEMP/temp; when TEMP is not set, in $XDG_CACHE_HOME/tarnivo/temp\n"
        "(~/.cache/tarnivo/temp), on disk: a film's frames can need gigabytes. One job at a time\n"
        "uses a working folder; give each job its own TEMP to run several side by side.\n"
        "\n"
        "Exit status: 0 when every file gave its output, 1 when a file failed or the job was\n"
        "cancelled (Ctrl+C), 2 for bad usage.");
}

// Reads the command line; on bad usage prints why and returns the exit status through *exit.
bool readUsage(QCoreApplication& application, TerminalFace& face, Usage& usage, int* exit)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(helpText());
    parser.addHelpOption();
    const QCommandLineOption profile(QStringList{QStringLiteral("p"), QStringLiteral("profile")},
                                     QStringLiteral("The output profile (see --list-profiles)."),
                                     QStringLiteral("NAME"));
    const QCommandLineOption out(QStringList{QStringLiteral("o"), QStringLiteral("out")},
                                 QStringLiteral("The folder the outputs are written to."),
                                 QStringLiteral("FOLDER"));
    const QCommandLineOption list(QStringLiteral("list-profiles"),
                                  QStringLiteral("Print the profile names and exit."));
    parser.addOptions({profile, out, list});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The videos to reverse."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(application.arguments())) {
        face.Complain(parser.errorText());
        *exit = kExitUsage;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        face.Say(parser.helpText().trimmed());
        *exit = kExitSuccess;
        return false;
    }
    if (parser.isSet(list)) {
        for (const std::string& name : ProfileNames())
            face.Say(QString::fromStdString(name));
        *exit = kExitSuccess;
        return false;
    }

    usage.choices = ReadStoredChoices();
    if (parser.isSet(profile))
        usage.choices.profileName = parser.value(profile);
    if (parser.isSet(out))
        usage.choices.outputFolder = QDir::current().absoluteFilePath(parser.value(out));
    usage.files = parser.positionalArguments();

    *exit = kExitUsage;
    if (!IsProfileName(usage.choices.profileName.toStdString())) {
        face.Complain(QStringLiteral("Error: ") + usage.choices.profileName +
                      QStringLiteral(" is not defined."));
        return false;
    }
    if (usage.files.isEmpty()) {
        face.Complain(kNoFilesMessage);
        return false;
    }
    if (!QFileInfo(usage.choices.outputFolder).isDir()) {
        face.Complain(kNoFolderMessage);
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
    QObject::connect(&job, &ReverseJob::FileFinished, [&face, prefix](const FileOutcome& outcome) {
        if (outcome.succeeded)
            face.Say(prefix(outcome.row) + QStringLiteral("made ") + outcome.output);
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
    TerminalFace face;
    Usage usage;
    int exit = kExitSuccess;
    if (!readUsage(application, face, usage, &exit))
        return exit;

    FileList files(usage.files);
    FixedChoices choices(usage.choices);
    QTimer tick;
    AVC engine(&tick, &face);
    QObject::connect(&engine, &AVC::ErrorEvent, [&face](const QString& message) { face.Complain(message); });
    ReverseJob job(engine, files, choices, face);
    reportProgress(job, face, files.RowCount());

    OnStopSignals(&job, [&job] { job.Cancel(); });

    JobSummary summary;
    QTimer::singleShot(0, [&] {
        summary = job.Run();
        QCoreApplication::quit();
    });
    application.exec();
    const bool allMade = summary.ran && !summary.cancelled && summary.FailedCount() == 0;
    return allMade ? kExitSuccess : kExitFailure;
}
