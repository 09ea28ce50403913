#include "SourceIdentity.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tarnivo {

namespace {

bool identify(const QString& S, SourceIdentity* identity, mode_t* type)
{
    struct stat file {};
    if (::stat(QFile::encodeName(S).constData(), &file) != 0)
        return false;
    *type = file.st_mode & S_IFMT;
    *identity = {file.st_dev, file.st_ino, static_cast<qint64>(file.st_size),
                 static_cast<qint64>(file.st_mtim.tv_sec), static_cast<qint64>(file.st_mtim.tv_nsec)};
    return true;
}

QString notAFileReason(mode_t type)
{
    const char* what = type == S_IFIFO                      ? "a named pipe (FIFO)"
                       : type == S_IFSOCK                   ? "a socket"
                       : type == S_IFCHR || type == S_IFBLK ? "a device"
                       : type == S_IFDIR                    ? "a folder"
                                                            : "not a regular file";
    return QStringLiteral("it is %1, not a file: only a film saved as a regular file can be reversed")
        .arg(QLatin1String(what));
}

}  // namespace

QString RecordSourceIdentity(const QString& S, SourceIdentity* identity)
{
    mode_t type = 0;
    if (!identify(S, identity, &type))
        return QString::fromLocal8Bit(std::strerror(errno));
    return type == S_IFREG ? QString() : notAFileReason(type);
}

bool SourceUnchanged(const QString& S, const SourceIdentity& identity)
{
    SourceIdentity now;
    mode_t type = 0;
    return identify(S, &now, &type) && now.device == identity.device && now.inode == identity.inode &&
           now.size == identity.size && now.modifiedSeconds == identity.modifiedSeconds &&
           now.modifiedNanoseconds == identity.modifiedNanoseconds;
}

}  // namespace tarnivo
