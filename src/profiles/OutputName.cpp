#include "OutputName.h"

#include "OutputFolder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// The temporary name keeps at most this much of the base name: it only has to be recognisable.
constexpr int kBaseCharactersInTemporaryName = 60;
constexpr int kTemporaryNameAttempts = 16;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

int byteLength(const QString& text) { return static_cast<int>(QFile::encodeName(text).size()); }

// The longest start of text that takes at most bytes bytes, never splitting a character.
QString cutToBytes(const QString& text, int bytes)
{
    int used = 0;
    int end = 0;
    while (end < text.size()) {
        const int width = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int size = byteLength(text.mid(end, width));
        if (used + size > bytes)
            break;
        used += size;
        end += width;
    }
    return text.left(end);
}

// A tag of this machine and its process space: the process id in a temporary name means a
// process of this kernel's process space only when the tag is its own. A folder on a share
// that other machines (or sandboxes) write in keeps their files.
quint16 machineTag()
{
    static const quint16 tag = [] {
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
        return static_cast<quint16>(hash ^ (hash >> 16));
    }();
    return tag;
}

// ".clip.tarnivo-PID-TTTTRRRR.avi": TTTT the machine's tag, RRRR random.
QString temporaryNameSuffix()
{
    return QStringLiteral(".tarnivo-%1-%2%3")
        .arg(::getpid())
        .arg(machineTag(), 4, 16, QLatin1Char('0'))
        .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'));
}

// The longest suffix a temporary name of this process can have, for the length checks.
int temporaryFixedBytes(const QString& extension)
{
    return 1 + byteLength(QStringLiteral(".tarnivo-%1-12345678").arg(::getpid())) + byteLength(extension);
}

// Test-only: TARNIVO_TEST_REFUSE_NOREPLACE makes renaming and linking without replacing fail
// as they do on FAT and exFAT through FUSE (renameat2 EINVAL, link EPERM), so that the tests
// cover the naming by claim on any file system.
bool noReplaceCallsRefusedForTest() { return qEnvironmentVariableIsSet("TARNIVO_TEST_REFUSE_NOREPLACE"); }

int renameWithoutReplacing(int folder, const char* from, const char* to)
{
    if (noReplaceCallsRefusedForTest()) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(folder, from, folder, to, RENAME_NOREPLACE);
}

int linkWithoutReplacing(int folder, const char* from, const char* to)
{
    if (noReplaceCallsRefusedForTest()) {
        errno = EPERM;
        return -1;
    }
    return ::linkat(folder, from, folder, to, 0);
}

// The way a file system refuses a call it does not have (as opposed to a name that is taken).
bool callNotSupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP || error == EPERM;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

struct Move {
    int error = 0;    // 0 when moved; EEXIST when the name is taken
    QString refusal;  // a failure that ends the search for a name
};

