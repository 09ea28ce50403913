// Small text rules the media table's lookups share.
#pragma once

#include <string>

namespace tarnivo::media {

// ASCII letters made lower case; every other byte as it is.
std::string Lowered(std::string text);

bool EndsWithIgnoringCase(const std::string& text, const std::string& ending);

// One or more ASCII digits and nothing else.
bool IsBareNumber(const std::string& text);

}  // namespace tarnivo::media
