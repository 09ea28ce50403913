#include "AddFolder.h"

#include "FileRoutines.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

QString withoutTrailingSlashes(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed;
}

bool isRootFolder(const QString& path) { return withoutTrailingSlashes(path) == QLatin1String("/"); }

bool mayBeEntered(const QString& folder)
{
    const int attributes = FileAttributes(folder);
    return (attributes != kHiddenSystemFolder && attributes != kLinkedFolder) || isRootFolder(folder);
}

bool isAcceptedFolderName(const QByteArray& name)
{
    return name != "." && name != ".." && !name.contains('?') && !HasOddCharacters(name);
}

// Appends folder + name + "/" to subFolders for every sub-folder of folder (links to folders
// included), in name order. Returns false when the listing is denied.
bool listSubFolders(const QString& folder, QStringList& subFolders)
{
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    if (!directory)
        return errno != EACCES && errno != EPERM;
    const int directoryFd = ::dirfd(directory);
    QStringList names;
    while (const dirent* entry = ::readdir(directory)) {
        QCoreApplication::processEvents();
        const QByteArray name(entry->d_name);
        struct stat info;
        if (!isAcceptedFolderName(name) || ::fstatat(directoryFd, entry->d_name, &info, 0) != 0 ||
            !S_ISDIR(info.st_mode))
            continue;
        names << QFile::decodeName(name);
    }
    ::closedir(directory);
    SortByName(names);
    for (const QString& name : std::as_const(names))
        subFolders << folder + name + QLatin1Char('/');
    return true;
}

}  // namespace

int FileAttributes(const QString& path)
{
    const QString trimmed = withoutTrailingSlashes(path);
    const QByteArray native = QFile::encodeName(trimmed);
    struct stat info;
    if (trimmed.isEmpty() || ::lstat(native.constData(), &info) != 0)
        return -1;
    if (S_ISLNK(info.st_mode)) {
        struct stat target;
        if (::stat(native.constData(), &target) == 0 && S_ISDIR(target.st_mode))
            return kLinkedFolder;
    }
    int attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
    if (S_ISLNK(info.st_mode))
        attributes |= kAttributeReparsePoint;
    const QString name = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')))
        attributes |= kAttributeHidden;
    if (::access(native.constData(), W_OK) != 0)
        attributes |= kAttributeReadOnly;
    return attributes;
}

bool HasOddCharacters(const QByteArray& name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(name);
    if (decoder.hasError())
        return true;
    for (const char32_t code : text.toUcs4()) {
        if (code < 32 || (code >= 127 && code <= 159) || code == U'?')
            return true;
    }
    return false;
}

void GetSubFolders(QStringList& folders, bool recurse)
{
    QStringList nextLevel;
    // A copy: a folder whose listing is denied is taken out of the collection on the way.
    const QStringList level = folders;
    for (const QString& folder : level) {
        QCoreApplication::processEvents();
        if (FileAttributes(folder) < 0)
            throw WalkError("Path not found: " + folder.toStdString());
        if (!mayBeEntered(folder))
            continue;
        if (!listSubFolders(folder, nextLevel))
            folders.removeOne(folder);
    }
    if (recurse && !nextLevel.isEmpty())
        GetSubFolders(nextLevel, true);
    for (const QString& subFolder : std::as_const(nextLevel)) {
        QCoreApplication::processEvents();
        if (mayBeEntered(subFolder))
            folders << subFolder;
    }
}

}  // namespace tarnivo
