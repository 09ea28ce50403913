// What the steps of a reversal tell the ffmpeg front end besides their command lines, which stay
// as designed ("-i SRC -an -qscale 1 %06d.jpg", "-i SRC -vn -ac 2 audio.wav", "-f image2  -i
// Renamed/image%d.jpg -vcodec mpeg4 tvideo.avi"): the stretch of the film they work on and how
// its pictures are made into frames. The job hands them over in the environment of the
// "ffmpeg.exe" it runs (through the batch runner for the batch files); an entry that is empty
// or missing is not known, and the front end then does what the line alone says. Plain C++: the
// job's side and the front end include it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnivo::media {

// The constant rate the frames are written and read back at ("30000/1001").
constexpr const char* kFramesRateVariable = "TARNIVO_FRAMES_RATE";
// Seconds from the film's start to its first frame, and how many seconds of it become frames
// (empty: to the film's end).
constexpr const char* kFramesStartVariable = "TARNIVO_FRAMES_START";
constexpr const char* kFramesLengthVariable = "TARNIVO_FRAMES_LENGTH";
// The filters each picture passes before it is made a frame (made progressive, brought into the
// frames' colours), as ffmpeg's -vf takes them; empty: none.
constexpr const char* kFramesFiltersVariable = "TARNIVO_FRAMES_FILTERS";
// The stretch of the sound that is kept, laid on the film's own timeline: from its start, so long
// (the picture's span; padded with silence where the sound is shorter). Empty: the whole sound.
constexpr const char* kSoundStartVariable = "TARNIVO_SOUND_START";
constexpr const char* kSoundLengthVariable = "TARNIVO_SOUND_LENGTH";
// How fine the frames are: empty as the line asks ("-qscale 1"), kFinestFrames for a profile
// that keeps every detail (editing, lossless): the source's chroma kept, near-lossless; or
// kExactFrames for one whose encoder compresses the film again at the source's own size and a
// high quality (H.264): lossless JPEG files, every sample as decoded.
constexpr const char* kFramesQualityVariable = "TARNIVO_FRAMES_QUALITY";
constexpr const char* kFinestFrames = "finest";
constexpr const char* kExactFrames = "exact";
// How many channels the sound keeps: empty as the line asks ("-ac 2"), or kSourceChannels for a
// profile that keeps the source's own.
constexpr const char* kSoundChannelsVariable = "TARNIVO_SOUND_CHANNELS";
constexpr const char* kSourceChannels = "source";
// The join of a boomerang: the forward sound (the extracted one) that goes before the reversed
// sound, which then starts one frame of the picture's rate in, where the picture turns; empty:
// the reversed sound alone, as designed.
constexpr const char* kForwardSoundVariable = "TARNIVO_FORWARD_SOUND";

struct ReversalFacts {
    std::string framesRate;
    std::string framesStart;
    std::string framesLength;
    std::string framesFilters;
    std::string soundStart;
    std::string soundLength;
    std::string framesQuality;
    std::string soundChannels;
    std::string forwardSound;

    bool operator==(const ReversalFacts& other) const;
};

// Every entry of the environment for facts, those not known with an empty value, so that
// nothing the job itself was started with counts.
std::vector<std::string> ReversalEnvironment(const ReversalFacts& facts);

// The facts of an environment: lookup gives a variable's value, or null when it is not set. A
// rate or a number of seconds that is not one counts as not known.
ReversalFacts ReversalFactsFrom(const std::function<const char*(const char*)>& lookup);

}  // namespace tarnivo::media
