#include "MediaColours.h"

#include <algorithm>
#include <cctype>

namespace tarnivo::media {

bool IsBt601Matrix(const std::string& matrix) { return matrix == "smpte170m" || matrix == "bt470bg"; }

bool SameMatrix(const std::string& a, const std::string& b)
{
    return a == b || (IsBt601Matrix(a) && IsBt601Matrix(b));
}

bool IsHighDefinition(int width, int height) { return width >= 1280 || height > 576; }

std::string MatrixPlayersAssume(int width, int height)
{
    return IsHighDefinition(width, height) ? "bt709" : "smpte170m";
}

bool IsHdrTransfer(const std::string& transfer)
{
    return transfer == "smpte2084" || transfer == "arib-std-b67";
}

bool IsRgbPixelFormat(const std::string& pixelFormat)
{
    for (const char* kind : {"rgb", "bgr", "gbr", "pal8", "bayer"}) {
        if (pixelFormat.find(kind) != std::string::npos)
            return true;
    }
    return false;
}

std::string StatedColour(const std::string& word)
{
    return word == "unknown" || word == "unspecified" ? std::string() : word;
}

std::string ColorspaceFilterName(const std::string& matrix)
{
    if (matrix == "bt709" || matrix == "smpte170m" || matrix == "smpte240m")
        return matrix;
    if (matrix == "bt470bg")
        return "bt601-6-625";
    if (matrix == "bt2020nc" || matrix == "bt2020c")
        return "bt2020";
    return std::string();
}

std::string ScaleFilterMatrix(const std::string& matrix)
{
    if (matrix == "bt709")
        return "bt709";
    return IsBt601Matrix(matrix) ? "bt601" : std::string();
}

bool IsColourName(const std::string& word)
{
    return !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '_';
    });
}

}  // namespace tarnivo::media
