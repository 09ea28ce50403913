#include "OutputFolder.h"

#include "OutputName.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// The programs whose jobs write temporary files into output folders.
const char* const kTarnivoPrograms[] = {"tarnivo", "tarnivo-reverse"};

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// True when the process runs one of Tarnivo's programs. A process id that was used again by
// another program tells that the job that wrote the file has ended; one used again by another
// Tarnivo keeps the file (for a later job to remove), which errs on the safe side.
bool runsTarnivo(qint64 processId)
{
    QFile name(QStringLiteral("/proc/%1/comm").arg(processId));
    if (!name.open(QIODevice::ReadOnly))
        return false;
    const QByteArray program = name.readAll().trimmed();
    for (const char* tarnivo : kTarnivoPrograms) {
        if (program == tarnivo)
            return true;
    }
    return false;
}

}  // namespace

OutputFolder::~OutputFolder() { Close(); }

OutputFolder::OutputFolder(OutputFolder&& other) noexcept { *this = std::move(other); }

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_prefix = other.m_prefix;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_nameLimit = other.m_nameLimit;
        other.m_fd = -1;
    }
    return *this;
}

void OutputFolder::Close()
{
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
    const QByteArray encoded = QFile::encodeName(path);
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
    struct statvfs fileSystem {};
    if (::fstat(m_fd, &folder) == 0) {
        m_device = folder.st_dev;
        m_inode = folder.st_ino;
    }
    if (::fstatvfs(m_fd, &fileSystem) == 0 && fileSystem.f_namemax > 0)
        m_nameLimit = static_cast<int>(std::min<unsigned long>(fileSystem.f_namemax, 4096));

    // The one sure test of writing there: a file of the job's own, made and removed again.
    QString problem;
    const QString probe = CreateTemporaryOutput(*this, QStringLiteral("write-test"), QString(), &problem);
    if (probe.isEmpty()) {
        Close();
        return QStringLiteral(
                   "Tarnivo cannot write in the output folder %1: %2. Please select another folder.")
            .arg(Name(), problem.section(QStringLiteral(": "), -1));
    }
    ::unlinkat(m_fd, QFile::encodeName(probe).constData(), 0);
    return QString();
}

QString OutputFolder::Name() const
{
    return m_prefix.size() > 1 && m_prefix.endsWith(QLatin1Char('/')) ? m_prefix.chopped(1) : m_prefix;
}

QString OutputFolder::MovedProblem() const
{
    struct stat now {};
    if (::stat(QFile::encodeName(m_prefix).constData(), &now) == 0 && now.st_dev == m_device &&
        now.st_ino == m_inode)
        return QString();
    return QStringLiteral("the output folder %1 was moved or deleted").arg(Name());
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
    QStringList stale;
    while (const dirent* entry = ::readdir(entries)) {
        const QString name = QFile::decodeName(entry->d_name);
        TemporaryNameParts parts;
        if (!ParseTemporaryName(name, &parts) || !parts.thisMachine || runsTarnivo(parts.processId))
            continue;
        // Only a plain file of this user can be one of this user's jobs.
        struct stat file {};
        if (::fstatat(m_fd, entry->d_name, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode) &&
            file.st_uid == ::geteuid())
            stale << name;
    }
    ::closedir(entries);
    int removed = 0;
    for (const QString& name : stale)
        removed += ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0 ? 1 : 0;
    return removed;
}

}  // namespace tarnivo
