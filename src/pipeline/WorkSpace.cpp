#include "WorkSpace.h"

#include "MediaProbe.h"
#include "ProcessRunner.h"

#include <QFile>

#include <algorithm>
#include <cmath>

#include <sys/statvfs.h>

namespace tarnivo {

namespace {

constexpr qint64 kMegabyte = 1000 * 1000;
// Batch files, the marker, the containers' headers: a little room beyond frames and sound.
constexpr qint64 kSlackBytes = 1 * kMegabyte;
// The sound is extracted as two channels of 16-bit samples, once as read and once reversed.
constexpr qint64 kSoundBytesPerSample = 2 * 2;
constexpr double kDefaultSampleRate = 48000;
// An AVI file stores each frame behind an 8-byte chunk header and a 16-byte index entry.
constexpr qint64 kAviBytesPerFrame = 8 + 16;
// The most a frame can take as JPEG at the best quality: pure noise with full colour resolution
// (4:4:4) takes about 2.2 bytes per picture element. A film that fits even at this size is
// not measured.
constexpr double kMostJpegBytesPerPixel = 3.0;
// The packets are read from this long before the stated end, so that a true end somewhat
// earlier than the stated one is still found without reading the whole film.
constexpr double kEndSearchSeconds = 10.0;
constexpr qint64 kDefaultBlockBytes = 4096;

QString megabytes(qint64 bytes) { return QString::number((bytes + kMegabyte - 1) / kMegabyte); }

qint64 blockBytes(const QString& folder)
{
    struct statvfs info;
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0 || info.f_frsize == 0)
        return kDefaultBlockBytes;
    return static_cast<qint64>(info.f_frsize);
}

qint64 roundedUp(qint64 bytes, qint64 block) { return (bytes + block - 1) / block * block; }

// The sizes of the JPEG files that `count` frames from `seconds` on become, written by ffmpeg
// exactly as the extraction writes them but into a pipe, as a list of frame sizes ("framecrc").
std::vector<qint64> sampleFrameSizes(const FilmForRoom& film, double seconds, int count, RunningTools& tools)
{
    // The same JPEG options as the extraction: the quantiser floor alone changes a frame's
    // size by about a third.
    const QStringList arguments =
        QStringList{QStringLiteral("-nostdin"),
                    QStringLiteral("-v"),
                    QStringLiteral("error"),
                    QStringLiteral("-ss"),
                    QString::number(seconds, 'f', 6),
                    QStringLiteral("-i"),
                    QStringLiteral("file:") + film.source,
                    QStringLiteral("-map"),
                    QStringLiteral("0:v:0"),
                    QStringLiteral("-an")} +
        film.frameWriterOptions +
        QStringList{QStringLiteral("-vf"),  film.frameFilters,          QStringLiteral("-frames:v"),
                    QString::number(count), QStringLiteral("-c:v"),     QStringLiteral("mjpeg"),
                    QStringLiteral("-f"),   QStringLiteral("framecrc"), QStringLiteral("-")};
    const ProgramRun run = RunProgramAndWait(QStringLiteral("ffmpeg"), arguments, tools);
    std::vector<qint64> sizes;
    if (run.exitStatus != 0)
        return sizes;
    // "stream, dts, pts, duration, size, checksum"; lines starting with "#" describe the stream.
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (line.startsWith('#') || fields.size() < 6)
            continue;
        bool ok = false;
        const qint64 size = fields[4].trimmed().toLongLong(&ok);
        if (ok && size > 0)
            sizes.push_back(size);
    }
    return sizes;
}

