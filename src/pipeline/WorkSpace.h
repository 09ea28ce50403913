// Room in the working folder: what one source's reversal needs there at its peak, and whether
// the folder's file system has it free.
#pragma once

#include <QString>

namespace tarnivo {

struct SourceFacts;

// Bytes per picture element that one frame written as JPEG at "-qscale 1" takes at most for
// camera pictures (measured: 0.07 for clean 1280x720 pictures, 0.59 with grain; pure noise,
// which no camera gives, reaches 1.0).
constexpr double kJpegBytesPerPixel = 0.6;

// At its peak the working folder holds the frames twice: the renumbered frames and the video
// rebuilt from them, then the rebuilt video and the joined one.
constexpr int kFramePeakFactor = 2;

// Bytes free for this user on the file system that holds folder; -1 when it cannot be told.
// Tests set the environment variable TARNIVO_TEST_FREE_BYTES to a byte count that is
// reported instead; it is not a setting for users and nothing else reads it.
qint64 FreeBytes(const QString& folder);

// What reversing a source needs in the working folder at its peak, at the frame rate its frames
// are written at; -1 when the source states no length.
qint64 WorkSpaceNeeded(const SourceFacts& source);

// Empty when the working folder has room for reversing the source, else the reason the file
// fails with: the folder, the space needed and free, and how to point TEMP elsewhere.
QString CheckRoomForReversal(const SourceFacts& source, const QString& workFolder);

}  // namespace tarnivo
