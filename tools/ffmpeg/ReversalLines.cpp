#include "ReversalLines.h"

#include "FrameExtraction.h"
#include "FrameMaking.h"
#include "MediaRates.h"
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
    // A part of the film (a span with a length) is sought to its start, so that the pictures
    // before it are not decoded at all; ffmpeg then counts the time from there.
    std::string start = facts.framesStart.empty() ? "0" : facts.framesStart;
    const auto input = std::find(arguments.begin(), arguments.end(), "-i");
    if (!facts.framesLength.empty() && media::RateValue(start) > 0 && input != arguments.end()) {
        arguments.insert(input, {"-ss", start});
        start = "0";
    }
    insertBeforeDestination(arguments,
                            {"-vf", media::FrameFilterChain(facts.framesFilters, facts.framesRate, start)});
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
    if (facts.soundStart.empty())
        return arguments;
    const std::string& length = facts.soundLength;
    // Without a length (a part of a film without a picture, to its end), from the start on.
    const std::string cut = length.empty() ? "atrim=start=" + facts.soundStart
                                           : "atrim=start=" + facts.soundStart + ":duration=" + length +
                                                 ",apad=whole_dur=" + length;
    insertBeforeDestination(arguments,
                            {"-af", "aresample=async=1:first_pts=0," + cut + ",asetpts=PTS-STARTPTS"});
    return arguments;
}

// The join as designed: "-i T -i B  -c copy -map 0:v:0 -map 1:a:0 -shortest V" (or one input).
bool isJoin(const Arguments& arguments)
{
    const auto copy = std::find(arguments.begin(), arguments.end(), "-c");
    return has(arguments, "-shortest") && copy != arguments.end() && copy + 1 != arguments.end() &&
           copy[1] == "copy";
}

// A boomerang's join: the forward sound goes before the reversed one, which starts a frame in,
// so that it turns with the picture (whose turning frame shows once). The sound is joined as
// 16-bit samples, as both halves are: nothing of it changes; the picture is copied as designed.
Arguments boomerangJoinLine(Arguments arguments, const media::ReversalFacts& facts)
{
    size_t inputs = 0;
    size_t afterInputs = 0;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i") {
            ++inputs;
            afterInputs = i + 2;
        }
    }
    std::string reversed;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-map" && arguments[i + 1].find(":a") != std::string::npos) {
            reversed = arguments[i + 1].substr(0, arguments[i + 1].find(':'));
            arguments[i + 1] = "[sound]";
        }
    }
    if (reversed.empty())
        return arguments;  // no sound to turn
    const double rate = media::RateValue(facts.framesRate);
    const std::string forward = "[" + std::to_string(inputs) + ":a]";
    const std::string graph = rate > 0 ? "[" + reversed + ":a]atrim=start=" + media::SecondsText(1 / rate) +
                                             ",asetpts=PTS-STARTPTS[back];" + forward +
                                             "[back]concat=n=2:v=0:a=1[sound]"
                                       : forward + "[" + reversed + ":a]concat=n=2:v=0:a=1[sound]";
    const auto copy = std::find(arguments.begin(), arguments.end(), "-c");
    *copy = "-c:v";
    arguments.insert(copy + 2, {"-c:a", "pcm_s16le"});
    arguments.insert(arguments.begin() + static_cast<long>(afterInputs),
                     {"-i", facts.forwardSound, "-filter_complex", graph});
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
    if (isJoin(arguments) && !facts.forwardSound.empty())
        return boomerangJoinLine(arguments, facts);
    return arguments;
}

}  // namespace tarnivo::ffmpeg_front_end
