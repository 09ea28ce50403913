#include "OutputFolder.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tarnivo {

namespace {

constexpr int kJobFileAttempts = 16;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray native(const QString& name) { return QFile::encodeName(name); }

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A tag of this machine and its process space, the first four characters of every job tag: a
// lock is known to hold across machines only on some file systems, so a folder on a share
// that other machines (or sandboxes) write in keeps their files.
QString machineTag()
{
    static const QString tag = [] {
        QByteArray identity;
        for (const char* path : {"/etc/machine-id", "/proc/sys/kernel/hostname"}) {
            QFile file(QString::fromLatin1(path));
            if (file.open(QIODevice::ReadOnly))
                identity += file.readAll().trimmed() + '\n';
        }
        char processSpace[64] = {};
        const ssize_t length = ::readlink("/proc/self/ns/pid", processSpace, sizeof processSpace - 1);
        if (length > 0)
            identity += QByteArray(processSpace, static_cast<int>(length));
        quint32 hash = 2166136261u;  // FNV-1a
        for (const char byte : identity)
            hash = (hash ^ static_cast<unsigned char>(byte)) * 16777619u;
        return QStringLiteral("%1").arg(static_cast<quint16>(hash ^ (hash >> 16)), 4, 16, QLatin1Char('0'));
    }();
    return tag;
}

QString jobFileName(const QString& tag) { return QStringLiteral(".tarnivo-") + tag + QStringLiteral(".job"); }

// The start of the names the folder is tried with: they carry the job's tag, so what a job
// killed while trying leaves is removed with its other files.
QString probeStart(const QString& tag) { return QStringLiteral(".tarnivo-") + tag + QStringLiteral(".p"); }

// Whether a new file of that name can be made in the folder; it is removed again.
bool canCreate(int folder, const QString& name, int* error = nullptr)
{
    const int fd = ::openat(folder, native(name).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = errno;
        return false;
    }
    ::close(fd);
    ::unlinkat(folder, native(name).constData(), 0);
    return true;
}

// The longest name the folder takes, at most what its file system states.
int findNameLimit(int folder, const QString& tag, int stated)
{
    const QString start = probeStart(tag);
    auto fits = [&](int length, int* error = nullptr) {
        return canCreate(folder, start + QString(length - start.size(), u'n'), error);
    };
    int error = 0;
    if (stated <= start.size() || fits(stated, &error) || error != ENAMETOOLONG)
        return stated;  // a name as long as stated fits, or the write test tells what is wrong
    int shortest = start.size();
    int longest = stated - 1;
    while (shortest < longest) {
        const int middle = (shortest + longest + 1) / 2;
        if (fits(middle))
            shortest = middle;
        else
            longest = middle - 1;
    }
    return shortest;
}

// Whether the limit counts UTF-16 units (FAT, exFAT, NTFS) rather than bytes: there a name of
// as many two-byte letters fits too.
bool limitCountsUtf16(int folder, const QString& tag, int limit)
{
    const QString start = probeStart(tag);
    return limit > start.size() && canCreate(folder, start + QString(limit - start.size(), QChar(0xe9)));
}

// The characters of CharactersFatRefuses that the folder refuses in a name.
QString findRefusedCharacters(int folder, const QString& tag)
{
    const QString candidates = CharactersFatRefuses();
    const QString start = probeStart(tag) + QLatin1Char('c');
    if (canCreate(folder, start + candidates))
        return QString();
    QString refused;
    for (const QChar c : candidates) {
        if (!canCreate(folder, start + c))
            refused += c;
    }
    return refused;
}

// How a result can take a name without replacing anything there.
NamingPolicy::Move findMoveWithoutReplacing(int folder, const QString& tag)
{
    const QByteArray from = native(probeStart(tag) + QStringLiteral("from"));
    const QByteArray to = native(probeStart(tag) + QStringLiteral("to"));
    const int fd =
        ::openat(folder, from.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return NamingPolicy::Move::Rename;  // the publishing finds its way on its own
    ::close(fd);
    NamingPolicy::Move move = NamingPolicy::Move::Rename;
    if (!RenameWithoutReplacing(folder, from.constData(), to.constData())) {
        move = LinkWithoutReplacing(folder, from.constData(), to.constData()) ? NamingPolicy::Move::Link
                                                                              : NamingPolicy::Move::Claim;
    }
    ::unlinkat(folder, from.constData(), 0);
    ::unlinkat(folder, to.constData(), 0);
    return move;
}

// A claim that a job's file records: the name and the empty file it made there.
struct RecordedClaim {
    QString name;
    dev_t device = 0;
    ino_t inode = 0;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
};

QList<RecordedClaim> claimsIn(int jobFile)
{
    QByteArray text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::pread(jobFile, buffer, sizeof buffer, text.size())) > 0)
        text.append(buffer, static_cast<int>(count));
    QList<RecordedClaim> claims;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 6 || fields[0] != "claim")
            continue;
        claims.append(
            {QFile::decodeName(QByteArray::fromHex(fields[5])), static_cast<dev_t>(fields[1].toULongLong()),
             static_cast<ino_t>(fields[2].toULongLong()), fields[3].toLongLong(), fields[4].toLongLong()});
    }
    return claims;
}

}  // namespace

