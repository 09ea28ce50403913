// tarnivo-reverse: reverses video files from the command line with the same job as the window.
//
//   tarnivo-reverse [--profile ID|NAME] [--out FOLDER] [--from TIME] [--to TIME] [--boomerang]
//                   [--quiet] FILE...
//
// Exit status: 0 when every file gave its output, 1 when any failed or the job was cancelled
// (SIGINT, SIGTERM) or could not start, 2 for bad usage. Ctrl+Z (SIGTSTP) pauses the job and
// stops the program as a terminal's job; fg (SIGCONT) goes on with both.
#include "AVC.h"
#include "FileIntake.h"
#include "JobProgress.h"
#include "MessageSink.h"
#include "ReverseJob.h"
#include "SettingsStore.h"
#include "StopSignals.h"
#include "Usage.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace tarnivo;

namespace {

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

// "[1/3] reversing 42 % (frames), 134 fps, 0:05 elapsed, 0:40 left"; "[1/3] cancelling, 0:05
// elapsed" once the job was cancelled; "checking 3 files, 0:01 elapsed" while it plans.
QString progressLine(const JobProgress& progress)
{
    const QString elapsed = QStringLiteral(", %1 elapsed").arg(ClockText(progress.elapsedMs));
    if (progress.planning)
        return (progress.fileCount == 1 ? QStringLiteral("checking the file")
                                        : QStringLiteral("checking %1 files").arg(progress.fileCount)) +
               elapsed;
    QString line = QStringLiteral("[%1/%2] ").arg(progress.file).arg(progress.fileCount);
    if (progress.cancelling)
        return line + QStringLiteral("cancelling") + elapsed;
    line += QStringLiteral("%1 %2 %")
                .arg(PhaseName(progress.step))
                .arg(static_cast<int>(progress.phaseFraction * 100));
    if (progress.step != JobStep::Converting)
        line += QStringLiteral(" (%1)").arg(StepName(progress.step));
    if (progress.paused)
        return line + QStringLiteral(", paused") + elapsed;
    if (progress.framesPerSecond > 0)
        line += QStringLiteral(", %1 fps").arg(qRound(progress.framesPerSecond));
    line += elapsed;
    if (progress.jobLeftMs >= 0)
        line += QStringLiteral(", %1 left").arg(TimeLeftText(progress.jobLeftMs));
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
        if (!m_terminal || quiet || progress.jobOver || (progress.file == 0 && !progress.planning))
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
    FileList(QStringList files, FilmPart part) : m_files(std::move(files)), m_part(part) {}
    int RowCount() const override { return static_cast<int>(m_files.size()); }
    QString RowText(int row) const override { return m_files.value(row - 1); }
    FilmPart RowPart(int) const override { return m_part; }

private:
    QStringList m_files;
    FilmPart m_part;
};

class FixedChoices : public JobChoices {
public:
    FixedChoices(StoredChoices choices, bool boomerang)
        : m_choices(std::move(choices)), m_boomerang(boomerang)
    {
    }
    QString OutputFolderText() const override { return m_choices.outputFolder; }
    QString ProfileName() const override { return m_choices.profileName; }
    CustomFormatValues CustomValues() const override { return m_choices.custom; }
    bool Boomerang() const override { return m_boomerang; }

private:
    StoredChoices m_choices;
    bool m_boomerang;
};

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
        if (outcome.refused)
            face.Complain(prefix(outcome.row) + outcome.source + QStringLiteral(": ") + outcome.reason);
        else if (outcome.succeeded)
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
    Usage usage;
    if (const int status = ReadUsage(application.arguments(), usage); status != kRunTheJob)
        return status;
    TerminalFace face;
    face.quiet = usage.quiet;
    // A file that cannot be handed on is never passed over in silence.
    for (const QString& name : std::as_const(usage.refused))
        face.Complain(QStringLiteral("refused: %1: %2").arg(name, kNameNotUtf8Reason));
    if (usage.files.isEmpty())
        return kExitFailure;

    FileList files(usage.files, usage.part);
    FixedChoices choices(usage.choices, usage.boomerang);
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
    // The job's tools run in process groups of their own, which the terminal's stop does not
    // reach: they are stopped first, and go on once this program does.
    OnTerminalStop(&job, [&job](bool stopping) { job.Pause(stopping); });

    int status = kExitFailure;
    QObject::connect(&job, &ReverseJob::Finished, [&status, &usage](const JobSummary& summary) {
        const bool allMade =
            summary.ran && !summary.cancelled && summary.FailedCount() == 0 && usage.refused.isEmpty();
        status = summary.choicesRefused ? kExitUsage : allMade ? kExitSuccess : kExitFailure;
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &job, &ReverseJob::Start);
    application.exec();
    return status;
}
