#include "WorkFolder.h"

#include "FailureReason.h"
#include "FileRoutines.h"
#include "FrameMaking.h"
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

// One of Tarnivo's tools, byte for byte as this build carries it: a file that no one else made.
bool isProvablyTarnivos(const QFileInfo& entry)
{
    const QString name = entry.fileName();
    const int resource = name == QLatin1String("ffmpeg.exe")                 ? kFfmpeg64Resource
                         : name == QLatin1String("sox.exe")                  ? kSoxResource
                         : name == QLatin1String(media::kFrameWriterProgram) ? kFrameWriterResource
                                                                             : 0;
    if (resource == 0 || !isRegularFile(entry))
        return false;
    QFile carried(ResourceProgramPath(resource));
    QFile there(entry.filePath());
    return carried.size() == there.size() && carried.open(QIODevice::ReadOnly) &&
           there.open(QIODevice::ReadOnly) && carried.readAll() == there.readAll();
}

// What W holds (and R in it) that is not provably Tarnivo's, named relative to W; R itself
// counts as Tarnivo's when it is a folder.
QStringList unprovenEntries(const QString& work)
{
    QStringList unproven;
    for (const QFileInfo& entry : entriesOf(work)) {
        if (entry.fileName() == QLatin1String("Renamed") && entry.isDir() && !entry.isSymLink()) {
            for (const QFileInfo& inside : entriesOf(entry.filePath()))
                unproven << QStringLiteral("Renamed/") + inside.fileName();
        } else if (!isProvablyTarnivos(entry)) {
            unproven << entry.fileName();
        }
    }
    return unproven;
}

// The files under Tarnivo's names in W and R that are not provably Tarnivo's.
QStringList entriesUnderTarnivosNames(const QString& work)
{
    QStringList found;
    for (const QFileInfo& entry : entriesOf(work)) {
        const QString name = entry.fileName();
        if (name != kWorkFolderMarkerName && IsWorkFileName(name) && !isProvablyTarnivos(entry))
            found << name;
    }
    for (const QFileInfo& entry : entriesOf(work + QStringLiteral("/Renamed"))) {
        if (IsRenumberedFrameName(entry.fileName()))
            found << QStringLiteral("Renamed/") + entry.fileName();
    }
    return found;
}

// Writes a new file of W that only this job makes; false with errno set when it cannot.
bool writeOwnFile(const QString& path, const QByteArray& text, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | flags, 0600);
    if (fd < 0)
        return false;
    const ssize_t written = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    const int error = errno;
    ::close(fd);
    errno = error;
    return written == text.size();
}

// Names W as Tarnivo's own. Nothing depends on the write succeeding: a W where nothing can be
// written fails at the tools' deployment, with its reason.
void writeMarker(const QString& work)
{
    writeOwnFile(
        work + QLatin1Char('/') + kWorkFolderMarkerName,
        "This folder is Tarnivo's working folder. Tarnivo writes its tools, the frames of the films "
        "it\r\nreverses and their sound here, and deletes them after every job. Keep no files of your "
        "own here.\r\n",
        O_EXCL);
}

// The names of files, the first few of them, for a message.
QString someNames(QStringList names)
{
    SortByName(names);
    constexpr int kNamesShown = 3;
    QString shown = QStringList(names.mid(0, kNamesShown)).join(QStringLiteral(", "));
    if (names.size() > kNamesShown)
        shown += QStringLiteral(" and %1 more").arg(names.size() - kNamesShown);
    return shown;
}

QString withoutTempNote()
{
    return usingPrivateRoot() ? QString()
                              : QStringLiteral(" (without TEMP, Tarnivo works in %1)")
                                    .arg(cacheFolder() + QStringLiteral("/tarnivo/temp"));
}

// The job deletes what it makes in W, so it works only in a W of its own: one that bears the
// marker, or one that holds nothing that is not provably Tarnivo's (its tools as this build
// carries them), which then gets the marker. A folder with anything else is refused, and
// nothing is made in it: a photo called 000001.jpg is as likely as a frame a killed job left.
QString claimWorkFolder(const QString& work)
{
    if (isRegularFile(QFileInfo(work + QLatin1Char('/') + kWorkFolderMarkerName)))
        return QString();
    const QStringList unproven = unprovenEntries(work);
    if (unproven.isEmpty()) {
        writeMarker(work);
        return QString();
    }
    return QStringLiteral("The working folder %1 holds files that are not known to be Tarnivo's: %2. "
                          "Tarnivo deletes the files it makes in its working folder after every job, "
                          "so it works only in a folder of its own. Please empty %1, or set TEMP to another "
                          "folder%3.")
        .arg(work, someNames(unproven), withoutTempNote());
}

