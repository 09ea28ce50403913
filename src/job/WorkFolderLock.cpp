#include "WorkFolderLock.h"

#include "ChildProcess.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarnivo {

WorkFolderLock::~WorkFolderLock() { Release(); }

QString WorkFolderLock::Acquire(const QString& folder)
{
    Release();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("The working folder %1 cannot be opened: %2.")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return QStringLiteral("The working folder %1 is in use by another Tarnivo job (or by a tool "
                                  "that an earlier job left running). Wait until it has finished, or give "
                                  "this job a working folder of its own by setting TEMP to another folder.")
                .arg(folder);
        return QStringLiteral("The working folder %1 cannot be locked: %2.")
            .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
    }
    m_fd = fd;
    // The tools inherit the descriptor, and with it the lock.
    SetDescriptorInheritedByTools(fd);
    return QString();
}

void WorkFolderLock::Release()
{
    if (m_fd < 0)
        return;
    SetDescriptorInheritedByTools(-1);
    ::close(m_fd);  // tools still running keep the lock through their own copies
    m_fd = -1;
}

}  // namespace tarnivo
