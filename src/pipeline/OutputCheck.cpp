#include "OutputCheck.h"

#include "ToolNames.h"
#include "FailureReason.h"
#include "ProcessRunner.h"
#include "ToolRun.h"

#include <QTimer>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tarnivo {

namespace {

// Beyond two frames (or sound blocks), a little for rounding of the containers' time bases.
constexpr double kFramesOfSlack = 2.0;
constexpr double kRoundingSeconds = 0.02;
constexpr double kPrimingBlocks = 2.0;

QString secondsText(double seconds) { return QString::number(seconds, 'f', 2); }

quint32 littleEndian(const QByteArray& bytes, int at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// ffprobe takes an animated WebP for one picture (ffmpeg 5.1 decodes no WebP animation), so its
// frames are read from the file's own chunks: a RIFF "WEBP" file as long as its header says,
// each frame an "ANMF" chunk that holds its duration in milliseconds. libwebp merges a picture
// into the one before it when they are alike, and writes an animation left with one picture as a
// still WebP (a "VP8 " or "VP8L" chunk and no frame chunk): a still picture. Nothing for a file
// that is not a WebP; a stream that is not present for one that is cut short.
std::optional<StreamLength> animatedWebPLength(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray header = file.read(12);
    if (header.size() < 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WEBP")
        return std::nullopt;
    StreamLength length;
    bool animated = false;
    bool picture = false;
    const bool whole = littleEndian(header, 4, 4) + 8 == quint64(file.size());
    while (whole && file.pos() < file.size()) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return StreamLength();
        const qint64 size = littleEndian(chunk, 4, 4);
        const qint64 next = file.pos() + size + (size & 1);
        if (next > file.size() + (size & 1))
            return StreamLength();
        if (chunk.startsWith("ANMF")) {
            // X, Y, width - 1, height - 1 and the duration, 24 bits each, then the flags.
            const QByteArray frame = file.read(16);
            if (frame.size() < 16)
                return StreamLength();
            const double seconds = littleEndian(frame, 12, 3) / 1000.0;
            length.seconds += seconds;
            length.longestPacket = std::max(length.longestPacket, seconds);
            length.present = animated = true;
        } else if (chunk.startsWith("VP8 ") || chunk.startsWith("VP8L")) {
            picture = true;
        }
        file.seek(next);
    }
    if (!whole)
        return StreamLength();
    if (!animated && picture) {
        length.present = length.still = true;
        return length;
    }
    if (!animated)
        return std::nullopt;
    return length;
}

}  // namespace

std::optional<StreamLength> PictureLengthWithoutProbe(const QString& path)
{
    return animatedWebPLength(path);
}

StreamLength StreamLengthOf(const PacketSpan& span)
{
    StreamLength length;
    if (span.exitStatus != 0 || !span.present)
        return length;
    length.present = true;
    length.longestPacket = span.longestPacket;
    length.seconds = std::max(0.0, span.end - span.first);
    return length;
}

StreamLength KnownPictureLength(const IntermediatePicture& picture)
{
    StreamLength length;
    const double rate = picture.frames > 0 ? FrameRateValue(picture.frameRate) : 0;
    if (rate <= 0)
        return length;
    length.present = true;
    length.longestPacket = 1 / rate;
    length.seconds = picture.frames / rate;
    return length;
}

QString ToolRunProblem(const QString& output, const QString& shownName, const QString& outputFolder,
                       int exitStatus, const QStringList& errorLines)
{
    if (exitStatus != 0 || SaysWriteFailed(errorLines)) {
        const QString reason = ToolFailureReason(QStringLiteral("ffmpeg"), exitStatus, errorLines,
                                                 QStringLiteral("ffmpeg could not write %1").arg(shownName),
                                                 {QStringLiteral("output folder"), outputFolder});
        return QString(reason).replace(output, shownName);
    }
    if (!QFileInfo(output).isFile() || QFileInfo(output).size() == 0)
        return QStringLiteral("ffmpeg made no output file");
    return QString();
}

QString JudgeResultLengths(const ResultReadings& readings, const QString& shownName)
{
    // A picture is measured against the intermediate's picture; a sound-only output (or one
    // made from a sound alone) by its sound.
    const bool measuredPicture = readings.outputPicture.present && readings.expectedPicture.present;
    const StreamLength& made = measuredPicture ? readings.outputPicture : readings.outputSound;
    const StreamLength& expected = measuredPicture ? readings.expectedPicture : readings.expectedSound;
    if (!made.present)
        return QStringLiteral("%1 cannot be read back: it holds neither a picture nor a sound")
            .arg(shownName);
    if (!expected.present || (measuredPicture && made.still))
        return QString();  // nothing to measure it against, or a picture of any length
    const double slack =
        kFramesOfSlack * std::max(made.longestPacket, expected.longestPacket) + kRoundingSeconds;
    const double difference = made.seconds - expected.seconds;
    if (std::abs(difference) <= slack)
        return QString();
    // How much later than its sound a picture may start. A sound encoder's priming samples (MP3:
    // 1105 of them, two blocks at 8 kHz) come before the first frame: in a container that cannot
    // say to skip them (AVI), ffmpeg lays the picture later by as much, on its frame grid, and
    // the picture reads back longer by that, though every frame is there.
    const StreamLength& sound = readings.outputSound;
    const double soundLead = sound.present ? kPrimingBlocks * sound.longestPacket + made.longestPacket : 0.0;
    if (difference > 0 && measuredPicture && difference <= slack + soundLead)
        return QString();
    return QStringLiteral("%1 is not whole: it reads back as %2 s instead of %3 s")
        .arg(shownName, secondsText(made.seconds), secondsText(expected.seconds));
}

ResultCheck::ResultCheck(RunningTools& tools, QObject* parent) : QObject(parent), m_tools(tools) {}

ResultCheck::~ResultCheck() = default;

void ResultCheck::Start(const QString& output, const QString& shownName, const QString& outputFolder,
                        const QString& intermediate, const StreamLength& knownPicture, int exitStatus,
                        const QStringList& errorLines)
{
    m_shownName = shownName;
    const QString problem = ToolRunProblem(output, shownName, outputFolder, exitStatus, errorLines);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] { emit Finished(problem); });
        return;
    }
    // Every length that may be needed is read side by side: each is a short read of packets.
    m_readingsLeft = 1;  // held until every reading has started
    if (const std::optional<StreamLength> animation = PictureLengthWithoutProbe(output))
        m_readings.outputPicture = *animation;
    else
        m_toStart.push_back({output, QStringLiteral("v"), &m_readings.outputPicture});
    m_toStart.push_back({output, QStringLiteral("a"), &m_readings.outputSound});
    if (knownPicture.present)
        m_readings.expectedPicture = knownPicture;
    else
        m_toStart.push_back({intermediate, QStringLiteral("v"), &m_readings.expectedPicture});
    m_toStart.push_back({intermediate, QStringLiteral("a"), &m_readings.expectedSound});
    QTimer::singleShot(0, this, &ResultCheck::StartNextReading);
}

