#include "Values.h"

#include "MediaText.h"

#include <cmath>
#include <cstdlib>

namespace tarnivo::ffmpeg_front_end {

std::optional<double> ParseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::string KiloBits(const std::string& value) { return media::IsBareNumber(value) ? value + "k" : value; }

std::optional<double> KiloBitsValue(const std::string& value)
{
    std::string number = value;
    if (!number.empty() && (number.back() == 'k' || number.back() == 'K'))
        number.pop_back();
    return ParseNumber(number);
}

}  // namespace tarnivo::ffmpeg_front_end
