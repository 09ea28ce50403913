#include "OutputName.h"

#include "OutputFolder.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// The hidden name keeps at most this much of the base name: it only has to be recognisable.
constexpr int kBaseCharactersInTemporaryName = 60;

// The printable characters FAT and exFAT refuse, as they are told.
const QString kFatRefusedPrintable = QStringLiteral("\"*:<>?\\|");

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString unitName(const NamingPolicy& policy)
{
    return policy.limitInUtf16 ? QStringLiteral("characters") : QStringLiteral("bytes");
}

// The longest start of text whose length under the policy is at most room, never splitting a
// character.
QString cutToLength(const NamingPolicy& policy, const QString& text, int room)
{
    int used = 0;
    int end = 0;
    while (end < text.size()) {
        const int width = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int size = NameLength(policy, text.mid(end, width));
        if (used + size > room)
            break;
        used += size;
        end += width;
    }
    return text.left(end);
}

bool holdsRefused(const NamingPolicy& policy, QChar c)
{
    return c == u'/' || c.unicode() == 0 || policy.refusedCharacters.contains(c);
}

// Test-only: TARNIVO_TEST_REFUSE_NOREPLACE makes renaming and linking without replacing fail
// as they do on FAT and exFAT through FUSE (renameat2 EINVAL, link EPERM), so that the tests
// cover the naming by claim on any file system.
bool noReplaceCallsRefusedForTest() { return qEnvironmentVariableIsSet("TARNIVO_TEST_REFUSE_NOREPLACE"); }

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
Move moveOntoClaim(const OutputFolder& folder, const QByteArray& from, const QByteArray& to)
{
    const int fd = folder.Descriptor();
    struct stat claimed {};
    if (const int error = ClaimName(folder, QFile::decodeName(to), &claimed); error != 0)
        return {error, QString()};
    auto isClaim = [&] {
        struct stat there {};
        return ::fstatat(fd, to.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(there, claimed) &&
               there.st_size == 0;
    };
    if (!isClaim())
        return {EEXIST, QString()};  // the claim was taken away and the name is another's now
    if (::renameat(fd, from.constData(), fd, to.constData()) == 0)
        return {};
    const int error = errno;
    if (isClaim())
        ::unlinkat(fd, to.constData(), 0);
    return {error, QStringLiteral("the output folder's file system did not let the result replace the "
                                  "empty file that reserved its name: %1")
                       .arg(systemError(error))};
}

// Moves in the policy's way; a way the file system turns out not to have after all gives way
// to the next one (rename, link, claim).
Move moveWithoutReplacing(const OutputFolder& folder, const QByteArray& from, const QByteArray& to)
{
    const int fd = folder.Descriptor();
    using Way = NamingPolicy::Move;
    const Way way = folder.Policy().move;
    if (way == Way::Rename) {
        if (RenameWithoutReplacing(fd, from.constData(), to.constData()))
            return {};
        if (!callNotSupported(errno) || errno == EPERM)
            return {errno, QString()};
    }
    if (way != Way::Claim) {
        if (LinkWithoutReplacing(fd, from.constData(), to.constData())) {
            ::unlinkat(fd, from.constData(), 0);
            return {};
        }
        if (!callNotSupported(errno))
            return {errno, QString()};
    }
    return moveOntoClaim(folder, from, to);
}

}  // namespace

QString CharactersFatRefuses()
{
    QString characters = kFatRefusedPrintable;
    for (char16_t c = 1; c < 0x20; ++c)
        characters += QChar(c);
    return characters;
}

int NameLength(const NamingPolicy& policy, const QString& name)
{
    return policy.limitInUtf16 ? static_cast<int>(name.size())
                               : static_cast<int>(QFile::encodeName(name).size());
}

QString NameBase(const NamingPolicy& policy, const QString& base)
{
    QString name = base;
    for (QChar& c : name) {
        if (holdsRefused(policy, c))
            c = QLatin1Char('_');
    }
    return name;
}

FittedName CandidateName(const NamingPolicy& policy, const QString& base, int counter,
                         const QString& extension)
{
    const QString safeBase = NameBase(policy, base);
    const QString tail = (counter < 0 ? QString() : QString::number(counter)) + extension;
    const int room = policy.nameLimit - NameLength(policy, tail);
    if (room < 0 || (room == 0 && !safeBase.isEmpty()))
        return {};
    if (NameLength(policy, safeBase) <= room)
        return {safeBase + tail, false};
    // Spaces left at the cut would be trimmed from any other name as well.
    QString stem = cutToLength(policy, safeBase, room);
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    return {stem + tail, true};
}

