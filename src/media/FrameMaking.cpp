#include "FrameMaking.h"

#include <cstdio>

namespace tarnivo::media {

std::string FrameFilterChain(const std::string& pictureFilters, const std::string& rate,
                             const std::string& start)
{
    return (pictureFilters.empty() ? std::string() : pictureFilters + ",") + "fps=fps=" + rate +
           ":start_time=" + start + ",setpts=PTS-STARTPTS";
}

std::string SecondsText(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", seconds);
    return text;
}

std::vector<std::string> FrameWriterOptions() { return {"-qscale", "1", "-qmin", "1", "-strict", "-1"}; }

}  // namespace tarnivo::media
