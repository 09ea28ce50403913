// What the steps of a job cost: the model the time left is worked out from. Each step of a file
// takes a fixed time (starting its tools, reading a result back) and a time per frame that
// grows with the pictures' size and, for the conversion, with the encoder's work. The figures
// are seconds on a two-core machine; only their proportions count, the job's own pace scales
// them.
#pragma once

#include <QString>

#include <string>

namespace tarnivo {

struct ConversionSettings;

// The steps of one file, in the order they run. Room is the check that the working folder can
// hold the frames; Checking is the read-back of the conversion's result.
enum class JobStep { Room, Frames, Sound, Rebuilding, Joining, Converting, Checking };

// "room", "frames", "sound", "rebuilding", "joining", "converting", "checking".
QString StepName(JobStep step);
// "reversing" for the steps of the reversal, "converting" for the conversion and its check.
QString PhaseName(JobStep step);
bool IsConversionStep(JobStep step);

// A file as the plan read it.
struct FileWork {
    double frames = 0;   // frames the extraction writes; 0 without a picture
    double pixels = 0;   // of one frame
    double seconds = 0;  // the film's length (of its part, for a part)
    bool sound = false;
    double partSeconds = 0;  // the length of the part reversed; 0 for the whole film
    bool boomerang = false;  // the film forward, then backward: the steps after the frames do twice
};

// What the conversion makes of each frame.
struct ConversionWork {
    double outputPixels = 0;               // of one output frame; 0 keeps the source's size
    double encodeSecondsPerMegapixel = 0;  // the encoder's time for a million pixels
    bool picture = true;                   // false: a sound is all the result holds
    bool exactFrames = false;  // the frames are lossless: dearer to write and to decode again
};

// The conversion's work for a profile's (or the custom panel's) settings.
ConversionWork ConversionWorkOf(const ConversionSettings& settings, const std::string& extension);

// Seconds a step of the file takes by the model.
double StepSeconds(JobStep step, const FileWork& file, const ConversionWork& conversion);
// The whole file by the model, and its steps before step.
double FileSeconds(const FileWork& file, const ConversionWork& conversion);
double SecondsBefore(JobStep step, const FileWork& file, const ConversionWork& conversion);

}  // namespace tarnivo