// Where to measure, in seconds from the file's start: kSamplePoints points spread evenly over
// the frames, each moved back to the key frame at or before it (one ffprobe run reads the first
// packet after a seek to each), so that ffmpeg decodes no frame it does not measure. Each point
// once; the points themselves when the packets cannot be read there.
std::vector<double> samplePoints(const FilmForRoom& film, const WorkSpaceEstimate& length,
                                 RunningTools& tools)
{
    const SourceFacts& facts = *film.facts;
    const double rate = FrameRateValue(facts.frameRate);
    std::vector<double> points;
    QStringList intervals;
    for (int point = 0; point < kSamplePoints; ++point) {
        // On a frame's start: a seek into the middle of the last frame finds nothing.
        points.push_back(film.spanStart + length.frames * point / kSamplePoints / rate);
        intervals << QString::number(facts.fileStart + points.back(), 'f', 6) + QStringLiteral("%+#1");
    }
    const ProgramRun run = RunProgramAndWait(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time,dts_time"),
         QStringLiteral("-of"), QStringLiteral("csv=p=0"), QStringLiteral("-read_intervals"),
         intervals.join(QLatin1Char(',')), QStringLiteral("file:") + film.source},
        tools);
    std::vector<double> keyFrames;
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        double time = fields.value(0).toDouble(&ok);
        if (!ok)
            time = fields.value(1).toDouble(&ok);
        if (ok)
            keyFrames.push_back(std::max(0.0, time - facts.fileStart));
    }
    std::vector<double>& chosen = keyFrames.empty() ? points : keyFrames;
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

// Where the film's picture (or, without one, its sound) truly ends: its packets decide, the
// header's claim only says where to look.
double trueEnd(const FilmForRoom& film, RunningTools& tools)
{
    const SourceFacts& facts = *film.facts;
    const QString kind = facts.hasPicture ? QStringLiteral("v") : QStringLiteral("a");
    const double end = StreamEndFromPackets(film.source, facts, kind,
                                            std::max(0.0, facts.statedEnd - kEndSearchSeconds), tools);
    return end > 0 ? end : facts.statedEnd;
}

// The peak of the working folder over the reversal's stages, in the order they run: the frames
// (each a file of its own, rounded up to whole blocks) with the sound as extracted and reversed;
// the frames with the reversed sound and the video rebuilt from them; then the rebuilt video and
// the reversed sound joined into the result, which holds both again.
qint64 peakBytes(qint64 frameFiles, qint64 rebuiltVideo, qint64 sound)
{
    const qint64 soundStage = frameFiles + 2 * sound;
    const qint64 rebuildStage = frameFiles + rebuiltVideo + sound;
    const qint64 joinStage = 2 * (rebuiltVideo + sound);
    return std::max({soundStage, rebuildStage, joinStage}) + kSlackBytes;
}

qint64 soundBytes(const SourceFacts& facts, double seconds)
{
    if (!facts.hasSound)
        return 0;
    const double rate = facts.sampleRate > 0 ? facts.sampleRate : kDefaultSampleRate;
    return static_cast<qint64>(seconds * rate) * kSoundBytesPerSample;
}

// The estimate for a given frame size: per frame file on disk and per frame in the video.
WorkSpaceEstimate estimateFor(WorkSpaceEstimate estimate, const SourceFacts& facts, double frameFileBytes)
{
    const qint64 frameFiles = static_cast<qint64>(std::ceil(estimate.frames * frameFileBytes));
    const qint64 rebuilt =
        static_cast<qint64>(std::ceil(estimate.frames * (estimate.frameBytes + kAviBytesPerFrame)));
    estimate.bytes = peakBytes(frameFiles, rebuilt, soundBytes(facts, estimate.seconds));
    return estimate;
}

// The film's length and frame count alone (bytes still unknown).
// The film's length and frame count for a picture (or sound) ending at `end` (bytes still
// unknown).
WorkSpaceEstimate lengthFor(const FilmForRoom& film, double end)
{
    WorkSpaceEstimate estimate;
    const SourceFacts& facts = *film.facts;
    const double rate = FrameRateValue(facts.frameRate);
    if (facts.hasPicture && rate > 0) {
        estimate.frames = std::max<qint64>(0, std::llround((end - film.spanStart) * rate));
        estimate.seconds = estimate.frames / rate;
    } else {
        estimate.seconds = std::max(0.0, end);
    }
    return estimate;
}

