// One picture written as a lossless JPEG file (the lossless process with Huffman coding, each
// sample predicted from the one on its left), from its YUV planes as they are: decoded, the
// file gives back every sample exactly. A picture of limited range is marked as the baseline
// frames are ("CS=ITU601"), so that ffmpeg's decoder reads it back as limited range.
//
// For an encoder that is given the frames to compress again at a high quality (x264 at its
// constant rate factor): a baseline JPEG file, even at its finest, changes the film's decoded
// pictures by a little noise, and that noise costs such an encoder far more than it weighs
// itself (measured on a film made by x264: a noise of 58.7 dB lowers x264's result by 0.6 dB).
#pragma once

#include "PictureStream.h"

#include <cstdint>
#include <vector>

namespace tarnivo::frames {

// Encodes picture (of format) into out, which is reused: its capacity grows to the largest
// frame and stays. The Huffman tables are made for the picture (one for luma, one for chroma).
void EncodeLosslessJpeg(const PictureFormat& format, const Picture& picture, std::vector<std::uint8_t>& out);

}  // namespace tarnivo::frames
