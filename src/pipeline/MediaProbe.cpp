#include "MediaProbe.h"

#include "MediaColours.h"
#include "ProcessRunner.h"
#include "ToolNames.h"

#include <QFile>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

#include <sys/stat.h>

namespace tarnivo {

namespace {

const QString kFileProtocol = QLatin1String(media::kFileProtocol);

// ffprobe gives times and rates as texts ("12.480000", "44100"); 0 when one is missing.
double numberOf(const QJsonObject& object, const QString& key)
{
    bool ok = false;
    const double value = object.value(key).toString().toDouble(&ok);
    return ok ? value : 0.0;
}

double secondsOf(const QJsonObject& object) { return numberOf(object, QStringLiteral("start_time")); }

// Where a stream ends, from the file's start, as it states it; 0 when it states no duration.
double statedEndOf(const QJsonObject& stream, double fileStart)
{
    const double duration = numberOf(stream, QStringLiteral("duration"));
    return duration > 0 ? std::max(0.0, secondsOf(stream) - fileStart) + duration : 0.0;
}

bool isCoverPicture(const QJsonObject& stream)
{
    return stream.value(QStringLiteral("disposition"))
               .toObject()
               .value(QStringLiteral("attached_pic"))
               .toInt() == 1;
}

// ffprobe names the file as it was given ("file:/path"); the user knows it without the prefix.
QString reasonFrom(const QStringList& errorLines)
{
    QString reason = LastMeaningfulLine(errorLines);
    if (reason.startsWith(kFileProtocol))
        reason.remove(0, kFileProtocol.size());
    return reason;
}

// ffprobe says "unknown" (or nothing) for a colour fact the stream does not state.
QString statedText(const QJsonObject& stream, const QString& key)
{
    return QString::fromStdString(media::StatedColour(stream.value(key).toString().toStdString()));
}

PictureColours coloursOf(const QJsonObject& stream)
{
    PictureColours colours;
    colours.matrix = statedText(stream, QStringLiteral("color_space"));
    colours.range = statedText(stream, QStringLiteral("color_range"));
    colours.primaries = statedText(stream, QStringLiteral("color_primaries"));
    colours.transfer = statedText(stream, QStringLiteral("color_transfer"));
    return colours;
}

}  // namespace

double FrameRateValue(const QString& rate) { return media::RateValue(rate.toStdString()); }

QString ChooseFrameRate(const QString& nominal, const QString& average)
{
    return QString::fromStdString(media::ChooseFrameRate(nominal.toStdString(), average.toStdString()));
}

FieldOrder FieldOrderOf(const QString& fieldOrder)
{
    // The second letter is the field shown first ("bt": bottom coded first, top shown first).
    if (fieldOrder == QLatin1String("progressive"))
        return FieldOrder::Progressive;
    if (fieldOrder == QLatin1String("tt") || fieldOrder == QLatin1String("bt"))
        return FieldOrder::TopFieldFirst;
    if (fieldOrder == QLatin1String("bb") || fieldOrder == QLatin1String("tb"))
        return FieldOrder::BottomFieldFirst;
    return FieldOrder::Unknown;
}

QStringList ProbeArguments(const QString& source)
{
    // "file:" keeps a source whose name looks like a protocol ("http:...") a plain file.
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-show_entries"),
            QStringLiteral(
                "stream=index,codec_type,r_frame_rate,avg_frame_rate,start_time,duration,field_order,width,"
                "height,sample_rate,channels,pix_fmt,color_space,color_range,color_primaries,color_transfer:"
                "stream_disposition=attached_pic:format=start_time,duration"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            kFileProtocol + source};
}

SourceFacts ParseProbe(const QString& source, int exitStatus, const QByteArray& output,
                       const QStringList& errorLines)
{
    SourceFacts facts;
    const QJsonObject root = QJsonDocument::fromJson(output).object();
    if (exitStatus != 0 || !root.contains(QStringLiteral("format"))) {
        // ffprobe calls an empty file "Invalid data found when processing input".
        const QFileInfo file(source);
        if (file.isFile() && file.size() == 0) {
            facts.problem = QStringLiteral("the file is empty (0 bytes)");
            return facts;
        }
        facts.problem = reasonFrom(errorLines);
        if (facts.problem.isEmpty())
            facts.problem =
                QStringLiteral("ffprobe could not read the file (exit status %1)").arg(exitStatus);
        return facts;
    }
    facts.readable = true;
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    const double fileStart = secondsOf(format);
    facts.fileStart = fileStart;
    facts.duration = numberOf(format, QStringLiteral("duration"));
    double soundEnd = 0;
    double pictureEnd = 0;
    for (const QJsonValue& value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("audio")) {
            if (!facts.hasSound) {
                facts.sampleRate = numberOf(stream, QStringLiteral("sample_rate"));
                facts.channels = static_cast<int>(numberOf(stream, QStringLiteral("channels")));
                soundEnd = statedEndOf(stream, fileStart);
            }
            facts.hasSound = true;
        } else if (type == QLatin1String("video") && !facts.hasPicture && !isCoverPicture(stream)) {
            facts.hasPicture = true;
            facts.frameRate = ChooseFrameRate(stream.value(QStringLiteral("r_frame_rate")).toString(),
                                              stream.value(QStringLiteral("avg_frame_rate")).toString());
            facts.pictureStart = std::max(0.0, secondsOf(stream) - fileStart);
            facts.fieldOrder = FieldOrderOf(stream.value(QStringLiteral("field_order")).toString());
            facts.width = stream.value(QStringLiteral("width")).toInt();
            facts.height = stream.value(QStringLiteral("height")).toInt();
            facts.pixels = static_cast<double>(facts.width) * facts.height;
            facts.pixelFormat = stream.value(QStringLiteral("pix_fmt")).toString();
            facts.pictureStream = stream.value(QStringLiteral("index")).toInt(-1);
            facts.colours = coloursOf(stream);
            pictureEnd = statedEndOf(stream, fileStart);
        }
    }
    const double streamEnd = facts.hasPicture ? pictureEnd : soundEnd;
    facts.statedEnd = streamEnd > 0 ? streamEnd : facts.duration;
    return facts;
}