WorkSpaceEstimate lengthOf(const FilmForRoom& film, RunningTools& tools)
{
    return lengthFor(film, trueEnd(film, tools));
}

// One frame file of that size on disk, in whole blocks.
double onDisk(double frameBytes, qint64 block)
{
    return static_cast<double>(roundedUp(static_cast<qint64>(std::ceil(frameBytes)), block));
}

// True when the film fits even if every frame were as large as a JPEG frame can be.
bool fitsAtMost(const FilmForRoom& film, const WorkSpaceEstimate& length, qint64 block, qint64 free)
{
    WorkSpaceEstimate most = length;
    most.frameBytes = film.facts->pixels * kMostJpegBytesPerPixel;
    return estimateFor(most, *film.facts, onDisk(most.frameBytes, block)).bytes <= free;
}

// Measures kSamplePoints x kFramesPerSamplePoint frames at points spread over the picture (more
// at each point when several points share a key frame); false when none was written.
bool measureFrames(const FilmForRoom& film, qint64 block, WorkSpaceEstimate& estimate, double* frameFileBytes,
                   RunningTools& tools)
{
    const std::vector<double> points = samplePoints(film, estimate, tools);
    const int perPoint =
        static_cast<int>((kSamplePoints * kFramesPerSamplePoint + points.size() - 1) / points.size());
    qint64 bytes = 0;
    qint64 onDisk = 0;
    qint64 count = 0;
    for (double seconds : points) {
        for (qint64 size : sampleFrameSizes(film, seconds, perPoint, tools)) {
            bytes += size;
            onDisk += roundedUp(size, block);
            ++count;
        }
    }
    if (count == 0)
        return false;
    estimate.frameBytes = static_cast<double>(bytes) / count;
    *frameFileBytes = static_cast<double>(onDisk) / count;
    estimate.measured = true;
    return true;
}

// The estimate for a film of known length: from its own frames, or when none of them could be
// written for measuring, from kJpegBytesPerPixel.
WorkSpaceEstimate measuredEstimate(const FilmForRoom& film, WorkSpaceEstimate estimate, qint64 block,
                                   RunningTools& tools)
{
    double frameFileBytes = 0;
    if (film.facts->hasPicture && estimate.frames > 0 &&
        !measureFrames(film, block, estimate, &frameFileBytes, tools)) {
        estimate.frameBytes = film.facts->pixels * kJpegBytesPerPixel;
        frameFileBytes = onDisk(estimate.frameBytes, block);
    }
    return estimateFor(estimate, *film.facts, frameFileBytes);
}

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

WorkSpaceEstimate EstimateWorkSpace(const FilmForRoom& film, const QString& workFolder, RunningTools& tools)
{
    const WorkSpaceEstimate length = lengthOf(film, tools);
    return length.seconds > 0 ? measuredEstimate(film, length, blockBytes(workFolder), tools) : length;
}

QString CheckRoomForReversal(const FilmForRoom& film, const QString& workFolder, RunningTools& tools)
{
    const qint64 free = FreeBytes(workFolder);
    if (free < 0)
        return QString();
    const qint64 block = blockBytes(workFolder);
    // Reading packets and measuring frames take runs of ffprobe and ffmpeg: not worth it when
    // even the largest frames fit, for the length the film states and then for its true one.
    if (film.facts->statedEnd > 0 && fitsAtMost(film, lengthFor(film, film.facts->statedEnd), block, free))
        return QString();
    const WorkSpaceEstimate length = lengthOf(film, tools);
    if (length.seconds <= 0 || fitsAtMost(film, length, block, free))
        return QString();
    const WorkSpaceEstimate estimate = measuredEstimate(film, length, block, tools);
    if (estimate.bytes <= free)
        return QString();
    return QStringLiteral("not enough room in the working folder %1: reversing this file needs about "
                          "%2 MB there and %3 MB are free. Free some space there, or set TEMP to a "
                          "folder on a disk with more room (TEMP=/path/to/folder).")
        .arg(workFolder, megabytes(estimate.bytes), megabytes(free));
}

}  // namespace tarnivo
