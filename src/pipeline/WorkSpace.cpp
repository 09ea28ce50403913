#include "WorkSpace.h"

#include "MediaProbe.h"

#include <QFile>

#include <sys/statvfs.h>

namespace tarnivo {

namespace {

constexpr qint64 kMegabyte = 1000 * 1000;
// Batch files, the marker, rounding: a little room beyond the frames and the sound.
constexpr qint64 kSlackBytes = 4 * kMegabyte;
// The sound is extracted as two channels of 16-bit samples, once as read and once reversed.
constexpr qint64 kSoundBytesPerSample = 2 * 2;
constexpr int kSoundCopies = 2;
constexpr double kDefaultSampleRate = 48000;

QString megabytes(qint64 bytes) { return QString::number((bytes + kMegabyte - 1) / kMegabyte); }

}  // namespace

qint64 FreeBytes(const QString& folder)
{
    bool overridden = false;
    const qint64 testFigure = qEnvironmentVariable("TARNIVO_TEST_FREE_BYTES").toLongLong(&overridden);
    if (overridden)
        return testFigure;
    struct statvfs info;
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
}

qint64 WorkSpaceNeeded(const SourceFacts& source)
{
    if (source.duration <= 0)
        return -1;
    double bytes = kSlackBytes;
    const double frameRate = FrameRateValue(source.frameRate);
    if (source.hasPicture && frameRate > 0)
        bytes += kFramePeakFactor * source.duration * frameRate * source.pixels * kJpegBytesPerPixel;
    if (source.hasSound) {
        const double rate = source.sampleRate > 0 ? source.sampleRate : kDefaultSampleRate;
        bytes += kSoundCopies * source.duration * rate * kSoundBytesPerSample;
    }
    return static_cast<qint64>(bytes);
}

QString CheckRoomForReversal(const SourceFacts& source, const QString& workFolder)
{
    const qint64 needed = WorkSpaceNeeded(source);
    const qint64 free = FreeBytes(workFolder);
    if (needed < 0 || free < 0 || needed <= free)
        return QString();
    return QStringLiteral("not enough room in the working folder %1: reversing this file needs about "
                          "%2 MB there and %3 MB are free. Free some space there, or set TEMP to a "
                          "folder on a disk with more room (TEMP=/path/to/folder).")
        .arg(workFolder, megabytes(needed), megabytes(free));
}

}  // namespace tarnivo
