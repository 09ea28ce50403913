// The frame extraction's line: a film's pictures written as numbered JPEG files
// ("-i SRC -an ... -vf CHAIN %06d.jpg"). Its handling has a place of its own, where a JPEG
// writer of the front end's own can take the line over from the system's ffmpeg.
#pragma once

#include "InputFacts.h"

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// Whether the line writes numbered JPEG files: its last argument is a pattern with "%" that
// ends in ".jpg".
bool IsFrameExtraction(const std::vector<std::string>& arguments);

// The argument vector for the system's ffmpeg. Today the general rules translate the line
// (they hand it on as it is).
std::vector<std::string> TranslateFrameExtraction(const std::vector<std::string>& arguments,
                                                  const media::InputFacts& facts);

}  // namespace tarnivo::ffmpeg_front_end
