#include "WorkSpace.h"

#include "ToolNames.h"
#include "FrameMaking.h"
#include "MediaProbe.h"
#include "ProcessRunner.h"
#include "ToolRun.h"

#include <QTimer>

#include <QFile>

#include <algorithm>
#include <cmath>

#include <sys/statvfs.h>

namespace tarnivo {

namespace {

constexpr qint64 kMegabyte = 1000 * 1000;
// Batch files, the marker, the containers' headers: a little room beyond frames and sound.
constexpr qint64 kSlackBytes = 1 * kMegabyte;
// The sound is extracted as 16-bit samples (in two channels, or the source's), once as read and
// once reversed.
constexpr qint64 kBytesPerSample = 2;
constexpr int kDesignedChannels = 2;
constexpr double kDefaultSampleRate = 48000;
// An AVI file stores each frame behind an 8-byte chunk header and a 16-byte index entry.
constexpr qint64 kAviBytesPerFrame = 8 + 16;
// The most a frame can take as JPEG at the best quality: pure noise with full colour resolution
// (4:4:4) takes about 2.2 bytes per picture element. A film that fits even at this size is
// not measured.
constexpr double kMostJpegBytesPerPixel = 3.0;
// As lossless JPEG files (the writer's exact frames), where noise of every value at 4:4:4 takes
// 3.3 bytes per picture element.
constexpr double kMostLosslessJpegBytesPerPixel = 4.0;
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

// The frame writer's arguments that write `count` frames from `seconds` on exactly as the
// extraction writes them, but tell only their sizes (nothing lands on disk).
QStringList sampleFramesArguments(const FilmForRoom& film, double seconds, int count)
{
    const QString chain =
        QString::fromStdString(media::WithFrameWriterFormats(film.frameFilters.toStdString()));
    return film.frameWriterOptions + QStringList{QStringLiteral("--sizes"),
                                                 QStringLiteral("--"),
                                                 QStringLiteral("-nostdin"),
                                                 QStringLiteral("-v"),
                                                 QStringLiteral("error"),
                                                 QStringLiteral("-ss"),
                                                 QString::number(seconds, 'f', 6),
                                                 QStringLiteral("-i"),
                                                 QLatin1String(media::kFileProtocol) + film.source,
                                                 QStringLiteral("-map"),
                                                 QStringLiteral("0:v:0"),
                                                 QStringLiteral("-an"),
                                                 QStringLiteral("-vf"),
                                                 chain,
                                                 QStringLiteral("-frames:v"),
                                                 QString::number(count)};
}

// The frame sizes the writer tells, one a line.
std::vector<qint64> frameSizesOf(const QByteArray& output)
{
    std::vector<qint64> sizes;
    for (const QByteArray& line : output.split('\n')) {
        bool ok = false;
        const qint64 size = line.trimmed().toLongLong(&ok);
        if (ok && size > 0)
            sizes.push_back(size);
    }
    return sizes;
}

// Where to measure, in seconds from the file's start: kSamplePoints points spread evenly over
// the frames, each moved back to the key frame at or before it (one ffprobe run reads the first
// packet after a seek to each), so that ffmpeg decodes no frame it does not measure.
std::vector<double> evenPoints(const FilmForRoom& film, const WorkSpaceEstimate& length)
{
    const double rate = FrameRateValue(film.facts.frameRate);
    std::vector<double> points;
    for (int point = 0; point < kSamplePoints; ++point) {
        // On a frame's start: a seek into the middle of the last frame finds nothing.
        points.push_back(film.spanStart + length.frames * point / kSamplePoints / rate);
    }
    return points;
}

QStringList keyFramesArguments(const FilmForRoom& film, const std::vector<double>& points)
{
    QStringList intervals;
    for (const double point : points)
        intervals << QString::number(film.facts.fileStart + point, 'f', 6) + QStringLiteral("%+#1");
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QStringLiteral("v:0"),
            QStringLiteral("-show_entries"),
            QStringLiteral("packet=pts_time,dts_time"),
            QStringLiteral("-of"),
            QStringLiteral("csv=p=0"),
            QStringLiteral("-read_intervals"),
            intervals.join(QLatin1Char(',')),
            QLatin1String(media::kFileProtocol) + film.source};
}

// Each point once; the points themselves when the packets could not be read there.
std::vector<double> chosenPoints(const FilmForRoom& film, std::vector<double> points,
                                 const QByteArray& output)
{
    std::vector<double> keyFrames;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        double time = fields.value(0).toDouble(&ok);
        if (!ok)
            time = fields.value(1).toDouble(&ok);
        if (ok)
            keyFrames.push_back(std::max(0.0, time - film.facts.fileStart));
    }
    std::vector<double>& chosen = keyFrames.empty() ? points : keyFrames;
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

// The peak of the working folder over the reversal's stages, in the order they run: the frames
// (each a file of its own, rounded up to whole blocks) with the sound as extracted and reversed;
// the frames with the reversed sound and the video rebuilt from them; then the rebuilt video and
// the reversed sound joined into the result, which holds both again. A boomerang keeps the
// extracted sound for its forward half up to the join (its frames' second names are links, which
// take no room; its rebuilt video holds them twice, see estimateFor).
qint64 peakBytes(qint64 frameFiles, qint64 rebuiltVideo, qint64 sound, bool boomerang)
{
    const qint64 keptSound = boomerang ? 2 * sound : sound;
    const qint64 soundStage = frameFiles + 2 * sound;
    const qint64 rebuildStage = frameFiles + rebuiltVideo + keptSound;
    const qint64 joinStage = 2 * (rebuiltVideo + keptSound);
    return std::max({soundStage, rebuildStage, joinStage}) + kSlackBytes;
}

qint64 soundBytes(const FilmForRoom& film, double seconds)
{
    const SourceFacts& facts = film.facts;
    if (!facts.hasSound)
        return 0;
    const double rate = facts.sampleRate > 0 ? facts.sampleRate : kDefaultSampleRate;
    const int channels = film.sourceChannels && facts.channels > 0 ? facts.channels : kDesignedChannels;
    return static_cast<qint64>(seconds * rate) * kBytesPerSample * channels;
}

// The estimate for a given frame size: per frame file on disk and per frame in the video, which
// holds the frames twice less one for a boomerang.
WorkSpaceEstimate estimateFor(WorkSpaceEstimate estimate, const FilmForRoom& film, double frameFileBytes)
{
    const qint64 frameFiles = static_cast<qint64>(std::ceil(estimate.frames * frameFileBytes));
    const qint64 videoFrames =
        film.boomerang && estimate.frames > 0 ? 2 * estimate.frames - 1 : estimate.frames;
    const qint64 rebuilt =
        static_cast<qint64>(std::ceil(videoFrames * (estimate.frameBytes + kAviBytesPerFrame)));
    estimate.bytes = peakBytes(frameFiles, rebuilt, soundBytes(film, estimate.seconds), film.boomerang);
    return estimate;
}

// The film's length and frame count for a picture (or sound) ending at `end` (bytes still
// unknown), or for its part when that ends earlier.
WorkSpaceEstimate lengthFor(const FilmForRoom& film, double end)
{
    WorkSpaceEstimate estimate;
    const SourceFacts& facts = film.facts;
    if (film.spanLength > 0)
        end = std::min(end, film.spanStart + film.spanLength);
    const double rate = FrameRateValue(facts.frameRate);
    if (facts.hasPicture && rate > 0) {
        estimate.frames = std::max<qint64>(0, std::llround((end - film.spanStart) * rate));
        estimate.seconds = estimate.frames / rate;
    } else {
        estimate.seconds = std::max(0.0, end);
    }
    return estimate;
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
    const bool exact = film.frameWriterOptions.contains(QString::fromLatin1(media::kExactFramesOption));
    most.frameBytes = film.facts.pixels * (exact ? kMostLosslessJpegBytesPerPixel : kMostJpegBytesPerPixel);
    return estimateFor(most, film, onDisk(most.frameBytes, block)).bytes <= free;
}

QString noRoomMessage(const QString& workFolder, qint64 needed, qint64 free)
{
    return QStringLiteral("not enough room in the working folder %1: reversing this file needs about "
                          "%2 MB there and %3 MB are free. Free some space there, or set TEMP to a "
                          "folder on a disk with more room (TEMP=/path/to/folder).")
        .arg(workFolder, megabytes(needed), megabytes(free));
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

RoomCheck::RoomCheck(FilmForRoom film, QString workFolder, RunningTools& tools, QObject* parent)
    : QObject(parent), m_film(std::move(film)), m_workFolder(std::move(workFolder)), m_tools(tools)
{
}

RoomCheck::~RoomCheck() = default;

void RoomCheck::Start(Purpose purpose)
{
    m_purpose = purpose;
    m_free = FreeBytes(m_workFolder);
    m_block = blockBytes(m_workFolder);
    if (m_purpose == Purpose::Check && m_free < 0) {
        QTimer::singleShot(0, this, [this] { Finish(QString()); });
        return;
    }
    // The packets are read from a little before the stated end: a true end somewhat earlier
    // than the stated one is still found without reading the whole film, a later one too (the
    // reading goes on to the file's end), and a header that claims far too much reads nothing
    // there, so the whole film is read.
    ReadEnd(std::max(0.0, m_film.facts.statedEnd - kEndSearchSeconds));
}

void RoomCheck::Stop()
{
    if (m_run)
        m_run->Stop();
}

ToolRun* RoomCheck::Run(const QStringList& arguments, const QString& program)
{
    // The run before may be the one whose end is being handled: it goes once that is over.
    if (m_run)
        m_run->deleteLater();
    m_run = new ToolRun(this);
    m_run->Start(m_tools, program, arguments);
    return m_run;
}

void RoomCheck::ReadEnd(double from)
{
    const SourceFacts& facts = m_film.facts;
    const QString kind = facts.hasPicture ? QStringLiteral("v") : QStringLiteral("a");
    ToolRun* run = Run(PacketSpanArguments(m_film.source, kind, from > 0 ? facts.fileStart + from : 0),
                       QLatin1String(media::kFfprobeProgram));
    connect(run, &ToolRun::Finished, this, [this, from](const ToolOutcome& outcome) {
        const PacketSpan span = ParsePacketSpan(outcome.status, outcome.output);
        if (!span.present && from > 0) {
            ReadEnd(0);  // the header claimed more than the film holds
            return;
        }
        const double end = span.present ? span.end - m_film.facts.fileStart : -1;
        KnowLength(end > 0 ? end : m_film.facts.statedEnd);
    });
}

void RoomCheck::KnowLength(double end)
{
    m_estimate = lengthFor(m_film, end);
    if (m_estimate.seconds <= 0) {
        Finish(QString());
        return;
    }
    // Measuring frames takes runs of ffmpeg: not worth it when even the largest frames fit.
    if (m_purpose == Purpose::Check && fitsAtMost(m_film, m_estimate, m_block, m_free)) {
        Finish(QString());
        return;
    }
    if (!m_film.facts.hasPicture || m_estimate.frames <= 0) {
        m_estimate = estimateFor(m_estimate, m_film, 0);
        FinishMeasuring();
        return;
    }
    FindSamplePoints();
}

void RoomCheck::FindSamplePoints()
{
    const std::vector<double> even = evenPoints(m_film, m_estimate);
    ToolRun* run = Run(keyFramesArguments(m_film, even), QLatin1String(media::kFfprobeProgram));
    connect(run, &ToolRun::Finished, this, [this, even](const ToolOutcome& outcome) {
        m_points = chosenPoints(m_film, even, outcome.output);
        // More frames at each point when several points share a key frame.
        m_framesPerPoint =
            static_cast<int>((kSamplePoints * kFramesPerSamplePoint + m_points.size() - 1) / m_points.size());
        m_nextPoint = 0;
        SampleNextPoint();
    });
}

void RoomCheck::SampleNextPoint()
{
    if (m_nextPoint >= m_points.size()) {
        if (m_sampledFrames > 0) {
            m_estimate.frameBytes = static_cast<double>(m_sampledBytes) / m_sampledFrames;
            m_estimate.measured = true;
            m_estimate =
                estimateFor(m_estimate, m_film, static_cast<double>(m_sampledOnDisk) / m_sampledFrames);
        } else {
            // None of the film's own frames could be written for measuring.
            m_estimate.frameBytes = m_film.facts.pixels * kJpegBytesPerPixel;
            m_estimate = estimateFor(m_estimate, m_film, onDisk(m_estimate.frameBytes, m_block));
        }
        FinishMeasuring();
        return;
    }
    const double seconds = m_points[m_nextPoint++];
    ToolRun* run = Run(sampleFramesArguments(m_film, seconds, m_framesPerPoint),
                       HelperProgramFolder() + QLatin1Char('/') + QLatin1String(media::kFrameWriterProgram));
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        if (outcome.Succeeded()) {
            for (const qint64 size : frameSizesOf(outcome.output)) {
                m_sampledBytes += size;
                m_sampledOnDisk += roundedUp(size, m_block);
                ++m_sampledFrames;
            }
        }
        SampleNextPoint();
    });
}

void RoomCheck::FinishMeasuring()
{
    if (m_purpose == Purpose::Check && m_estimate.bytes > m_free)
        Finish(noRoomMessage(m_workFolder, m_estimate.bytes, m_free));
    else
        Finish(QString());
}

void RoomCheck::Finish(const QString& problem)
{
    if (m_run) {
        m_run->deleteLater();
        m_run = nullptr;
    }
    emit Finished(problem, m_estimate);
}

}  // namespace tarnivo
