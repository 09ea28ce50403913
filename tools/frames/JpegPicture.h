// One picture written as a baseline JPEG (JFIF) file in memory with libjpeg-turbo, from its YUV
// planes as they are: no colour conversion, the chroma kept as the picture has it. A picture of
// limited range is marked so ("CS=ITU601", as ffmpeg's own JPEG encoder marks it), and ffmpeg's
// decoder reads it back as limited range; a full-range one is plain JFIF.
#pragma once

#include "PictureStream.h"

#include <cstdint>
#include <vector>

namespace tarnivo::frames {

// How finely the DCT's coefficients are kept. By default as ffmpeg's own JPEG encoder keeps them
// at "-qscale 1" (MPEG-1's intra matrix over 8, the same for every plane), rounded to the nearest
// step: measured on grainy 720p and 1080p films of every colour kind (BT.709 limited and full
// range, BT.601, 10-bit, untagged HD, full-range MJPEG 4:2:2), 0.2 to 0.6 dB more faithful than
// ffmpeg's frames, where libjpeg's own tables at quality 97 fell short on some (and cost 30 %
// more bytes) and a flat step of 3 or 4 fell short on MJPEG sources, whose own quantisation
// ffmpeg's matrix divides. Finest: every coefficient to the unit, as fine as a baseline JPEG
// file goes (54 to 61 dB on the same films), for the editing and lossless profiles. Exact: a
// lossless JPEG file instead (LosslessJpeg.h), every sample as the picture has it.
struct JpegOptions {
    bool finest = false;
    bool exact = false;
};

// Encodes picture (of format) into out, which is reused: its capacity grows to the largest
// frame and stays. A failure of the library (it only fails on memory) ends the program.
void EncodeJpeg(const PictureFormat& format, const Picture& picture, const JpegOptions& options,
                std::vector<std::uint8_t>& out);

// What the writer does when the library fails: set once, before any picture is encoded.
void OnJpegFailure(void (*fail)(const char* message));

}  // namespace tarnivo::frames
