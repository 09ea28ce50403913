#include "OutputPlan.h"

#include "MediaRates.h"
#include "SwitchTable.h"

#include <algorithm>

namespace tarnivo::ffmpeg_front_end {

namespace {

bool endsWithDestination(const std::vector<std::string>& arguments)
{
    bool lastIsValue = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        lastIsValue = false;
        const SwitchRule* rule = FindSwitchRule(arguments[i]);
        if (rule && rule->takesValue && i + 1 < arguments.size()) {
            ++i;
            lastIsValue = true;
        }
    }
    if (arguments.empty() || lastIsValue)
        return false;
    return arguments.back() == "-" || arguments.back().rfind('-', 0) != 0;
}

std::map<std::string, std::string> readSwitches(const std::vector<std::string>& options)
{
    std::map<std::string, std::string> given;
    for (size_t i = 0; i < options.size(); ++i) {
        const SwitchRule* rule = FindSwitchRule(options[i]);
        if (!rule)
            continue;
        if (!rule->takesValue) {
            given[options[i]] = "";
        } else if (i + 1 < options.size()) {
            given[options[i]] = options[i + 1];
            ++i;
        }
    }
    return given;
}

const media::AudioCodecRow* soundRules(const OutputPlan& plan)
{
    if (plan.Has("-acodec"))
        return media::FindAudioCodec(
            media::AudioEncoderIn(plan.container, media::AudioEncoderOf(plan.Value("-acodec"))));
    if (plan.container && plan.container->defaultSoundFollowsItsRules)
        return media::FindAudioCodec(plan.container->defaultAudioEncoder);
    return nullptr;
}

}  // namespace

std::string OutputPlan::Value(const char* dialectSwitch) const
{
    const auto found = given.find(dialectSwitch);
    return found == given.end() ? std::string() : found->second;
}

bool OutputPlan::HasOption(const char* option) const
{
    return std::find(options.begin(), options.end(), option) != options.end();
}

std::string OutputPlan::PictureEncoder() const
{
    if (video)
        return video->encoder;
    // A profile of today's formats names its encoder in today's switch.
    const auto named = std::find(options.begin(), options.end(), "-c:v");
    if (named != options.end() && named + 1 != options.end())
        return *(named + 1);
    return container && !Has("-vcodec") ? container->defaultVideoEncoder : "";
}

OutputPlan PlanOutput(const std::vector<std::string>& output, const media::InputFacts& input)
{
    OutputPlan plan;
    plan.hasDestination = endsWithDestination(output);
    plan.options.assign(output.begin(), output.end() - (plan.hasDestination ? 1 : 0));
    if (plan.hasDestination)
        plan.destination = output.back();
    plan.given = readSwitches(plan.options);
    plan.container = media::ContainerFor(plan.Value("-f"), plan.destination);
    if (plan.Has("-vcodec"))
        plan.video = media::FindVideoCodec(
            media::VideoEncoderIn(plan.container, media::VideoEncoderOf(plan.Value("-vcodec"))));
    plan.audio = plan.CarriesSound() ? soundRules(plan) : nullptr;
    plan.input = input;
    const double rate = media::RateValue(plan.Has("-r") ? plan.Value("-r") : input.frameRate);
    if (rate > 0)
        plan.pictureRate = rate;
    return plan;
}

}  // namespace tarnivo::ffmpeg_front_end
