#include "WorkFolder.h"

#include "FileRoutines.h"
#include "ToolDeployment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// The names of the files that only Tarnivo puts into W: finding one tells that a folder
// without the marker is the working folder of an earlier version, left by a job that was
// killed. Sound files, intermediates and frames could as well be the user's own.
bool isTarnivoOnlyName(const QString& name)
{
    for (const char* tool : kDeployedToolNames) {
        if (name == QLatin1String(tool))
            return true;
    }
    return name == QLatin1String("avi2jpg.bat") || name == QLatin1String("jpg2avi.bat") ||
           name == QLatin1String("jpg2avi.tmp");
}

bool allDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isRegularFile(const QFileInfo& entry) { return entry.isFile() && !entry.isSymLink(); }

QFileInfoList entriesOf(const QString& folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
}

// What W holds (and R in it), named relative to W: the files with the names Tarnivo gives its
// files there, and everything else.
struct WorkFolderEntries {
    QStringList tarnivoNames;
    QStringList others;
    bool tarnivoOnlyName = false;  // one of the names only Tarnivo gives a file
};

WorkFolderEntries entriesOfWorkFolder(const QString& work)
{
    WorkFolderEntries found;
    for (const QFileInfo& entry : entriesOf(work)) {
        const QString name = entry.fileName();
        if (name == QLatin1String("Renamed") && entry.isDir() && !entry.isSymLink()) {
            for (const QFileInfo& frame : entriesOf(entry.filePath())) {
                const bool isFrame = isRegularFile(frame) && IsRenumberedFrameName(frame.fileName());
                (isFrame ? found.tarnivoNames : found.others) << name + QLatin1Char('/') + frame.fileName();
            }
        } else if (isRegularFile(entry) && IsWorkFileName(name)) {
            found.tarnivoNames << name;
            found.tarnivoOnlyName = found.tarnivoOnlyName || isTarnivoOnlyName(name);
        } else {
            found.others << name;
        }
    }
    return found;
}

// Names W as Tarnivo's own. Nothing depends on the write succeeding: a W where nothing can be
// written fails at the tools' deployment, with its reason.
void writeMarker(const QString& work)
{
    const QByteArray text =
        "This folder is Tarnivo's working folder. Tarnivo writes its tools, the frames of the films it\r\n"
        "reverses and their sound here, and deletes them after every job. Keep no files of your own "
        "here.\r\n";
    const int fd = ::open(QFile::encodeName(work + QLatin1Char('/') + kWorkFolderMarkerName).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    (void)written;
    ::close(fd);
}

// The job deletes what it makes in W, so it works only in a W of its own: one that bears the
// marker, or one that holds nothing that Tarnivo would not have left there, which then gets
// the marker. A folder with files of anyone else's is refused, and nothing is made in it.
QString claimWorkFolder(const QString& work)
{
    if (isRegularFile(QFileInfo(work + QLatin1Char('/') + kWorkFolderMarkerName)))
        return QString();
    const WorkFolderEntries entries = entriesOfWorkFolder(work);
    // Frames, sound and videos alone, without a tool or batch file of Tarnivo's beside them,
    // may be anyone's: 000001.jpg is a common name for a photo.
    if (entries.others.isEmpty() && (entries.tarnivoNames.isEmpty() || entries.tarnivoOnlyName)) {
        writeMarker(work);
        return QString();
    }
    // In a folder that is not Tarnivo's, none of the files is known to be Tarnivo's.
    QStringList foreign = entries.others + entries.tarnivoNames;
    SortByName(foreign);
    constexpr int kNamesShown = 3;
    QString names = QStringList(foreign.mid(0, kNamesShown)).join(QStringLiteral(", "));
    if (foreign.size() > kNamesShown)
        names += QStringLiteral(" and %1 more").arg(foreign.size() - kNamesShown);
    const QString withoutTemp = usingPrivateRoot()
                                    ? QString()
                                    : QStringLiteral(" (without TEMP, Tarnivo works in %1)")
                                          .arg(cacheFolder() + QStringLiteral("/tarnivo/temp"));
    return QStringLiteral("The working folder %1 holds files that are not known to be Tarnivo's: %2. "
                          "Tarnivo deletes the files it makes in its working folder after every job, "
                          "so it works only in a folder of its own. Please set TEMP to another folder%3, "
                          "or move those files out of %1.")
        .arg(work, names, withoutTemp);
}

void deleteFilesNamed(const QString& folder, bool (*isNamed)(const QString&))
{
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isNamed(name))
            KillFiles(folder + QLatin1Char('/') + name);
    }
}

