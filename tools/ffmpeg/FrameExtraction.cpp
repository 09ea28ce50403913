#include "FrameExtraction.h"

#include "FrameMaking.h"
#include "MediaText.h"

namespace tarnivo::ffmpeg_front_end {

bool IsFrameExtraction(const std::vector<std::string>& arguments)
{
    return !arguments.empty() && arguments.back().find('%') != std::string::npos &&
           media::EndsWithIgnoringCase(arguments.back(), ".jpg");
}

std::vector<std::string> TranslateFrameExtraction(const std::vector<std::string>& arguments,
                                                  const media::ReversalFacts& facts)
{
    std::vector<std::string> writer = media::FrameWriterOptions(facts.framesQuality);
    writer.insert(writer.end(), {arguments.back(), "--"});
    std::string chain;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 2 < arguments.size();
        if (argument == "-qscale" && hasValue) {
            ++i;  // the writer's quantisation stands for it
        } else if (argument == "-vf" && hasValue) {
            chain = arguments[++i];
        } else {
            writer.push_back(argument);
        }
    }
    writer.insert(writer.end(), {"-vf", media::WithFrameWriterFormats(chain)});
    return writer;
}

}  // namespace tarnivo::ffmpeg_front_end
