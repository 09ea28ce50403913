// The container and its quirks, as the media table's rows state them.
#include "Rules.h"

#include <algorithm>
#include <cmath>

namespace tarnivo::ffmpeg_front_end {

namespace {

// With a picture buffer, the rate that fills it is set far above any real rate, so the buffer
// is the only limit it sets.
const char* const kBufferedMaximumRate = "100000k";

}  // namespace

void ContainerFormat(const OutputPlan&, const std::string& value, Translation& out)
{
    out.Emit({"-f", value});
}

void LoopOutput(const OutputPlan&, const std::string& value, Translation& out) { out.Emit({"-loop", value}); }

// ffmpeg picks the container from the name's extension; one chosen by another ending (a GIF
// named "mygif") is named for it.
void AddMuxerName(const OutputPlan& plan, Translation& out)
{
    if (plan.container && !plan.Has("-f") && !media::NameTellsContainer(*plan.container, plan.destination))
        out.Emit({"-f", plan.container->name});
}

void AddNoSound(const OutputPlan& plan, Translation& out)
{
    if (!plan.CarriesSound())
        out.Emit({"-an"});
}

// AVI keeps no presentation times: H.264's reordered B-frames put the picture two frames
// (70 ms at 29.97 fps) behind its sound, which pictures in their own order do not.
void AddPicturesInOrder(const OutputPlan& plan, Translation& out)
{
    if (plan.container && !plan.container->keepsPresentationTimes && plan.video &&
        plan.video->reordersPictures && !plan.HasOption("-bf"))
        out.Emit({"-bf", "0"});
}

// The encoder's rate-control buffer caps every picture at the buffer: a picture that would be
// larger is encoded again more coarsely.
void AddPictureBuffer(const OutputPlan& plan, Translation& out)
{
    if (!plan.container || plan.container->pictureBufferKiloBits <= 0)
        return;
    if (!plan.Has("-maxrate"))
        out.Emit({"-maxrate", kBufferedMaximumRate});
    if (!plan.Has("-bufsize"))
        out.Emit({"-bufsize", std::to_string(plan.container->pictureBufferKiloBits) + "k"});
}

// The encoder refuses a video rate above one buffer per picture ("VBV buffer too small for
// bitrate"): 400 kbit/s at 1 fps, 4000 at 10.
std::optional<long> PictureBufferRateLimit(const OutputPlan& plan)
{
    if (!plan.container || plan.container->pictureBufferKiloBits <= 0 || plan.Has("-bufsize") ||
        !plan.pictureRate)
        return std::nullopt;
    return std::max(1L,
                    static_cast<long>(std::floor(plan.container->pictureBufferKiloBits * *plan.pictureRate)));
}

}  // namespace tarnivo::ffmpeg_front_end
