#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

constexpr mode_t kPrivateFolderMode = 0700;

bool makeFolderIfMissing(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), kPrivateFolderMode) == 0)
        return true;
    return errno == EEXIST;
}

bool isInside(const QString& path, const QString& folder)
{
    return !folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/')));
}

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache. Never
// the runtime folder, which lives in memory and is sized for small files: a film's frames
// need gigabytes.
QString cacheFolder()
{
    const QString runtime = QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    const QString cache = QDir::cleanPath(qEnvironmentVariable("XDG_CACHE_HOME"));
    if (QDir::isAbsolutePath(cache) && !isInside(cache, runtime))
        return cache;
    return QDir::homePath() + QStringLiteral("/.cache");
}

QString privateTempRoot()
{
    const QString cache = cacheFolder();
    // The cache folder itself is made private when Tarnivo is the first to need it, as the
    // desktop's own programs make it.
    if (!QFileInfo::exists(cache))
        makeFolderIfMissing(cache);
    return cache + QStringLiteral("/tarnivo");
}

bool usingPrivateRoot() { return qEnvironmentVariableIsEmpty("TEMP"); }

// W lives in TEMP. Whoever may rename entries of TEMP can swap W for a folder of their own
// between the check of W and its use: the owner of TEMP, and anyone who may write it, unless
// the sticky bit limits renaming to each entry's owner (as on /tmp).
QString checkTempProtectsWorkFolder(const QString& temp)
{
    struct stat info;
    if (::stat(QFile::encodeName(temp).constData(), &info) != 0)
        return QString();  // a missing TEMP is reported when W cannot be created in it
    const bool ownedByOthers = info.st_uid != ::getuid() && info.st_uid != 0;
    const bool othersMayRename = (info.st_mode & (S_IWGRP | S_IWOTH)) && !(info.st_mode & S_ISVTX);
    if (!ownedByOthers && !othersMayRename)
        return QString();
    return QStringLiteral(
               "The folder %1 named by TEMP can be changed by other users and is not protected by "
               "the sticky bit, so another user could swap Tarnivo's working folder in it for one of "
               "their own while Tarnivo runs programs from it. Please set TEMP to a folder of your "
               "own, or to one with the sticky bit such as /tmp.")
        .arg(temp);
}

}  // namespace

QString TempRoot()
{
    if (!usingPrivateRoot())
        return qEnvironmentVariable("TEMP");
    const QString root = privateTempRoot();
    makeFolderIfMissing(root);
    return root;
}

QString WorkFolder() { return TempRoot() + QStringLiteral("/temp"); }

QString RenameFolder() { return WorkFolder() + QStringLiteral("/Renamed"); }

QString CheckFolderIsPrivate(const QString& folder)
{
    struct stat info;
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QStringLiteral("The working folder %1 cannot be used: %2.")
            .arg(folder, QString::fromLocal8Bit(strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("The working folder %1 is a symbolic link. Tarnivo runs programs from "
                              "its working folder and will not use a link. Please remove it.")
            .arg(folder);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("The working folder %1 is not a folder. Please remove or rename it.")
            .arg(folder);
    if (info.st_uid != ::getuid())
        return QStringLiteral("The working folder %1 belongs to another user. Tarnivo runs programs "
                              "from its working folder and will only use one of your own.")
            .arg(folder);
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("The working folder %1 can be changed by other users. Tarnivo runs "
                              "programs from its working folder; please make it private "
                              "(chmod 700) or remove it.")
            .arg(folder);
    return QString();
}

QString PrepareWorkFolder()
{
    const QString root = TempRoot();
    const QString rootProblem =
        usingPrivateRoot() ? CheckFolderIsPrivate(root) : checkTempProtectsWorkFolder(root);
    if (!rootProblem.isEmpty())
        return rootProblem;
    const QString work = WorkFolder();
    if (!makeFolderIfMissing(work))
        return QStringLiteral("The working folder %1 cannot be created: %2.")
            .arg(work, QString::fromLocal8Bit(strerror(errno)));
    const QString problem = CheckFolderIsPrivate(work);
    if (!problem.isEmpty())
        return problem;
    if (!makeFolderIfMissing(RenameFolder()))
        return QStringLiteral("The folder %1 cannot be created: %2.")
            .arg(RenameFolder(), QString::fromLocal8Bit(strerror(errno)));
    return QString();
}

}  // namespace tarnivo
