#include "ProcessRunner.h"

#include "CommandLine.h"
#include "ShellOpen.h"

#include <QDir>
#include <QFileInfo>

#include <string>
#include <vector>

namespace tarnivo {

ProgramRun RunProgramAndWait(const QString& program, const QStringList& arguments, RunningTools& tools,
                             const QString& workingFolder, const QStringList& environment)
{
    ProgramRun run;
    qint32 errorNumber = 0;
    ChildProcess child =
        tools.Start(program, arguments, workingFolder, &errorNumber, ChildProcess::Output::Keep, environment);
    if (!child.isValid()) {
        run.exitStatus = kFailureBase + errorNumber;
        return run;
    }
    run.exitStatus = child.waitLettingEventsRun();
    run.output = child.standardOutput();
    run.errorLines = child.lastErrorLines();
    return run;
}

QString LastMeaningfulLine(const QStringList& errorLines)
{
    for (auto line = errorLines.crbegin(); line != errorLines.crend(); ++line) {
        const QString text = line->trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1String("frame=")) ||
            text.startsWith(QLatin1String("size=")) || text.startsWith(QLatin1String("video:")) ||
            text.startsWith(QLatin1String("Press [q]")))
            continue;
        return text;
    }
    return QString();
}

QString QuoteForCommandLine(const QString& text)
{
    return QString::fromStdString(QuoteArgument(text.toStdString()));
}

int ShellAndWait(const QString& commandLine, RunningTools& tools, QStringList* errorLines,
                 const QStringList& environment)
{
    const std::vector<std::string> parts = SplitCommandLine(commandLine.toStdString());
    if (parts.empty())
        return kFailureBase + kErrorFileNotFound;
    QStringList arguments;
    for (size_t i = 1; i < parts.size(); ++i)
        arguments << QString::fromStdString(parts[i]);

    if (!errorLines) {
        qint32 errorNumber = 0;
        ChildProcess child = tools.Start(QString::fromStdString(parts.front()), arguments, QString(),
                                         &errorNumber, ChildProcess::Output::Discard, environment);
        if (!child.isValid())
            return kFailureBase + errorNumber;
        return child.waitLettingEventsRun();
    }
    const ProgramRun run =
        RunProgramAndWait(QString::fromStdString(parts.front()), arguments, tools, QString(), environment);
    *errorLines = run.errorLines;
    return run.exitStatus;
}

int ShellExecuteAndWait(const QString& file, const QString& currentFolder, RunningTools& tools,
                        QStringList* errorLines)
{
    ChildProcess child;
    const int result = GShell(file, currentFolder, tools, &child);
    if (result <= 32)
        return FailureForShellResult(result);
    if (!child.isValid())
        return 0;  // opened by another program: there is no process of ours to wait for
    const int status = child.waitLettingEventsRun();
    if (errorLines)
        *errorLines = child.lastErrorLines();
    return status;
}

QString HelperProgramFolder()
{
    // Beside the program (a build), else in the libexec folder of the program's installation.
    const QString ownFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (QFileInfo(ownFolder + QStringLiteral("/tarnivo-batch")).isExecutable())
        return ownFolder;
    return QDir::cleanPath(ownFolder + QStringLiteral("/../libexec/tarnivo"));
}

QString BatchRunnerPath() { return HelperProgramFolder() + QStringLiteral("/tarnivo-batch"); }

}  // namespace tarnivo
