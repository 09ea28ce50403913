#include "JobStart.h"

#include "FileIntake.h"
#include "ToolNames.h"
#include "CommandLine.h"
#include "ProcessRunner.h"
#include "ToolDeployment.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarnivo {

namespace {

// The same check as OutputFolderInWorkFolder for one file, told as the reason it fails (the row
// or the output folder may change while a job runs).
QString workFolderConflict(const QString& source, const QString& outputFolder)
{
    if (LiesInWorkFolder(source))
        return QStringLiteral("it lies in Tarnivo's working folder %1, whose files Tarnivo deletes after "
                              "every job; move it to another folder first")
            .arg(WorkFolder());
    if (LiesInWorkFolder(outputFolder))
        return QStringLiteral("the output folder %1 lies in Tarnivo's working folder %2; select another "
                              "folder")
            .arg(outputFolder, WorkFolder());
    return QString();
}

}  // namespace

// The programs a job needs, and the Debian package that brings each.
QString MissingProgramsProblem()
{
    const std::pair<const char*, const char*> tools[] = {
        {media::kFfmpegProgram, "ffmpeg"}, {media::kFfprobeProgram, "ffmpeg"}, {media::kSoxProgram, "sox"}};
    QStringList missing;
    for (const auto& [program, package] : tools) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            missing << QStringLiteral("%1 (Debian package \"%2\")")
                           .arg(QLatin1String(program), QLatin1String(package));
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("Tarnivo needs programs that are not installed: %1. Please install them, for "
                          "example with: sudo apt install ffmpeg sox")
        .arg(missing.join(QStringLiteral(", ")));
}

QString MissingHelpersProblem()
{
    QStringList missing;
    for (const QString& path :
         {ResourceProgramPath(kFfmpeg64Resource), ResourceProgramPath(kSoxResource), BatchRunnerPath()}) {
        if (!QFileInfo(path).isExecutable())
            missing << path;
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("Tarnivo's helper programs are missing: %1. Please reinstall Tarnivo.")
        .arg(missing.join(QStringLiteral(", ")));
}

QString AbsoluteSource(const QString& row)
{
    if (row.isEmpty() || QDir::isAbsolutePath(row))
        return row;
    return QDir::current().absoluteFilePath(row);
}

bool LostUndecodableBytes(const QString& name)
{
    return name.contains(QChar(QChar::ReplacementCharacter)) && !QFileInfo::exists(name);
}

QString OutputFolderInWorkFolder(const QString& outputFolder)
{
    if (!LiesInWorkFolder(outputFolder))
        return QString();
    return QStringLiteral("The output folder %1 lies in Tarnivo's working folder %2, whose files Tarnivo "
                          "deletes after every job. Please select another folder.")
        .arg(outputFolder, WorkFolder());
}

QString DeploymentProblem(const QString& work, const QString& firstError)
{
    const std::pair<int, const char*> tools[] = {{kFfmpeg64Resource, media::kFfmpegToolName},
                                                 {kSoxResource, media::kSoxToolName}};
    for (const auto& [resource, name] : tools) {
        const QFileInfo deployed(work + QLatin1Char('/') + QLatin1String(name));
        const QFileInfo carried(ResourceProgramPath(resource));
        if (!deployed.isExecutable() || deployed.size() != carried.size())
            return QStringLiteral("Tarnivo could not put its tools into the working folder %1: %2. "
                                  "Free some space there, or set TEMP to a folder on a disk with more "
                                  "room.")
                .arg(work, firstError.isEmpty() ? QLatin1String(name) + QStringLiteral(" is cut short")
                                                : firstError);
    }
    return QString();
}

QString DeployToolsTellingProblem()
{
    // Errors of the deployment are told once, by the check after it, not by a report per step.
    RecordedErrorSink errors;
    DeployTools(StepErrorReporter(errors, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")));
    return DeploymentProblem(WorkFolder(), errors.firstError);
}

QString RowProblem(const QString& source, const QString& outputFolder)
{
    if (LostUndecodableBytes(source))
        return kNameNotUtf8Reason;
    if (!CanBeCarriedOnCommandLine(source.toStdString()))
        return QStringLiteral("the file name holds a line break, which cannot be passed to ffmpeg; "
                              "please rename the file");
    return workFolderConflict(source, outputFolder);
}

}  // namespace tarnivo
