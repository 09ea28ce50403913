// What Tarnivo needs to know about a source before it reverses it, read with ffprobe.
#pragma once

#include "MediaRates.h"
#include "SourceIdentity.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarnivo {

// The rate of a source that states none, and the highest rate frames are taken at: the media
// table's.
constexpr const char* kDefaultFrameRate = media::kImageSequenceRate;
constexpr double kHighestFrameRate = media::kHighestFrameRate;

// How a source's pictures are made of fields, as its container or codec states it.
enum class FieldOrder {
    Progressive,
    TopFieldFirst,     // interlaced, the top field shown first
    BottomFieldFirst,  // interlaced, the bottom field shown first
    Unknown,           // not stated: frames may still be flagged interlaced one by one
};

// How a picture stream states its colours, in ffprobe's words ("bt709", "tv", "smpte2084");
// a part the stream does not state is empty.
struct PictureColours {
    QString matrix;     // color_space: "bt709", "smpte170m", "bt470bg", "bt2020nc", ...
    QString range;      // color_range: "tv" (limited) or "pc" (full)
    QString primaries;  // color_primaries
    QString transfer;   // color_transfer
};

struct SourceFacts {
    bool readable = false;    // ffprobe could open the file
    QString problem;          // when not readable: ffprobe's reason
    bool hasPicture = false;  // a video stream that is not just a cover picture
    bool hasSound = false;
    QString frameRate = QString::fromLatin1(kDefaultFrameRate);  // the rate R, as "30/1" or "30000/1001"
    double pictureStart = 0;  // seconds from the file's start to the picture's first frame
    FieldOrder fieldOrder = FieldOrder::Unknown;
    double fileStart = 0;  // the file's first time stamp, in seconds, as its packets carry it
    double duration = 0;   // seconds, as the container states it; 0 when it does not
    // Seconds from the file's start to the end of the picture (else of the sound) as the
    // stream states it, else as the container does; 0 when neither does. A claim only: a
    // header can say anything (a 4 s film claiming 24 days), the packets tell the truth.
    double statedEnd = 0;
    double pixels = 0;  // width x height of the picture
    int width = 0;
    int height = 0;
    QString pixelFormat;     // ffprobe's pix_fmt of the picture ("yuv420p", "rgb24")
    int pictureStream = -1;  // the picture stream's index in the file; -1 when there is none
    // As the picture stream states them; where it states nothing, as its first picture does.
    PictureColours colours;
    double sampleRate = 0;  // of the sound; 0 when not stated
    int channels = 0;       // of the sound; 0 when not stated
    // The file the facts were read from, recorded before ffprobe read it (size -1: not recorded).
    SourceIdentity identity;
};

// The ffprobe arguments that read a source's streams (the first picture stream and the first
// sound stream), and what its answer says: ffprobe's exit status, standard output and the last
// lines of its standard error.
QStringList ProbeArguments(const QString& source);
SourceFacts ParseProbe(const QString& source, int exitStatus, const QByteArray& output,
                       const QStringList& errorLines);

// Some decoders state the colours on each picture where the stream states none (VP8 calls every
// picture BT.601): then the first picture's word is read with a second, short ffprobe run. Whether
// the facts need it, its arguments (the facts' picture stream, one packet decoded), and the facts
// with the picture's colours filling in what the stream left unstated.
bool NeedsPictureColours(const SourceFacts& facts);
QStringList PictureColoursArguments(const QString& source, int pictureStream);
SourceFacts WithPictureColours(SourceFacts facts, int exitStatus, const QByteArray& output);

// The packets of the first stream of a kind ("v" for the picture, "a" for the sound) as ffprobe
// lists them, the container read and nothing decoded, in the file's own time stamps.
struct PacketSpan {
    int exitStatus = 0;        // ffprobe's
    bool present = false;      // at least one packet was listed
    double first = 0;          // the earliest packet's start
    double end = 0;            // the latest packet's end
    double longestPacket = 0;  // seconds; one frame of a picture, one block of a sound
};
// The ffprobe arguments that list them from time stamp readFrom on (from the start for 0 or
// less), and what its answer says.
QStringList PacketSpanArguments(const QString& path, const QString& kind, double readFrom);
PacketSpan ParsePacketSpan(int exitStatus, const QByteArray& output);

// The rate both extraction and rebuild use (media::ChooseFrameRate).
QString ChooseFrameRate(const QString& nominal, const QString& average);

// ffprobe's field_order ("progressive", "tt", "bb", "tb", "bt", "unknown" or nothing).
FieldOrder FieldOrderOf(const QString& fieldOrder);

// The value of a rate given as "N", "N.M" or "N/D"; 0 when it is not a usable rate.
double FrameRateValue(const QString& rate);

}  // namespace tarnivo
