#include "ProcessRunner.h"

#include "CommandLine.h"

#include <QDir>
#include <QFileInfo>

namespace tarnivo {

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