OutputFolder::~OutputFolder() { Close(); }

OutputFolder::OutputFolder(OutputFolder&& other) noexcept { *this = std::move(other); }

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_jobFile = other.m_jobFile;
        m_prefix = other.m_prefix;
        m_tag = other.m_tag;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_policy = other.m_policy;
        other.m_fd = -1;
        other.m_jobFile = -1;
    }
    return *this;
}

void OutputFolder::Close()
{
    if (m_jobFile >= 0) {
        ::unlinkat(m_fd, native(jobFileName(m_tag)).constData(), 0);
        ::close(m_jobFile);  // and with it the lock
    }
    m_jobFile = -1;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QString OutputFolder::Open(const QString& text)
{
    Close();
    const QString path = text.isEmpty() ? QString() : QDir::current().absoluteFilePath(text);
    m_prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    // Reading the folder lets the job find what its killed runs left; a folder that may be
    // entered but not listed is still held.
    const QByteArray encoded = native(path);
    m_fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0 && errno == EACCES)
        m_fd = ::open(encoded.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        return error == ENOENT || error == ENOTDIR
                   ? QStringLiteral("Folder does not exist. Please select another folder.")
                   : QStringLiteral(
                         "Tarnivo cannot open the output folder %1: %2. Please select another folder.")
                         .arg(Name(), systemError(error));
    }
    struct stat folder {};
    if (::fstat(m_fd, &folder) == 0) {
        m_device = folder.st_dev;
        m_inode = folder.st_ino;
    }
    // The one sure test of writing there: the job's own file.
    if (const QString problem = StartJobFile(); !problem.isEmpty()) {
        Close();
        return QStringLiteral(
                   "Tarnivo cannot write in the output folder %1: %2. Please select another folder.")
            .arg(Name(), problem);
    }
    struct statvfs fileSystem {};
    const int stated = ::fstatvfs(m_fd, &fileSystem) == 0 && fileSystem.f_namemax > 0
                           ? static_cast<int>(std::min<unsigned long>(fileSystem.f_namemax, 4096))
                           : 255;
    m_policy = NamingPolicy();
    m_policy.nameLimit = findNameLimit(m_fd, m_tag, stated);
    m_policy.limitInUtf16 = limitCountsUtf16(m_fd, m_tag, m_policy.nameLimit);
    m_policy.refusedCharacters = findRefusedCharacters(m_fd, m_tag);
    m_policy.move = findMoveWithoutReplacing(m_fd, m_tag);
    struct stat jobFile {};
    m_policy.ownersRecorded = ::fstat(m_jobFile, &jobFile) == 0 && jobFile.st_uid == ::geteuid();
    return QString();
}

// Creates the job's own file under a new tag and holds its lock. A job that tidies the folder
// may take a new file's lock in the instant before its maker does, and then removes it: the
// file counts only once its lock is held and its name still leads to it.
QString OutputFolder::StartJobFile()
{
    int error = EEXIST;
    for (int attempt = 0; attempt < kJobFileAttempts; ++attempt) {
        const QString tag = machineTag() + QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8,
                                                                    16, QLatin1Char('0'));
        const QByteArray name = native(jobFileName(tag));
        const int fd =
            ::openat(m_fd, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = errno;
            if (error == EEXIST)
                continue;
            return systemError(error);
        }
        // Where the file system has no locks at all, no other job can take this one either.
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat opened {};
        struct stat named {};
        if (taken || ::fstat(fd, &opened) != 0 ||
            ::fstatat(m_fd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(opened, named)) {
            ::close(fd);
            continue;
        }
        const QByteArray note = QStringLiteral("A Tarnivo job (process %1) writes into this folder while it "
                                               "holds this file.\n")
                                    .arg(::getpid())
                                    .toUtf8();
        [[maybe_unused]] const ssize_t written =
            ::write(fd, note.constData(), static_cast<size_t>(note.size()));
        m_jobFile = fd;
        m_tag = tag;
        return QString();
    }
    return systemError(error);
}

