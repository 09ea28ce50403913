#include "ToolDeployment.h"

#include "FailureReason.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
#include "WorkFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

[[noreturn]] void fail(const QString& what)
{
    // Past the session's file-size limit a write fails with EFBIG (SIGXFSZ is ignored).
    const QString reason = errno == EFBIG && FileSizeLimitBytes() >= 0
                               ? FileSizeLimitReason()
                               : QString::fromLocal8Bit(std::strerror(errno));
    throw FileRoutineError(QStringLiteral("%1: %2").arg(what, reason).toStdString());
}

// Whether path is a plain file holding exactly bytes.
bool holdsExactly(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QFileInfo(path).isFile() && !QFileInfo(path).isSymLink() && file.size() == bytes.size() &&
           file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

}  // namespace

QString ResourceProgramPath(int resource)
{
    switch (resource) {
    case kFfmpeg32Resource:
    case kFfmpeg64Resource:
        return HelperProgramFolder() + QStringLiteral("/tarnivo-ffmpeg");
    case kSpareProgramResource:
        return HelperProgramFolder() + QStringLiteral("/tarnivo-batch");
    case kSoxResource:
        return HelperProgramFolder() + QStringLiteral("/tarnivo-sox");
    case kFrameWriterResource:
        return HelperProgramFolder() + QLatin1Char('/') + QLatin1String(media::kFrameWriterProgram);
    default:
        return QString();
    }
}

QByteArray LoadResource(int resource)
{
    const QString path = ResourceProgramPath(resource);
    if (path.isEmpty())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileRoutineError(QStringLiteral("Cannot read Tarnivo's helper program %1: %2")
                                   .arg(path, file.errorString())
                                   .toStdString());
    return file.readAll();
}

QString GetAddressWidth()
{
    const QString architecture = QSysInfo::currentCpuArchitecture();
    const bool wide = architecture.contains(QLatin1String("64")) || architecture == QLatin1String("s390x");
    return wide ? QStringLiteral("64") : QStringLiteral("32");
}

void WriteBytesToFile(const QByteArray& bytes, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0700);
    if (fd < 0)
        fail(QStringLiteral("Cannot write %1").arg(path));
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            fail(QStringLiteral("Cannot write %1").arg(path));
        }
        written += count;
    }
    if (::close(fd) != 0)
        fail(QStringLiteral("Cannot write %1").arg(path));
}

void DeployTools(const StepErrorReporter& report)
{
    const QString work = WorkFolder();
    report.Run(1, [&] {
        if (!FolderExists(work) && ::mkdir(QFile::encodeName(work).constData(), 0700) != 0)
            fail(QStringLiteral("Cannot create the working folder %1").arg(work));
    });
    QString width;
    report.Run(2, [&] { width = GetAddressWidth(); });
    const int ffmpeg = width == QLatin1String("64") ? kFfmpeg64Resource : kFfmpeg32Resource;

    const std::pair<int, const char*> tools[] = {{ffmpeg, media::kFfmpegToolName},
                                                 {kSoxResource, media::kSoxToolName},
                                                 {kLibMadResource, "LibMad.dll"},
                                                 {kLibMp3LameResource, "LibMp3Lame.dll"},
                                                 {kPthreadResource, "pthreadgc2.dll"},
                                                 {kZlibResource, "zlib1.dll"},
                                                 {kFrameWriterResource, media::kFrameWriterProgram}};
    int line = 3;
    for (const auto& [resource, name] : tools) {
        report.Run(line++, [&, resource = resource, name = name] {
            const QByteArray bytes = LoadResource(resource);
            const QString target = work + QLatin1Char('/') + QLatin1String(name);
            // The libraries are the system's own: nothing to write for them. A tool that a
            // killed job of another version left is replaced, never run.
            if (bytes.isEmpty() || holdsExactly(target, bytes))
                return;
            KillFiles(target);
            WriteBytesToFile(bytes, target);
        });
    }
}

}  // namespace tarnivo
