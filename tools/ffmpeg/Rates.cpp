// Bitrates and the frame rate.
#include "Rules.h"

#include "MediaRates.h"
#include "MediaText.h"
#include "Values.h"

#include <algorithm>
#include <cmath>

namespace tarnivo::ffmpeg_front_end {

namespace {

void rateInKiloBits(const char* modernSwitch, const std::string& value, Translation& out)
{
    out.Emit({modernSwitch, KiloBits(value)});
}

// MPEG-4 Visual pictures in an MPEG program stream carry a time stamp only where a picture is
// the first to start in a 2048-byte packet; a reader dates the others from the rate in the
// stream's header. ffmpeg's encoder states no fixed rate there, only its time base's resolution
// (30000 for 29.97 fps), which a reader cannot take for a rate: those pictures get no time of
// their own and the file reads back short (5.7 s of 6). At a whole rate the resolution is the
// rate. So a fractional rate is written as the nearest whole one, the fps filter repeating a
// picture now and then (one in a thousand from 29.97 to 30), each within half a frame of its time.
std::string wholeFrameRate(const OutputPlan& plan)
{
    if (!plan.container || !plan.video || !plan.pictureRate)
        return "";
    const std::vector<const char*>& encoders = plan.container->wholeRateEncoders;
    if (std::none_of(encoders.begin(), encoders.end(),
                     [&](const char* encoder) { return std::string(encoder) == plan.video->encoder; }))
        return "";
    const double whole = std::max(1.0, std::round(*plan.pictureRate));
    if (std::fabs(whole - *plan.pictureRate) < 1e-9)
        return "";
    return std::to_string(static_cast<long>(whole));
}

}  // namespace

void VideoBitrate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (QualityWinsOverBitrate(plan))
        return;
    const std::optional<long> limit = PictureBufferRateLimit(plan);
    if (limit && media::IsBareNumber(value) && value.size() < 10 && std::stol(value) > *limit) {
        out.Emit({"-b:v", std::to_string(*limit) + "k"});
        return;
    }
    out.Emit({"-b:v", KiloBits(value)});
}

void BitrateTolerance(const OutputPlan&, const std::string& value, Translation& out)
{
    rateInKiloBits("-bt", value, out);
}

void MaximumBitrate(const OutputPlan&, const std::string& value, Translation& out)
{
    rateInKiloBits("-maxrate", value, out);
}

void RateControlBuffer(const OutputPlan&, const std::string& value, Translation& out)
{
    rateInKiloBits("-bufsize", value, out);
}

// The rate is made by an fps filter in the chain, before the scale, so the pictures dropped or
// repeated are the ones nearest in time: ffmpeg's own rate conversion at the output keeps a
// picture later than the one showing at that moment when it drops pictures, which put the
// sound up to a frame early against the picture (33 ms at 25 fps from 30), and it made one
// picture too many. A GIF's palettes are then made only for the pictures kept. "-r" stays where
// the container states a rate; there a value that is not a plain number or fraction is left to
// ffmpeg alone, which refuses it, rather than joining the chain.
void VideoFrameRate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.container && !plan.container->statesFrameRate) {
        out.frameRate = value;  // the last one counts, as it would for ffmpeg
        return;
    }
    const std::string whole = wholeFrameRate(plan);
    const std::string& rate = whole.empty() ? value : whole;
    out.frameRate = media::RateValue(rate) > 0 ? rate : std::string();
    out.Emit({"-r", rate});
}

void AddWholeFrameRate(const OutputPlan& plan, Translation& out)
{
    const std::string whole = wholeFrameRate(plan);
    if (whole.empty() || plan.Has("-r"))
        return;
    out.Emit({"-r", whole});
    out.frameRate = whole;
}

}  // namespace tarnivo::ffmpeg_front_end
