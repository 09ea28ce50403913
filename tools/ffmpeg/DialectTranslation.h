// Translation of the old ffmpeg switch dialect that Tarnivo's conversion engine writes into
// the switches of the ffmpeg found on the system (5.1 and later).
//
// The engine's lines look like
//   -i SRC -y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 DEST
// Only the options of the output (everything after the last "-i" and its file) are
// translated; input options and every argument no rule knows pass through unchanged and in
// their place, so ordinary modern command lines come out exactly as they went in.
#pragma once

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// The argument vector for the system's ffmpeg (without the program name).
std::vector<std::string> TranslateArguments(const std::vector<std::string>& arguments);

}  // namespace tarnivo::ffmpeg_front_end
