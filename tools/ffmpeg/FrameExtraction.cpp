#include "FrameExtraction.h"

#include "DialectTranslation.h"
#include "MediaText.h"

namespace tarnivo::ffmpeg_front_end {

bool IsFrameExtraction(const std::vector<std::string>& arguments)
{
    return !arguments.empty() && arguments.back().find('%') != std::string::npos &&
           media::EndsWithIgnoringCase(arguments.back(), ".jpg");
}

std::vector<std::string> TranslateFrameExtraction(const std::vector<std::string>& arguments,
                                                  const media::InputFacts& facts)
{
    return TranslateByRules(arguments, facts);
}

}  // namespace tarnivo::ffmpeg_front_end
