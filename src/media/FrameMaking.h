// How a film's pictures become the frames of the working folder: the filters every picture
// passes (the job's picture filters, then the fps filter that writes the frames at one constant
// rate from the span's start), the pixel formats ffmpeg hands Tarnivo's frame writer, and the
// writer's options. The extraction (through the ffmpeg front end) and the room check's measuring
// both make frames this one way. Plain C++.
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

// A chain (empty for none) ended by the pixel formats the frame writer takes: 8-bit 4:2:0, 4:2:2
// and 4:4:4, of limited or full range, of which ffmpeg picks the one nearest the film's own (the
// formats ffmpeg's own JPEG encoder takes). So the frames keep the film's chroma and range; a
// deeper film is brought to 8 bits.
std::string WithFrameWriterFormats(const std::string& chain);

// The frame writer's options (tools/frames) for the frames' quality (ReversalFacts.h): none for
// frames as the designed "-qscale 1" makes them, kFinestFramesOption for frames as fine as a
// baseline JPEG file holds them, kExactFramesOption for lossless JPEG files.
constexpr const char* kFinestFramesOption = "--finest";
constexpr const char* kExactFramesOption = "--exact";
std::vector<std::string> FrameWriterOptions(const std::string& quality);

// Whether an encoder of the system's ffmpeg keeps every detail of the pictures it is given, so
// that the frames it is made from should be the finest: ProRes (editing) and FFV1 (lossless).
bool KeepsEveryDetail(const std::string& encoder);

// Whether an encoder, compressing pictures again at their own size, loses more than it should
// on frames that are not exactly the film's decoded pictures, so that they should be exact:
// x264 at its rate factor (measured on grainy camera-like films made by x264: 0.8 dB below
// ffmpeg's own reverse into the same settings even from the finest baseline frames, 0.8 to 1.4
// from the usual ones, the same pictures as ffmpeg's from exact ones).
bool WantsExactFrames(const std::string& encoder);

// The hidden name in the frames' folder under which the writer writes each frame before it
// gives it its name, so that no frame's name ever holds a part of a picture.
constexpr const char* kFrameTemporaryName = ".tarnivo-frame.tmp";

}  // namespace tarnivo::media
