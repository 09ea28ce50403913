#include "OutputName.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// A file name may hold 255 bytes; the temporary name adds about 40 to the base.
constexpr int kBaseCharactersInTemporaryName = 60;
constexpr int kTemporaryNameAttempts = 16;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString temporaryName(const QString& base, const QString& extension)
{
    return QStringLiteral(".%1.tarnivo-%2-%3%4")
        .arg(base.left(kBaseCharactersInTemporaryName))
        .arg(::getpid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
        .arg(extension);
}

// Renames without replacing; where the file system cannot do that in one step, a second link
// is made (which never replaces either) and the temporary name dropped. Returns 0 or an errno.
int moveWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

}  // namespace

QString CandidateName(const QString& base, int counter, const QString& extension)
{
    return (counter < 0 ? base : base + QString::number(counter)) + extension;
}

QString CreateTemporaryOutput(const QString& folder, const QString& base, const QString& extension,
                              QString* problem)
{
    int error = 0;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const QString path = folder + temporaryName(base, extension);
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    *problem = QStringLiteral("cannot write in the output folder %1: %2").arg(folder, systemError(error));
    return QString();
}

QString PublishOutput(const QString& temporary, const QString& folder, const QString& base,
                      const QString& extension, QString* problem)
{
    const QByteArray from = QFile::encodeName(temporary);
    for (int counter = -1; counter <= kLastOutputNumber; ++counter) {
        const QString target = folder + CandidateName(base, counter, extension);
        const int error = moveWithoutReplacing(from, QFile::encodeName(target));
        if (error == 0)
            return target;
        if (error != EEXIST) {
            *problem = QStringLiteral("cannot name the result %1: %2").arg(target, systemError(error));
            return QString();
        }
    }
    *problem = QStringLiteral("every output name for it was taken meanwhile");
    return QString();
}

}  // namespace tarnivo
