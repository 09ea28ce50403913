// The encoders, and what each takes: quality, sample rates, channels and bitrates.
#include "Rules.h"

#include "MediaRates.h"
#include "Values.h"

#include <algorithm>
#include <cmath>

namespace tarnivo::ffmpeg_front_end {

namespace {

// Constant quality ("-sameq") in a container with a picture buffer (RealMedia): a rate the cap,
// not the rate, will limit on large pictures, and that small pictures reach at the finest
// quantiser. Rate control then starts each picture near the quantiser that fits, where a fixed
// quantiser would encode a detailed HD picture again and again from the finest one up
// (measured: 10 s against 24 s for 2 s of 1080p).
constexpr long kBufferedSameQualityKiloBits = 8000;

std::vector<std::string> sameQualityArguments(const OutputPlan& plan)
{
    if (plan.container && plan.container->pictureBufferKiloBits > 0) {
        const long rate = std::min(kBufferedSameQualityKiloBits,
                                   PictureBufferRateLimit(plan).value_or(kBufferedSameQualityKiloBits));
        return {"-b:v", std::to_string(rate) + "k"};
    }
    if (!plan.video)
        return {};
    switch (plan.video->quality) {
    case media::QualityMode::Quantiser:
        return {"-q:v", "2"};
    case media::QualityMode::RateFactor:
        return {"-crf", "18"};
    case media::QualityMode::None:
        break;
    }
    return {};
}

// A rate-factor encoder (libx264, libx265) takes "-qscale N" as "-crf N".
bool qscaleAsRateFactor(const OutputPlan& plan)
{
    return plan.video && plan.video->quality == media::QualityMode::RateFactor && plan.Has("-qscale") &&
           ParseNumber(plan.Value("-qscale")).has_value();
}

std::string joined(const std::vector<int>& values, const char* separator)
{
    std::string text;
    for (int value : values)
        text += (text.empty() ? "" : separator) + std::to_string(value);
    return text;
}

}  // namespace

bool QualityWinsOverBitrate(const OutputPlan& plan)
{
    return (plan.Has("-sameq") && !sameQualityArguments(plan).empty()) || qscaleAsRateFactor(plan);
}

void VideoCodec(const OutputPlan& plan, const std::string& value, Translation& out)
{
    out.Emit({"-vcodec", media::VideoEncoderIn(plan.container, media::VideoEncoderOf(value))});
}

void AudioCodec(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.CarriesSound())
        out.Emit({"-acodec", media::AudioEncoderIn(plan.container, media::AudioEncoderOf(value))});
}

void SameQuality(const OutputPlan& plan, const std::string&, Translation& out)
{
    const std::vector<std::string> arguments = sameQualityArguments(plan);
    out.arguments.insert(out.arguments.end(), arguments.begin(), arguments.end());
}

void QuantiserScale(const OutputPlan& plan, const std::string& value, Translation& out)
{
    const std::optional<double> quantiser = ParseNumber(value);
    if (!qscaleAsRateFactor(plan) || !quantiser) {
        out.Emit({"-qscale", value});
        return;
    }
    out.Emit({"-crf", std::to_string(std::lround(std::clamp(*quantiser, 0.0, 51.0)))});
}

void AudioBitrate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (!plan.CarriesSound())
        return;
    const std::optional<double> kiloBits = KiloBitsValue(value);
    if (plan.audio && !plan.audio->bitrates.empty() && kiloBits) {
        out.Emit({"-b:a", std::to_string(media::NearestOf(plan.audio->bitrates, *kiloBits * 1000.0))});
        return;
    }
    out.Emit({"-b:a", KiloBits(value)});
}

void SampleRate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (!plan.CarriesSound())
        return;
    const std::vector<int> rates = plan.audio ? plan.audio->sampleRates : std::vector<int>();
    const std::optional<double> asked = ParseNumber(value);
    if (rates.size() == 1)
        out.Emit({"-ar", std::to_string(rates.front())});
    else if (!rates.empty() && asked)
        out.Emit({"-ar", std::to_string(media::NearestOf(rates, *asked))});
    else
        out.Emit({"-ar", value});
}

void Channels(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (!plan.CarriesSound())
        return;
    out.Emit({"-ac", plan.audio && plan.audio->channels > 0 ? std::to_string(plan.audio->channels) : value});
}

// An encoder that states no rates of its own is handed the film's rate by ffmpeg, which it may
// refuse (WMA above 48 kHz): it is offered the rates it takes, and ffmpeg resamples to the nearest.
void AddSampleRates(const OutputPlan& plan, Translation& out)
{
    if (!plan.audio || plan.audio->sampleRates.empty() || plan.audio->statesItsRates || plan.Has("-ar"))
        return;
    if (plan.audio->sampleRates.size() == 1)
        out.Emit({"-ar", std::to_string(plan.audio->sampleRates.front())});
    else if (!plan.HasOption("-af"))
        out.Emit({"-af", "aformat=sample_rates=" + joined(plan.audio->sampleRates, "|")});
}

void AddChannels(const OutputPlan& plan, Translation& out)
{
    if (plan.audio && plan.audio->channels > 0 && !plan.Has("-ac"))
        out.Emit({"-ac", std::to_string(plan.audio->channels)});
}

}  // namespace tarnivo::ffmpeg_front_end