QString OutputFolder::Name() const
{
    return m_prefix.size() > 1 && m_prefix.endsWith(QLatin1Char('/')) ? m_prefix.chopped(1) : m_prefix;
}

QString OutputFolder::MovedProblem() const
{
    struct stat now {};
    if (::stat(native(m_prefix).constData(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode)
        return QString();
    return QStringLiteral("the output folder %1 was moved or deleted").arg(Name());
}

void OutputFolder::RecordClaim(const QString& name, const struct stat& claimed) const
{
    if (m_jobFile < 0)
        return;
    const QByteArray line = "claim " + QByteArray::number(static_cast<qulonglong>(claimed.st_dev)) + ' ' +
                            QByteArray::number(static_cast<qulonglong>(claimed.st_ino)) + ' ' +
                            QByteArray::number(static_cast<qlonglong>(claimed.st_mtim.tv_sec)) + ' ' +
                            QByteArray::number(static_cast<qlonglong>(claimed.st_mtim.tv_nsec)) + ' ' +
                            native(name).toHex() + '\n';
    [[maybe_unused]] const ssize_t written =
        ::write(m_jobFile, line.constData(), static_cast<size_t>(line.size()));
}

int OutputFolder::RemoveStaleTemporaries() const
{
    const int listing = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0)
            ::close(listing);
        return 0;
    }
    // The hidden names of other jobs of this machine, by their job's tag.
    QMap<QString, QStringList> namesOfJob;
    while (const dirent* entry = ::readdir(entries)) {
        const QString name = QFile::decodeName(entry->d_name);
        const QString tag = JobTagOf(name);
        if (!tag.isEmpty() && tag != m_tag && tag.startsWith(machineTag()))
            namesOfJob[tag] << name;
    }
    ::closedir(entries);

    // Only a plain file can be a job's, and where owners are recorded, only one of this user.
    auto mayRemove = [this](const QByteArray& name, struct stat* file) {
        return ::fstatat(m_fd, name.constData(), file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file->st_mode) &&
               (!m_policy.ownersRecorded || file->st_uid == ::geteuid());
    };
    int removed = 0;
    for (auto job = namesOfJob.cbegin(); job != namesOfJob.cend(); ++job) {
        const QByteArray jobFile = native(jobFileName(job.key()));
        struct stat file {};
        const int fd = ::openat(m_fd, jobFile.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT)
            continue;
        if (fd >= 0) {
            struct stat held {};
            // The job runs while it holds its file (and so does one on a file system without
            // locks, as far as anyone can tell).
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
                !mayRemove(jobFile, &file) || !sameFile(held, file)) {
                ::close(fd);
                continue;
            }
            // Its claims that are still the empty files it made.
            for (const RecordedClaim& claim : claimsIn(fd)) {
                const QByteArray name = native(claim.name);
                if (mayRemove(name, &file) && file.st_size == 0 && file.st_dev == claim.device &&
                    file.st_ino == claim.inode && file.st_mtim.tv_sec == claim.seconds &&
                    file.st_mtim.tv_nsec == claim.nanoseconds)
                    removed += ::unlinkat(m_fd, name.constData(), 0) == 0 ? 1 : 0;
            }
        }
        for (const QString& name : job.value()) {
            const QByteArray encoded = native(name);
            if (encoded != jobFile && mayRemove(encoded, &file))
                removed += ::unlinkat(m_fd, encoded.constData(), 0) == 0 ? 1 : 0;
        }
        // Its own file last, while the lock on it is held.
        if (fd >= 0) {
            removed += ::unlinkat(m_fd, jobFile.constData(), 0) == 0 ? 1 : 0;
            ::close(fd);
        }
    }
    return removed;
}

}  // namespace tarnivo