// The name is claimed by creating it exclusively (which never replaces anything and which
// every file system offers), then the result is renamed over the claim: the one file replaced
// is the job's own empty one. A claim that the file system does not let be replaced is
// removed again, while it is still the claim.
Move moveOntoClaim(int folder, const QByteArray& from, const QByteArray& to)
{
    const int fd =
        ::openat(folder, to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {errno, QString()};
    struct stat claimed {};
    const bool known = ::fstat(fd, &claimed) == 0;
    ::close(fd);  // some shares refuse to replace a file that is open
    auto isClaim = [&] {
        struct stat there {};
        return known && ::fstatat(folder, to.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
               sameFile(there, claimed) && there.st_size == 0;
    };
    if (known && !isClaim())
        return {EEXIST, QString()};  // the claim was taken away and the name is another's now
    if (known && ::renameat(folder, from.constData(), folder, to.constData()) == 0)
        return {};
    const int error = known ? errno : EIO;
    if (!known || isClaim())
        ::unlinkat(folder, to.constData(), 0);
    return {error, QStringLiteral("the output folder's file system did not let the result replace the "
                                  "empty file that reserved its name: %1")
                       .arg(systemError(error))};
}

// Renames without replacing; where the file system cannot do that in one step, a second link
// is made (which never replaces either) and the temporary name dropped; where it has neither
// (FAT and exFAT through FUSE: EINVAL, then EPERM), the name is claimed first.
Move moveWithoutReplacing(int folder, const QByteArray& from, const QByteArray& to)
{
    if (renameWithoutReplacing(folder, from.constData(), to.constData()) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return {errno, QString()};
    if (linkWithoutReplacing(folder, from.constData(), to.constData()) == 0) {
        ::unlinkat(folder, from.constData(), 0);
        return {};
    }
    if (!callNotSupported(errno))
        return {errno, QString()};
    return moveOntoClaim(folder, from, to);
}

}  // namespace

FittedName CandidateName(const QString& base, int counter, const QString& extension, int limitBytes)
{
    const QString tail = (counter < 0 ? QString() : QString::number(counter)) + extension;
    const int room = limitBytes - byteLength(tail);
    if (room < 0 || (room == 0 && !base.isEmpty()))
        return {};
    if (byteLength(base) <= room)
        return {base + tail, false};
    // Spaces left at the cut would be trimmed from any other name as well.
    QString stem = cutToBytes(base, room);
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    return {stem + tail, true};
}

QString OutputNamesProblem(const OutputFolder& folder, const QString& base, const QString& extension)
{
    const int limit = folder.NameLimit();
    if (CandidateName(base, kLastOutputNumber, extension, limit).name.isEmpty() ||
        temporaryFixedBytes(extension) > limit)
        return QStringLiteral("the output's extension \"%1\" leaves no room for a name within the %2 bytes "
                              "that the file system of the output folder %3 allows")
            .arg(extension)
            .arg(limit)
            .arg(folder.Name());
    return QString();
}

QString ShortenedNameNote(const OutputFolder& folder)
{
    return QStringLiteral(
               "the name was shortened to the %1 bytes that the output folder's file system allows")
        .arg(folder.NameLimit());
}

QString BaseNameForFatFileSystems(const QString& base)
{
    QString name = base;
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("\"*/:<>?\\|").contains(c))
            c = QLatin1Char('_');
    }
    return name;
}

QString FatFileSystemNameNote()
{
    return QStringLiteral(
        "the output folder's file system takes no \" * : < > ? \\ | in a name: each was made _");
}

QString CreateTemporaryOutput(const OutputFolder& folder, const QString& base, const QString& extension,
                              QString* problem)
{
    const QString stem = cutToBytes(base.left(kBaseCharactersInTemporaryName),
                                    folder.NameLimit() - temporaryFixedBytes(extension));
    int error = ENAMETOOLONG;
    for (int attempt = 0;
         attempt < kTemporaryNameAttempts && folder.NameLimit() >= temporaryFixedBytes(extension);
         ++attempt) {
        const QString name = QLatin1Char('.') + stem + temporaryNameSuffix() + extension;
        const int fd = ::openat(folder.Descriptor(), QFile::encodeName(name).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    *problem =
        QStringLiteral("cannot write in the output folder %1: %2").arg(folder.Name(), systemError(error));
    return QString();
}

bool ParseTemporaryName(const QString& name, TemporaryNameParts* parts)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\..*\\.tarnivo-([1-9][0-9]{0,9})-([0-9a-f]{4})[0-9a-f]{4}.*$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    parts->processId = match.captured(1).toLongLong();
    parts->thisMachine = match.captured(2).toUInt(nullptr, 16) == machineTag();
    return true;
}

FittedName PublishOutput(const OutputFolder& folder, const QString& temporaryName, const QString& base,
                         const QString& extension, QString* problem)
{
    const QByteArray from = QFile::encodeName(temporaryName);
    for (int counter = -1; counter <= kLastOutputNumber; ++counter) {
        const FittedName target = CandidateName(base, counter, extension, folder.NameLimit());
        if (target.name.isEmpty())
            break;
        const Move move = moveWithoutReplacing(folder.Descriptor(), from, QFile::encodeName(target.name));
        if (move.error == 0)
            return target;
        if (move.error != EEXIST || !move.refusal.isEmpty()) {
            *problem = QStringLiteral("cannot name the result %1: %2")
                           .arg(folder.Prefix() + target.name,
                                move.refusal.isEmpty() ? systemError(move.error) : move.refusal);
            return {};
        }
    }
    *problem = QStringLiteral("every output name for it was taken meanwhile");
    return {};
}

}  // namespace tarnivo
