#include "MediaText.h"

#include <algorithm>
#include <cctype>

namespace tarnivo::media {

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() &&
           Lowered(text.substr(text.size() - ending.size())) == Lowered(ending);
}

bool IsBareNumber(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace tarnivo::media
