#include "ShellOpen.h"

#include "FileRoutines.h"
#include "ProcessRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <utility>

namespace tarnivo {

namespace {

constexpr qint32 kUnexpectedResultBase = -2147220456;  // kFailureBase + 1048

DocumentOpener& documentOpener()
{
    static DocumentOpener opener;
    return opener;
}

QString withoutSurroundingQuotes(const QString& file)
{
    if (file.size() >= 2 && file.startsWith(QLatin1Char('"')) && file.endsWith(QLatin1Char('"')))
        return file.mid(1, file.size() - 2);
    return file;
}

int shellResultForStartFailure(qint32 errorNumber)
{
    return errorNumber == kErrorFileNotFound ? kShellFileNotFound : kShellAccessDenied;
}

int openDocument(const QString& path)
{
    if (documentOpener())
        return documentOpener()(path) ? kShellSuccess : kShellNoAssociation;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return kShellNoAssociation;
    return QProcess::startDetached(xdgOpen, {path}) ? kShellSuccess : kShellNoAssociation;
}

int startAndKeep(const QString& program, const QStringList& arguments, const QString& folder,
                 RunningTools& tools, ChildProcess* started, const QStringList& environment)
{
    qint32 errorNumber = 0;
    ChildProcess child =
        tools.Start(program, arguments, folder, &errorNumber,
                    started ? ChildProcess::Output::Keep : ChildProcess::Output::Discard, environment);
    if (!child.isValid())
        return shellResultForStartFailure(errorNumber);
    if (started)
        *started = std::move(child);
    else
        child.waitBlocking();  // nobody to hand it to: do not leave it unreaped
    return kShellSuccess;
}

int openFile(const QString& file, const QString& currentFolder, RunningTools& tools, ChildProcess* started,
             const QStringList& environment)
{
    if (file.isEmpty())
        return kShellFileNotFound;
    QString path = file;
    if (QDir::isRelativePath(path) && !currentFolder.isEmpty())
        path = QDir(currentFolder).filePath(path);
    if (!currentFolder.isEmpty() && !FolderExists(currentFolder))
        return kShellPathNotFound;
    if (!PathExists(path))
        return FolderExists(QFileInfo(path).absolutePath()) ? kShellFileNotFound : kShellPathNotFound;
    if (FolderExists(path))
        return openDocument(path);

    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String("bat"), Qt::CaseInsensitive) == 0) {
        const QString runner = BatchRunnerPath();
        if (!QFileInfo(runner).isExecutable())
            return kShellNoAssociation;
        return startAndKeep(runner, {path}, currentFolder, tools, started, environment);
    }
    if (info.isExecutable())
        return startAndKeep(path, {}, currentFolder, tools, started, environment);
    if (!info.isReadable())
        return kShellAccessDenied;
    return openDocument(path);
}

}  // namespace

qint32 FailureForShellResult(int resultCode)
{
    switch (resultCode) {
    case kShellFileNotFound:
        return kFailureBase + kErrorFileNotFound;
    case kShellPathNotFound:
        return kFailureBase + kErrorPathNotFound;
    case kShellAccessDenied:
        return kFailureBase + kErrorPathFileAccess;
    default:
        return kUnexpectedResultBase + resultCode;
    }
}

int GShell(const QString& file, const QString& currentFolder, RunningTools& tools, ChildProcess* started,
           const QStringList& environment)
{
    return openFile(withoutSurroundingQuotes(file), currentFolder, tools, started, environment);
}

void SetDocumentOpener(DocumentOpener opener) { documentOpener() = std::move(opener); }

}  // namespace tarnivo
