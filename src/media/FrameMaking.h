// How a film's pictures become the frames of the working folder: the filters every picture
// passes (the job's picture filters, then the fps filter that writes the frames at one constant
// rate from the span's start), and the JPEG writer's options. The extraction (through the ffmpeg
// front end) and the room check's measuring both make frames this one way. Plain C++.
#pragma once

#include <string>
#include <vector>

namespace tarnivo::media {

// The whole chain, as ffmpeg's "-vf" takes it: pictureFilters (empty for none), then the frames
// at rate from start seconds on, counted from 0. The fps filter places the first frame at the
// span's start (padding or trimming there) and fills every slot of the rate from the source's
// frames; counted from 0, or the image writer would repeat the first one back to the file's
// start.
std::string FrameFilterChain(const std::string& pictureFilters, const std::string& rate,
                             const std::string& start);

// Seconds as the chain and the facts write them: six decimals.
std::string SecondsText(double seconds);

// The JPEG writer's options for the frames: the finest quantiser (the encoder's default qmin of
// 2 would hold "-qscale 1" at 2), and a picture of limited range written as it is, which ffmpeg
// marks and reads back as such, instead of being stretched to full range and back.
std::vector<std::string> FrameWriterOptions();

}  // namespace tarnivo::media