QString TemporaryName(const NamingPolicy& policy, const QString& base, const QString& jobTag,
                      const QString& extension)
{
    const QString fixed = QStringLiteral(".tarnivo-") + jobTag + extension;
    const int room = policy.nameLimit - 1 - NameLength(policy, fixed);
    if (room < 0)
        return QString();
    NamingPolicy characters;
    characters.limitInUtf16 = true;
    const QString recognisable =
        cutToLength(characters, NameBase(policy, base), kBaseCharactersInTemporaryName);
    return QLatin1Char('.') + cutToLength(policy, recognisable, room) + fixed;
}

QString OutputNamesProblem(const NamingPolicy& policy, const QString& base, const QString& extension)
{
    for (const QChar c : extension) {
        if (holdsRefused(policy, c))
            return QStringLiteral(
                       "the output's extension \"%1\" holds \"%2\", which the output folder's file "
                       "system takes in no name")
                .arg(extension, c.unicode() < 0x20 ? QStringLiteral("a control character") : QString(c));
    }
    if (CandidateName(policy, base, kLastOutputNumber, extension).name.isEmpty())
        return QStringLiteral("the output's extension \"%1\" leaves no room for a name within the %2 %3 that "
                              "the output folder's file system allows")
            .arg(extension)
            .arg(policy.nameLimit)
            .arg(unitName(policy));
    if (TemporaryName(policy, base, QString(kJobTagLength, u'0'), extension).isEmpty())
        return QStringLiteral("the hidden name that the result is written under until it is whole "
                              "(\"..tarnivo-TAG%1\") needs %2 %3, more than the %4 that the output "
                              "folder's file system allows")
            .arg(extension)
            .arg(NameLength(policy, QStringLiteral("..tarnivo-") + QString(kJobTagLength, u'0') + extension))
            .arg(unitName(policy))
            .arg(policy.nameLimit);
    return QString();
}

QString ShortenedNameNote(const NamingPolicy& policy)
{
    return QStringLiteral("the name was shortened to the %1 %2 that the output folder's file system allows")
        .arg(policy.nameLimit)
        .arg(unitName(policy));
}

QString RefusedCharactersNote(const NamingPolicy& policy)
{
    QStringList refused;
    for (const QChar c : kFatRefusedPrintable) {
        if (policy.refusedCharacters.contains(c))
            refused << QString(c);
    }
    if (refused.isEmpty())
        return QStringLiteral("the output folder's file system takes no control characters in a name: each "
                              "was made _");
    return QStringLiteral("the output folder's file system takes no %1 in a name: each was made _")
        .arg(refused.join(QLatin1Char(' ')));
}

QString CreateTemporaryOutput(const OutputFolder& folder, const QString& base, const QString& extension,
                              QString* problem)
{
    const QString name = TemporaryName(folder.Policy(), base, folder.JobTag(), extension);
    if (name.isEmpty()) {
        *problem = OutputNamesProblem(folder.Policy(), base, extension);
        return QString();
    }
    const QByteArray native = QFile::encodeName(name);
    int error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::openat(folder.Descriptor(), native.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        error = errno;
        // The job's tag is its own: a file of that name is what an earlier conversion of this
        // job could not remove.
        if (error != EEXIST || ::unlinkat(folder.Descriptor(), native.constData(), 0) != 0)
            break;
    }
    *problem =
        QStringLiteral("cannot write in the output folder %1: %2").arg(folder.Name(), systemError(error));
    return QString();
}

QString JobTagOf(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.(?:.*\\.)?tarnivo-([0-9a-f]{%1}).*$").arg(kJobTagLength),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(name).captured(1);
}

bool RenameWithoutReplacing(int folder, const char* from, const char* to)
{
    if (noReplaceCallsRefusedForTest()) {
        errno = EINVAL;
        return false;
    }
    return ::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0;
}

bool LinkWithoutReplacing(int folder, const char* from, const char* to)
{
    if (noReplaceCallsRefusedForTest()) {
        errno = EPERM;
        return false;
    }
    return ::linkat(folder, from, folder, to, 0) == 0;
}

int ClaimName(const OutputFolder& folder, const QString& name, struct stat* claimed)
{
    const int fd = ::openat(folder.Descriptor(), QFile::encodeName(name).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    const bool known = ::fstat(fd, claimed) == 0;
    if (known)
        folder.RecordClaim(name, *claimed);
    ::close(fd);  // some shares refuse to replace a file that is open
    if (known)
        return 0;
    ::unlinkat(folder.Descriptor(), QFile::encodeName(name).constData(), 0);
    return EIO;
}

FittedName PublishOutput(const OutputFolder& folder, const QString& temporaryName, const QString& base,
                         const QString& extension, QString* problem)
{
    const QByteArray from = QFile::encodeName(temporaryName);
    for (int counter = -1; counter <= kLastOutputNumber; ++counter) {
        const FittedName target = CandidateName(folder.Policy(), base, counter, extension);
        if (target.name.isEmpty())
            break;
        const Move move = moveWithoutReplacing(folder, from, QFile::encodeName(target.name));
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