void ResultCheck::Stop()
{
    m_toStart.clear();
    for (ToolRun* run : m_runs)
        run->Stop();
}

// One reading starts on each turn of the event loop: starting a program holds the loop for a
// few milliseconds, more on a busy machine. The hold is released once every one has started.
void ResultCheck::StartNextReading()
{
    if (m_toStart.empty())
        return ReadingDone();
    const Reading next = m_toStart.front();
    m_toStart.pop_front();
    Read(next.path, next.kind, next.into);
    QTimer::singleShot(0, this, &ResultCheck::StartNextReading);
}

void ResultCheck::Read(const QString& path, const QString& kind, StreamLength* into)
{
    auto* run = new ToolRun(this);
    m_runs.push_back(run);
    ++m_readingsLeft;
    connect(run, &ToolRun::Finished, this, [this, into](const ToolOutcome& outcome) {
        *into = StreamLengthOf(ParsePacketSpan(outcome.status, outcome.output));
        ReadingDone();
    });
    run->Start(m_tools, QLatin1String(media::kFfprobeProgram), PacketSpanArguments(path, kind, 0));
}

void ResultCheck::ReadingDone()
{
    if (--m_readingsLeft == 0)
        emit Finished(JudgeResultLengths(m_readings, m_shownName));
}

}  // namespace tarnivo
