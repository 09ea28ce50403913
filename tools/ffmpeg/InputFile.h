// What the front end reads of its input file itself: the rate its AVI header states for the
// pictures. Tarnivo's intermediate is an AVI file of constant rate, so the conversion's line
// needs no "-r" for encoders whose limits depend on the rate.
#pragma once

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// The file after the line's last "-i"; empty when the line names none.
std::string LastInput(const std::vector<std::string>& arguments);

// The rate of the first picture stream an AVI file's header states, as its rate and scale
// ("30000/1001", "25/1"); empty when path is no regular AVI file or states none.
std::string AviPictureRate(const std::string& path);

}  // namespace tarnivo::ffmpeg_front_end