bool NeedsPictureColours(const SourceFacts& facts)
{
    return facts.readable && facts.hasPicture && facts.pictureStream >= 0 && facts.colours.matrix.isEmpty();
}

QStringList PictureColoursArguments(const QString& source, int pictureStream)
{
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QString::number(pictureStream),
            QStringLiteral("-read_intervals"),
            QStringLiteral("%+#1"),
            QStringLiteral("-show_entries"),
            QStringLiteral("frame=color_space,color_range,color_primaries,color_transfer"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            kFileProtocol + source};
}

SourceFacts WithPictureColours(SourceFacts facts, int exitStatus, const QByteArray& output)
{
    const QJsonArray frames =
        QJsonDocument::fromJson(output).object().value(QStringLiteral("frames")).toArray();
    if (exitStatus != 0 || frames.isEmpty())
        return facts;  // the stream's word (or the size rule) stands
    const PictureColours picture = coloursOf(frames.first().toObject());
    for (auto [stated, shown] :
         {std::pair{&facts.colours.matrix, &picture.matrix}, std::pair{&facts.colours.range, &picture.range},
          std::pair{&facts.colours.primaries, &picture.primaries},
          std::pair{&facts.colours.transfer, &picture.transfer}}) {
        if (stated->isEmpty())
            *stated = *shown;
    }
    return facts;
}

QStringList PacketSpanArguments(const QString& path, const QString& kind, double readFrom)
{
    QStringList arguments{QStringLiteral("-v"),
                          QStringLiteral("error"),
                          QStringLiteral("-select_streams"),
                          kind + QStringLiteral(":0"),
                          QStringLiteral("-show_entries"),
                          QStringLiteral("packet=pts_time,dts_time,duration_time"),
                          QStringLiteral("-of"),
                          QStringLiteral("csv=p=0")};
    if (readFrom > 0)
        arguments << QStringLiteral("-read_intervals")
                  << QString::number(readFrom, 'f', 6) + QLatin1Char('%');
    arguments << kFileProtocol + path;
    return arguments;
}

PacketSpan ParsePacketSpan(int exitStatus, const QByteArray& output)
{
    PacketSpan span;
    span.exitStatus = exitStatus;
    auto readTime = [](const QByteArray& text, double* value) {
        bool ok = false;
        *value = text.toDouble(&ok);
        return ok && std::isfinite(*value);
    };
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() < 3)
            continue;
        double start = 0;
        if (!readTime(fields[0], &start) && !readTime(fields[1], &start))
            continue;
        double duration = 0;
        if (!readTime(fields[2], &duration) || duration < 0)
            duration = 0;
        span.first = span.present ? std::min(span.first, start) : start;
        span.end = span.present ? std::max(span.end, start + duration) : start + duration;
        span.longestPacket = std::max(span.longestPacket, duration);
        span.present = true;
    }
    return span;
}

}  // namespace tarnivo
