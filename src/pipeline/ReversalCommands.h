// What one file's reversal is made of that needs no tool: the files of the working folder it
// uses, the stretch of the source it reverses, the command lines and batch files of its steps,
// and the order of its frames.
#pragma once

#include "FilmPart.h"
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
    int partFrames = 0;  // the frames of a part of the film, from start; 0: to the film's end
};
// What the job asks of one reversal beyond the film itself, from the profile the file is made
// into and the row's own choices. The defaults are the designed reversal.
struct ReversalOptions {
    bool finestFrames = false;       // frames as fine as an editing or lossless profile needs
    bool exactFrames = false;        // lossless frames, for an encoder that needs them (H.264)
    bool keepSoundChannels = false;  // the sound keeps the source's channels, not two
    FilmPart part;                   // the part of the film that is reversed; the whole by default
    // The film forward, then backward: its frames run first to last, then back from the one
    // before the last, and its sound forward, then reversed, turning with the picture.
    bool boomerang = false;
};

// The span's start for a picture starting at pictureStart (on the frame grid of the rate).
double SpanStart(const QString& frameRate, double pictureStart);

// The span of a source's picture for a part of it (the whole film for FilmPart()): its start on
// the frame grid, at the part's start or the picture's, whichever is later, and its frames up
// to the part's end.
ReversalSpan SpanFor(const SourceFacts& facts, const FilmPart& part);

// The frames a reversal of N frames leaves in the intermediate: N, or 2N - 1 for a boomerang
// (the turning frame shows once).
int IntermediateFrames(int frames, bool boomerang);

// The renumbered frames' numbers (in R, "image" + number + ".jpg") for the frame at position
// `position` (0 for the last) of `count` frames taken last frame first: its place running
// backwards, and for a boomerang also its place running forwards (0 when it has none: the last
// frame, which turns, shows once).
struct RenumberedPlaces {
    int backward = 0;
    int forward = 0;
};
RenumberedPlaces RenumberedPlacesOf(int position, int count, bool boomerang);

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
// without a span (a source with no picture) only the part of the sound is kept that options ask
// for (all of it by default). The frames of a part (span->partFrames) are told as their length.
QStringList StepEnvironment(const ReversalSpan* span, const ReversalOptions& options = {});

// The joining step's environment: nothing for the designed join; for a boomerang, the step's
// facts and the forward sound (A) that goes before the reversed one.
QStringList JoinEnvironment(const ReversalSpan* span, const ReversalOptions& options,
                            const ReversalPaths& paths);

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
