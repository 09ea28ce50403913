#include "FrameMaking.h"

#include "ReversalFacts.h"

#include <cstdio>
#include <initializer_list>

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

std::string WithFrameWriterFormats(const std::string& chain)
{
    return (chain.empty() ? std::string() : chain + ",") +
           "format=yuv420p|yuvj420p|yuv422p|yuvj422p|yuv444p|yuvj444p";
}

std::vector<std::string> FrameWriterOptions(const std::string& quality)
{
    if (quality == kFinestFrames)
        return {kFinestFramesOption};
    if (quality == kExactFrames)
        return {kExactFramesOption};
    return {};
}

bool KeepsEveryDetail(const std::string& encoder)
{
    for (const char* keeping : {"prores", "prores_ks", "prores_aw", "ffv1"}) {
        if (encoder == keeping)
            return true;
    }
    return false;
}

bool WantsExactFrames(const std::string& encoder) { return encoder == "libx264"; }

}  // namespace tarnivo::media
