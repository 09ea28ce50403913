#include "ReversalLines.h"

#include "FrameExtraction.h"
#include "FrameMaking.h"
#include "MediaText.h"

#include <algorithm>

namespace tarnivo::ffmpeg_front_end {

namespace {

using Arguments = std::vector<std::string>;

bool has(const Arguments& arguments, const std::string& option)
{
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

// Before the destination, the line's last argument.
void insertBeforeDestination(Arguments& arguments, const Arguments& added)
{
    arguments.insert(arguments.end() - 1, added.begin(), added.end());
}

Arguments framesLine(Arguments arguments, const media::ReversalFacts& facts)
{
    // "-qscale 1" is the writer's first option: the rest follow it.
    const Arguments writer = media::FrameWriterOptions();
    const auto quality = std::search(arguments.begin(), arguments.end(), writer.begin(), writer.begin() + 2);
    if (quality != arguments.end())
        arguments.insert(quality + 2, writer.begin() + 2, writer.end());
    insertBeforeDestination(
        arguments, {"-vf", media::FrameFilterChain(facts.framesFilters, facts.framesRate,
                                                   facts.framesStart.empty() ? "0" : facts.framesStart)});
    if (!facts.framesLength.empty())
        insertBeforeDestination(arguments, {"-t", facts.framesLength});
    return arguments;
}

// An image sequence read as the rebuild reads it: "-f image2" and an input pattern of JPEG files.
bool isRebuild(const Arguments& arguments, size_t* input)
{
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i" && arguments[i + 1].find('%') != std::string::npos &&
            media::EndsWithIgnoringCase(arguments[i + 1], ".jpg") && has(arguments, "image2")) {
            *input = i;
            return true;
        }
    }
    return false;
}

Arguments rebuildLine(Arguments arguments, size_t input, const media::ReversalFacts& facts)
{
    for (size_t i = input + 2; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-vcodec")
            arguments[i + 1] = "copy";
    }
    arguments.insert(arguments.begin() + static_cast<long>(input), {"-framerate", facts.framesRate});
    return arguments;
}

// The sound extraction keeps the source's channels: the line's "-ac N" goes.
Arguments withSourceChannels(Arguments arguments)
{
    const auto channels = std::find(arguments.begin(), arguments.end(), "-ac");
    if (channels != arguments.end() && channels + 1 < arguments.end() - 1)
        arguments.erase(channels, channels + 2);
    return arguments;
}

Arguments soundLine(Arguments arguments, const media::ReversalFacts& facts)
{
    if (facts.soundChannels == media::kSourceChannels)
        arguments = withSourceChannels(arguments);
    if (facts.soundLength.empty() || facts.soundStart.empty())
        return arguments;
    const std::string& length = facts.soundLength;
    insertBeforeDestination(arguments, {"-af", "aresample=async=1:first_pts=0,atrim=start=" +
                                                   facts.soundStart + ":duration=" + length +
                                                   ",apad=whole_dur=" + length + ",asetpts=PTS-STARTPTS"});
    return arguments;
}

}  // namespace

std::vector<std::string> WithReversalFacts(const std::vector<std::string>& arguments,
                                           const media::ReversalFacts& facts)
{
    if (arguments.empty())
        return arguments;
    if (IsFrameExtraction(arguments) && has(arguments, "-an") && !facts.framesRate.empty())
        return framesLine(arguments, facts);
    size_t input = 0;
    if (isRebuild(arguments, &input) && !facts.framesRate.empty())
        return rebuildLine(arguments, input, facts);
    if (has(arguments, "-vn"))
        return soundLine(arguments, facts);
    return arguments;
}

}  // namespace tarnivo::ffmpeg_front_end