bool isExtractedFrameName(const QString& name)
{
    constexpr int kLeastDigits = 6;  // the extraction writes %06d.jpg
    return name.endsWith(QLatin1String(".jpg")) && name.size() - 4 >= kLeastDigits &&
           allDigits(QStringView(name).chopped(4));
}

bool isWorkFileButMarker(const QString& name)
{
    return name != kWorkFolderMarkerName && IsWorkFileName(name);
}

// The canonical form of a path, or of its folder and name when it does not exist; empty when
// neither can be told.
QString canonicalOrInFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

}  // namespace

bool IsWorkFileName(const QString& name)
{
    static const QStringList kStepFiles{QStringLiteral("audio.wav"), QStringLiteral("reversed.wav"),
                                        QStringLiteral("tvideo.avi"), QStringLiteral("rvideo.avi"),
                                        kWorkFolderMarkerName};
    return isTarnivoOnlyName(name) || kStepFiles.contains(name) || isExtractedFrameName(name);
}

bool IsRenumberedFrameName(const QString& name)
{
    return name.startsWith(QLatin1String("image")) && name.endsWith(QLatin1String(".jpg")) &&
           name.size() > 9 && name.at(5) != u'0' && allDigits(QStringView(name).mid(5, name.size() - 9));
}

void DeleteExtractedFrames(const QString& workFolder) { deleteFilesNamed(workFolder, isExtractedFrameName); }

void DeleteRenumberedFrames(const QString& renameFolder)
{
    deleteFilesNamed(renameFolder, IsRenumberedFrameName);
}

void DeleteWorkFiles(const QString& workFolder)
{
    deleteFilesNamed(workFolder, isWorkFileButMarker);
    DeleteRenumberedFrames(workFolder + QStringLiteral("/Renamed"));
}

bool LiesInWorkFolder(const QString& path)
{
    const QString work = QFileInfo(WorkFolder()).canonicalFilePath();
    const QString canonical = canonicalOrInFolder(path);
    return !work.isEmpty() && !canonical.isEmpty() && isInside(canonical, work);
}

QString TempRoot()
{
    if (!usingPrivateRoot()) {
        // A relative TEMP is taken from the current folder (which Tarnivo never changes): the
        // tools run in the working folder, where the same relative name would mean another one.
        const QString temp = qEnvironmentVariable("TEMP");
        return QDir::isAbsolutePath(temp) ? temp : QDir::currentPath() + QLatin1Char('/') + temp;
    }
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
    const QByteArray native = QFile::encodeName(work);
    if (::mkdir(native.constData(), kPrivateFolderMode) == 0)
        writeMarker(work);
    else if (errno != EEXIST)
        return QStringLiteral("The working folder %1 cannot be created: %2.")
            .arg(work, QString::fromLocal8Bit(strerror(errno)));
    QString problem = CheckFolderIsPrivate(work);
    if (problem.isEmpty())
        problem = claimWorkFolder(work);
    if (!problem.isEmpty())
        return problem;
    if (!makeFolderIfMissing(RenameFolder()))
        return QStringLiteral("The folder %1 cannot be created: %2.")
            .arg(RenameFolder(), QString::fromLocal8Bit(strerror(errno)));
    // Frames are deleted from R by name: it must be a folder of its own, not a link to another.
    return CheckFolderIsPrivate(RenameFolder());
}

}  // namespace tarnivo
