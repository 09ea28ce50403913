// The heart of Tarnivo: one source video in, the reversed intermediate "rvideo.avi" out.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace tarnivo {

class StepErrorReporter;

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

// Texts of the two batch files (without the final CR LF that writing adds).
QString FrameExtractionBatch(const QString& quotedTool, const QString& source);
QString FrameRebuildBatch(const QString& quotedTool, const QString& frameRate, const QString& rebuilt);

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

// The stages of a reversal, in the order ReverseOneFile runs them.
// Frames of S as W/000001.jpg, W/000002.jpg, ... (through the extraction batch file).
void ExtractFrames(const QString& S, const QString& FQ, const ReversalPaths& paths,
                   const StepErrorReporter& report);
// Frames W/000001.jpg ... become R/image1.jpg (the last frame) ... R/imageN.jpg (the first).
void RenumberFrames(const ReversalPaths& paths, const StepErrorReporter& report);

// What one reversal gave.
struct ReversalResult {
    bool made = false;      // W/rvideo.avi was made
    QString failureReason;  // when not made: why, in the words of the tool that failed if it said
};

// Reverses source S with the tools in the working folder (FQ is the quoted tool path). A failing
// step is reported at the caller's location and the steps after it still run; messages for the
// user go to report.Sink().
ReversalResult ReverseOneFile(const QString& S, const QString& FQ, const StepErrorReporter& report);

}  // namespace tarnivo
