// What the ffmpeg front end knows of its input's pictures besides its command line, so that
// the conversion's command line stays as designed: their colours, which the job hands over in
// the environment of the "ffmpeg.exe" it runs, and their constant rate, which the front end
// reads from the header of the input (the reversed intermediate, an AVI file). Plain C++: the
// job's side and the front end include it.
//
// The environment entries are NAME=value, the value one of ffmpeg's own names for the colour
// options (those of -colorspace, -color_primaries, -color_trc, -color_range: "bt709",
// "smpte170m", "tv"), empty when it is not known. A value that is not such a name counts as not
// known.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnivo::media {

constexpr const char* kInputMatrixVariable = "TARNIVO_INPUT_COLOR_MATRIX";
constexpr const char* kInputPrimariesVariable = "TARNIVO_INPUT_COLOR_PRIMARIES";
constexpr const char* kInputTransferVariable = "TARNIVO_INPUT_COLOR_TRANSFER";
constexpr const char* kInputRangeVariable = "TARNIVO_INPUT_COLOR_RANGE";

struct InputFacts {
    // How the pictures' values are to be read, in ffmpeg's names; empty: not known.
    std::string matrix;
    std::string primaries;
    std::string transfer;
    std::string range;
    // The constant rate the pictures are read at ("30000/1001"); empty: not known.
    std::string frameRate;

    bool operator==(const InputFacts& other) const;
};

// Every colour entry of the environment for facts, those not known with an empty value, so that
// nothing the job itself was started with counts.
std::vector<std::string> ColourEnvironment(const InputFacts& facts);

// The colour facts of an environment: lookup gives a variable's value, or null when it is not set.
InputFacts ColourFactsFrom(const std::function<const char*(const char*)>& lookup);

// The facts of the line, where it states them, else the given ones.
InputFacts Merged(const InputFacts& stated, const InputFacts& given);

}  // namespace tarnivo::media
