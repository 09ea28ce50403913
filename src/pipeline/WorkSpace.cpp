#include "WorkSpace.h"

#include "ProcessRunner.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

struct SourceSize {
    bool known = false;
    double seconds = 0;
    double pixels = 0;  // width x height of the picture
    double sampleRate = 0;
};

double number(const QJsonValue& value) { return value.toString().toDouble(); }

SourceSize measure(const QString& source, RunningTools& tools)
{
    const ProgramRun run =
        RunProgramAndWait(QStringLiteral("ffprobe"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                           QStringLiteral("format=duration:stream=codec_type,width,height,sample_rate"),
                           QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("file:") + source},
                          tools);
    SourceSize size;
    if (run.exitStatus != 0)
        return size;
    const QJsonObject probe = QJsonDocument::fromJson(run.output).object();
    size.seconds = number(probe.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")));
    for (const QJsonValue& value : probe.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("video") && size.pixels == 0)
            size.pixels = stream.value(QStringLiteral("width")).toDouble() *
                          stream.value(QStringLiteral("height")).toDouble();
        if (type == QLatin1String("audio") && size.sampleRate == 0)
            size.sampleRate = number(stream.value(QStringLiteral("sample_rate")));
    }
    size.known = size.seconds > 0;
    return size;
}

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

qint64 WorkSpaceNeeded(const QString& source, double frameRate, bool withPicture, bool withSound,
                       RunningTools& tools)
{
    const SourceSize size = measure(source, tools);
    if (!size.known)
        return -1;
    double bytes = kSlackBytes;
    if (withPicture && frameRate > 0)
        bytes += kFramePeakFactor * size.seconds * frameRate * size.pixels * kJpegBytesPerPixel;
    if (withSound) {
        const double rate = size.sampleRate > 0 ? size.sampleRate : kDefaultSampleRate;
        bytes += kSoundCopies * size.seconds * rate * kSoundBytesPerSample;
    }
    return static_cast<qint64>(bytes);
}

QString CheckRoomForReversal(const QString& source, double frameRate, bool withPicture, bool withSound,
                             const QString& workFolder, RunningTools& tools)
{
    const qint64 needed = WorkSpaceNeeded(source, frameRate, withPicture, withSound, tools);
    const qint64 free = FreeBytes(workFolder);
    if (needed < 0 || free < 0 || needed <= free)
        return QString();
    return QStringLiteral("not enough room in the working folder %1: reversing this file needs about "
                          "%2 MB there and %3 MB are free. Free some space there, or set TEMP to a "
                          "folder on a disk with more room (TEMP=/path/to/folder).")
        .arg(workFolder, megabytes(needed), megabytes(free));
}

}  // namespace tarnivo
