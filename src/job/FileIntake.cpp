#include "FileIntake.h"

#include "AddFolder.h"
#include "FileRoutines.h"

namespace tarnivo {

namespace {

constexpr int kWritableDotFile = kAttributeArchive | kAttributeHidden;

}  // namespace

QString RepairDoubleSlashes(QString path) { return path.replace(QLatin1String("//"), QLatin1String("/")); }

bool PassesFileFilter(const QString& name, const QString& path)
{
    return !name.startsWith(QLatin1Char('~')) && IsFile(path) && FileAttributes(path) != kWritableDotFile;
}

QStringList FilesOfFolderEntry(const QString& entry, const QString& pattern)
{
    const QString folder = entry.chopped(1);
    QStringList paths;
    for (const QString& name : ListFiles(folder, pattern)) {
        const QString path = RepairDoubleSlashes(folder + QLatin1Char('/') + name);
        if (PassesFileFilter(name, path))
            paths << path;
    }
    return paths;
}

QStringList FilesOfFolderTree(const QString& folder, const QString& pattern)
{
    QStringList folders{folder + QLatin1Char('/')};
    GetSubFolders(folders, true);
    QStringList paths;
    for (const QString& entry : std::as_const(folders))
        paths << FilesOfFolderEntry(entry, pattern);
    return paths;
}

}  // namespace tarnivo
