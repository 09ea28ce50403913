// What the translation of one output gathers as the switch table's rules run: the arguments
// for the system's ffmpeg in their order, and the parts of the output's one filter chain.
#pragma once

#include "MediaCodecs.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

struct Translation {
    std::vector<std::string> arguments;
    // The chain's parts, written in this order (see FilterChain):
    std::string inputColours;  // setparams with the colours the input's pictures are read in
    bool deinterlace = false;  // the frames that are interlaced made progressive
    std::string userFilters;   // the line's own "-vf"
    std::string frameRate;     // the output's rate, made by an fps filter
    std::string scale;         // the scale filter that gives the picture its size
    std::optional<media::PictureSize> scaledSize;  // the size "-s" asked for, as the encoder takes it
    std::string matrixConversion;                  // the matrix the pictures are converted into, "" none
    bool fullRangeKept = false;                    // full-range values stored as they are (lossless)
    bool gifPalette = false;                       // a palette made from each picture (last)

    void Emit(std::initializer_list<std::string> more) { arguments.insert(arguments.end(), more); }
};

// The gathered filters as one chain; empty when there are none. ffmpeg takes only the last
// "-vf" of an output and applies an output "-s" after it, so every filter joins this one chain.
std::string FilterChain(const Translation& translation);

}  // namespace tarnivo::ffmpeg_front_end
