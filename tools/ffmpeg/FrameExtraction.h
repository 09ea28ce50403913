// The frame extraction's line: a film's pictures written as numbered JPEG files
// ("-i SRC -an -qscale 1 -vf CHAIN %06d.jpg", with the reversal's facts added). Tarnivo's frame
// writer (tools/frames) takes it over from the system's ffmpeg: it runs ffmpeg to decode the
// film through the chain into 8-bit pictures and writes them as JPEG files on every core, under
// the line's names, as finely as the designed "-qscale 1" asks (or as fine as JPEG goes, when
// the job asks for the finest frames).
#pragma once

#include "ReversalFacts.h"

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// Whether the line writes numbered JPEG files: its last argument is a pattern with "%" that
// ends in ".jpg".
bool IsFrameExtraction(const std::vector<std::string>& arguments);

// The frame writer's arguments for such a line: its options, the line's pattern, "--", then
// ffmpeg's arguments: the line's own but for the JPEG quantiser and the pattern, with the
// writer's pixel formats at the end of its chain.
std::vector<std::string> TranslateFrameExtraction(const std::vector<std::string>& arguments,
                                                  const media::ReversalFacts& facts);

}  // namespace tarnivo::ffmpeg_front_end
