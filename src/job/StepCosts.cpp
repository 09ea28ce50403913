#include "StepCosts.h"

#include "ConversionSettings.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace tarnivo {

namespace {

constexpr double kMegapixel = 1e6;
constexpr JobStep kSteps[] = {JobStep::Room,    JobStep::Frames,     JobStep::Sound,   JobStep::Rebuilding,
                              JobStep::Joining, JobStep::Converting, JobStep::Checking};

// A step's fixed seconds and its seconds per frame of a megapixel.
struct StepModel {
    double fixedSeconds;
    double secondsPerMegapixelFrame;
};

// Measured on 640x480 and 720p clips of 3 to 60 s on a two-core machine (the fixed seconds are
// mostly the tools' starts, which weigh most in short films), the frames written by the
// frame writer on both cores (grain makes frames and conversion dearer alike). Writing the frames
// decodes the film and encodes every frame as JPEG; the conversion decodes each frame again
// (StepSeconds adds the encoder's part); renaming, rebuilding and joining move bytes only.
StepModel modelOf(JobStep step)
{
    switch (step) {
    case JobStep::Room:
        return {0.15, 0.0};
    case JobStep::Frames:
        return {0.3, 0.0035};
    case JobStep::Sound:
        return {0.15, 0.0};
    case JobStep::Rebuilding:
        return {0.2, 0.0004};
    case JobStep::Joining:
        return {0.15, 0.0003};
    case JobStep::Converting:
        return {0.3, 0.0025};
    case JobStep::Checking:
        return {0.4, 0.0};  // three or four reads of packets, each a start of ffprobe
    }
    return {0, 0};
}

// What lossless frames add, a megapixel frame: to the writing of the frames, and to the
// conversion, which decodes them again.
constexpr double kExactFramesWritingSeconds = 0.0025;
constexpr double kExactFramesDecodingSeconds = 0.006;

// Seconds of sound per second of film for the sound steps (extracting and reversing 16-bit PCM).
constexpr double kSoundSecondsPerSecond = 0.005;

// The encoders' time for a megapixel of picture; unnamed ones count as the quick old codecs.
double encoderSeconds(const std::string& codec)
{
    struct Speed {
        const char* codec;
        double seconds;
    };
    static const Speed speeds[] = {
        {"libx264", 0.019},    {"h264", 0.019}, {"libx265", 0.160},      {"hevc", 0.160},
        {"libvpx-vp9", 0.060}, {"vp9", 0.060},  {"libsvtav1", 0.080},    {"prores_ks", 0.020},
        {"prores", 0.020},     {"ffv1", 0.020}, {"libwebp_anim", 0.120}, {"gif", 0.030},
        {"rv20", 0.008},       {"wmv2", 0.006},
    };
    for (const Speed& speed : speeds) {
        if (codec == speed.codec)
            return speed.seconds;
    }
    return 0.003;
}

// The value that follows a switch among whole options ("-c:v libx264 ..."); empty when none.
std::string optionValue(const std::string& options, const std::vector<std::string>& switches)
{
    std::istringstream words(options);
    std::string word;
    bool next = false;
    while (words >> word) {
        if (next)
            return word;
        next = std::find(switches.begin(), switches.end(), word) != switches.end();
    }
    return std::string();
}

double pixelsOf(const std::string& size)
{
    int width = 0;
    int height = 0;
    if (std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
        return 0;
    return static_cast<double>(width) * height;
}

bool endsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

QString StepName(JobStep step)
{
    switch (step) {
    case JobStep::Room:
        return QStringLiteral("room");
    case JobStep::Frames:
        return QStringLiteral("frames");
    case JobStep::Sound:
        return QStringLiteral("sound");
    case JobStep::Rebuilding:
        return QStringLiteral("rebuilding");
    case JobStep::Joining:
        return QStringLiteral("joining");
    case JobStep::Checking:
        return QStringLiteral("checking");
    case JobStep::Converting:
        break;
    }
    return QStringLiteral("converting");
}

bool IsConversionStep(JobStep step) { return step == JobStep::Converting || step == JobStep::Checking; }

QString PhaseName(JobStep step)
{
    return IsConversionStep(step) ? QStringLiteral("converting") : QStringLiteral("reversing");
}

ConversionWork ConversionWorkOf(const ConversionSettings& settings, const std::string& extension)
{
    ConversionWork work;
    const std::string format = settings.forceFormat;
    work.picture =
        !(format == "mp3" || format == "wav" || endsWith(extension, ".mp3") || endsWith(extension, ".wav"));
    work.outputPixels = pixelsOf(settings.videoSize);
    std::string codec = optionValue(settings.outputOptions, {"-c:v", "-vcodec", "-codec:v"});
    if (codec.empty())
        codec = settings.videoCodec;
    if (codec.empty() && (format == "gif" || endsWith(extension, "gif")))
        codec = "gif";
    work.encodeSecondsPerMegapixel = encoderSeconds(codec);
    return work;
}

double StepSeconds(JobStep step, const FileWork& extracted, const ConversionWork& conversion)
{
    const StepModel model = modelOf(step);
    const double megapixels = extracted.pixels / kMegapixel;
    // A boomerang's intermediate holds the frames twice (less one) and its sound twice.
    FileWork file = extracted;
    if (file.boomerang && step != JobStep::Frames && step != JobStep::Sound) {
        file.frames = std::max(0.0, 2 * file.frames - 1);
        file.seconds *= 2;
    }
    switch (step) {
    case JobStep::Sound:
        return file.sound ? model.fixedSeconds + kSoundSecondsPerSecond * file.seconds : 0;
    case JobStep::Frames:
    case JobStep::Rebuilding:
        if (file.frames <= 0)
            return 0;
        break;
    case JobStep::Converting:
        if (conversion.picture && file.frames > 0) {
            const double out =
                (conversion.outputPixels > 0 ? conversion.outputPixels : file.pixels) / kMegapixel;
            const double decoding =
                model.secondsPerMegapixelFrame + (conversion.exactFrames ? kExactFramesDecodingSeconds : 0);
            return model.fixedSeconds +
                   file.frames * (decoding * megapixels + conversion.encodeSecondsPerMegapixel * out);
        }
        return model.fixedSeconds + kSoundSecondsPerSecond * file.seconds;
    default:
        break;
    }
    const double perFrame = model.secondsPerMegapixelFrame +
                            (step == JobStep::Frames && conversion.exactFrames ? kExactFramesWritingSeconds : 0);
    return model.fixedSeconds + perFrame * megapixels * file.frames;
}

double FileSeconds(const FileWork& file, const ConversionWork& conversion)
{
    double whole = 0;
    for (const JobStep step : kSteps)
        whole += StepSeconds(step, file, conversion);
    return whole;
}

double SecondsBefore(JobStep step, const FileWork& file, const ConversionWork& conversion)
{
    double before = 0;
    for (const JobStep earlier : kSteps) {
        if (earlier < step)
            before += StepSeconds(earlier, file, conversion);
    }
    return before;
}

}  // namespace tarnivo
