// What one file's reversal is made of that needs no tool: the files of the working folder it
// uses, the stretch of the source it reverses, the command lines and batch files of its steps,
// and the order of its frames.
#pragma once

#include "FramePictures.h"
#include "MediaProbe.h"
#include "WorkSpace.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace tarnivo {

// The files of the working folder that one reversal uses.
struct ReversalPaths {
    QString work;          // W
    QString renamed;       // R
    QString marker;        // W/jpg2avi.tmp
    QString extractBatch;  // W/avi2jpg.bat
    QString rebuildBatch;  // W/jpg2avi.bat
    QString audio;         // A
    QString reversed;      // B
    QString rebuilt;       // T
    QString result;        // V
};
ReversalPaths CurrentReversalPaths();

// The quoted tool path FQ for a working folder: W + "/ffmpeg.exe" between double quotes.
QString QuotedToolPath(const QString& workFolder);

// The stretch of the source that picture and sound are both reversed about: the picture's,
// from its first frame to the end of its last, on the timeline ffmpeg gives the source (its
// start at 0). The sound is cut to it, and padded with silence where it is shorter, so that a
// moment of the picture and the same moment of the sound stay together when both are reversed.
struct ReversalSpan {
    QString frameRate;  // R: frames are written and read back at this one constant rate
    double start = 0;   // seconds; a whole number of frames at R
    double length = 0;  // seconds; the frames extracted, at R
    FieldOrder fieldOrder = FieldOrder::Unknown;  // of the source's pictures
    FrameColours colours{};                       // the frames'
};
// What the job asks of one reversal beyond the film itself, from the profile the file is made
// into and the row's own choices. The defaults are the designed reversal.
struct ReversalOptions {
    bool finestFrames = false;       // frames as fine as an editing or lossless profile needs
    bool keepSoundChannels = false;  // the sound keeps the source's channels, not two
};

// The span's start for a picture starting at pictureStart (on the frame grid of the rate).
double SpanStart(const QString& frameRate, double pictureStart);

// The filters each frame passes on its way from the source into its JPEG file (as ffmpeg's
// "-vf" takes them, before any escaping for a batch file): the one place they are made, so
// that the frames measured for the room check are made as the extracted ones are.
QString FrameFilterChain(const ReversalSpan& span);

// The room check's view of a source: measured with the extraction's own filters and quality.
FilmForRoom RoomQuestion(const QString& S, const SourceFacts& source, const ReversalSpan& span,
                         const ReversalOptions& options = {});

// Texts of the two batch files (without the final CR LF that writing adds) and the sound
// extraction's command line, as designed: "-i S -an -qscale 1 %%06d.jpg", "-f image2  -i
// Renamed/image%%d.jpg -vcodec mpeg4 T", "-i S -vn -ac 2 A". What the ffmpeg front end makes of
// them it learns from the steps' environment (StepEnvironment).
QString FrameExtractionBatch(const QString& quotedTool, const QString& source);
QString FrameRebuildBatch(const QString& quotedTool, const QString& rebuilt);
QString SoundExtractionCommandLine(const QString& quotedTool, const QString& source, const QString& audio);

// The environment entries the reversal's steps give the ffmpeg front end (ReversalFacts.h): the
// frames are written at the span's rate from its start, duplicated or dropped evenly where the
// source's timing varies, and read back at the same rate, carried into the AVI as they are;
// interlaced pictures are made progressive first, and every frame holds the span's colours (see
// FramePictures.h), so the frames show the source as it looked whatever order they are put in.
// Once the span's length is known (its frames counted), the sound is cut and padded to it;
// without a span (a source with no picture) nothing is told and the whole sound is kept.
QStringList StepEnvironment(const ReversalSpan* span, const ReversalOptions& options = {});

// The joining command line for the streams present (empty when neither is).
QString JoinCommandLine(const QString& quotedTool, const ReversalPaths& paths, bool haveVideo,
                        bool haveSound);

// A frame file of the working folder and its number.
struct Frame {
    std::int64_t number;
    QString path;
};
// The extracted frames (names of digits + ".jpg") of a listing, last frame first.
std::vector<Frame> FramesLastFirst(const QString& folder, const QStringList& names);

}  // namespace tarnivo
