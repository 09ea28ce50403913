// The dialect's values as numbers.
#pragma once

#include <optional>
#include <string>

namespace tarnivo::ffmpeg_front_end {

// A number written in full ("12", "7.4", "-1e3"); nothing for any other text.
std::optional<double> ParseNumber(const std::string& text);

// The dialect gives every bitrate in kbit/s as bare digits; today's ffmpeg reads bare digits as
// bit/s, so they get the "k" suffix. Values with a unit of their own stay as they are.
std::string KiloBits(const std::string& value);

// A number of kbit/s as the dialect writes it, with or without its "k"; nothing for another text.
std::optional<double> KiloBitsValue(const std::string& value);

}  // namespace tarnivo::ffmpeg_front_end