// A finite file-size limit (ulimit -f) smaller than a tool leaves the job nothing to run.
QString fileSizeLimitProblem()
{
    const qint64 limit = FileSizeLimitBytes();
    if (limit < 0)
        return QString();
    const qint64 largestTool = std::max(QFileInfo(ResourceProgramPath(kFfmpeg64Resource)).size(),
                                        QFileInfo(ResourceProgramPath(kSoxResource)).size());
    if (limit >= largestTool)
        return QString();
    return QStringLiteral(
               "Tarnivo cannot work here: the file-size limit of this session is too small. "
               "Files may not grow beyond %1 KB (ulimit -f), and Tarnivo's tools alone take %2 KB "
               "in its working folder, a film's frames and results far more. Please raise the limit "
               "(ulimit -f unlimited) and start again.")
        .arg(limit / 1024)
        .arg((largestTool + 1023) / 1024);
}

// The folders above the private working folder, made when missing: a failure is told with its
// own reason, not as the missing folder it leaves.
QString makePrivateRoot(const QString& root)
{
    for (const QString& folder : {cacheFolder(), root}) {
        if (!makeFolderIfMissing(folder))
            return QStringLiteral("The folder %1 cannot be created: %2. Tarnivo works there when TEMP is "
                                  "not set; please set TEMP to a folder of your own.")
                .arg(folder, QString::fromLocal8Bit(strerror(errno)));
    }
    return QString();
}

void deleteFilesNamed(const QString& folder, bool (*isNamed)(const QString&))
{
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isNamed(name))
            KillFiles(folder + QLatin1Char('/') + name);
    }
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
    static const QStringList kNames = [] {
        QStringList names{QStringLiteral("avi2jpg.bat"),
                          QStringLiteral("jpg2avi.bat"),
                          QStringLiteral("jpg2avi.tmp"),
                          QStringLiteral("audio.wav"),
                          QStringLiteral("reversed.wav"),
                          QStringLiteral("tvideo.avi"),
                          QStringLiteral("rvideo.avi"),
                          kWorkFolderMarkerName,
                          kJobRecordName,
                          QLatin1String(media::kFrameTemporaryName)};
        for (const char* tool : kDeployedToolNames)
            names << QLatin1String(tool);
        return names;
    }();
    return kNames.contains(name) || IsExtractedFrameName(name);
}

bool IsExtractedFrameName(const QString& name)
{
    // "%06d.jpg" from frame 1: six digits, more only without a leading zero.
    constexpr int kDigits = 6;
    constexpr int kMostDigits = 18;
    if (!name.endsWith(QLatin1String(".jpg")))
        return false;
    const QStringView digits = QStringView(name).chopped(4);
    return digits.size() >= kDigits && digits.size() <= kMostDigits && allDigits(digits) &&
           (digits.size() == kDigits || digits.front() != u'0') && digits.toLongLong() >= 1;
}

bool IsRenumberedFrameName(const QString& name)
{
    return name.startsWith(QLatin1String("image")) && name.endsWith(QLatin1String(".jpg")) &&
           name.size() > 9 && name.at(5) != u'0' && allDigits(QStringView(name).mid(5, name.size() - 9));
}

void DeleteExtractedFrames(const QString& workFolder) { deleteFilesNamed(workFolder, IsExtractedFrameName); }

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
    if (const QString limit = fileSizeLimitProblem(); !limit.isEmpty())
        return limit;
    const QString root = TempRoot();
    if (usingPrivateRoot()) {
        if (const QString problem = makePrivateRoot(root); !problem.isEmpty())
            return problem;
    }
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

QString BeginJobInWorkFolder()
{
    const QString work = WorkFolder();
    const QString record = work + QLatin1Char('/') + kJobRecordName;
    if (QFileInfo(record).exists() || QFileInfo(record).isSymLink()) {
        // The job before was killed: what it left under Tarnivo's names goes.
        DeleteWorkFiles(work);
    } else if (const QStringList users = entriesUnderTarnivosNames(work); !users.isEmpty()) {
        return QStringLiteral(
                   "The working folder %1 holds files under the names that Tarnivo gives the files it "
                   "makes there, which no job that Tarnivo knows of left: %2. Tarnivo would write over "
                   "them or delete them. Please move them out of %1 (or delete them, if a Tarnivo job "
                   "that was killed left them), or set TEMP to another folder%3.")
            .arg(work, someNames(users), withoutTempNote());
    }
    const QByteArray text =
        QStringLiteral("A Tarnivo job (process %1) works in this folder. Found when no job "
                       "runs, this file tells the next job that this one was killed, and "
                       "that the files under Tarnivo's names here are what it left.\r\n")
            .arg(::getpid())
            .toUtf8();
    if (!writeOwnFile(record, text, O_TRUNC))
        return QStringLiteral("Tarnivo cannot write in its working folder %1: %2.")
            .arg(work, QString::fromLocal8Bit(strerror(errno)));
    return QString();
}

}  // namespace tarnivo
