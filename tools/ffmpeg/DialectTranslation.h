// Translation of the old ffmpeg switch dialect that Tarnivo's conversion engine writes into
// the switches of the ffmpeg found on the system (5.1 and later).
//
// The engine's lines look like
//   -i SRC -y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 DEST
// Only the options of the output (everything after the last "-i" and its file) are
// translated, by the rules of the switch table (SwitchTable.cpp) and the facts of the media
// table (src/media); input options and every argument no rule knows pass through unchanged and
// in their place, so ordinary modern command lines come out exactly as they went in.
//
// The translation is a pure function of the arguments and the facts given about the input: the
// job can translate a designed line before any work, and read the encoders it will use off the
// result with media::EncodersUsed. Encoders are named there as "-vcodec NAME" and
// "-acodec NAME" (or as a modern line names them: "-c:v NAME", "-c:a NAME").
#pragma once

#include "InputFacts.h"
#include "ReversalFacts.h"

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// The argument vector for the system's ffmpeg (without the program name). What the line's
// input options state of the last input's pictures ("-colorspace bt709 -i ..." , "-r 25 -i
// ...") counts before the facts given. A line of the reversal's steps takes what its shape
// needs from the reversal's facts (ReversalLines.h). For the frame extraction, the argument
// vector for Tarnivo's frame writer instead, which runs ffmpeg itself (FrameExtraction.h).
std::vector<std::string> TranslateArguments(const std::vector<std::string>& arguments,
                                            const media::InputFacts& facts = media::InputFacts(),
                                            const media::ReversalFacts& reversal = media::ReversalFacts());

// The general rules alone (the frame extraction's handling aside).
std::vector<std::string> TranslateByRules(const std::vector<std::string>& arguments,
                                          const media::InputFacts& facts);

}  // namespace tarnivo::ffmpeg_front_end
