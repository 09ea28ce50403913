#include "FrameMaking.h"

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

std::vector<std::string> FrameWriterOptions(bool finest)
{
    return finest ? std::vector<std::string>{kFinestFramesOption} : std::vector<std::string>{};
}

bool KeepsEveryDetail(const std::string& encoder)
{
    for (const char* keeping : {"prores", "prores_ks", "prores_aw", "ffv1"}) {
        if (encoder == keeping)
            return true;
    }
    return false;
}

}  // namespace tarnivo::media
