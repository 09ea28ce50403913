// The settings of one conversion and the one table that says which ffmpeg switch each becomes
// and where it stands on the command line. Plain C++: the engine builds its command line from
// it, the profile table is written in it, and the ffmpeg front end's tests read it without Qt.
//
// A new setting is a member here and a row in SettingSwitches(); a profile that uses it gives
// its value in the profile table, and a named setter on AVC is optional.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

// An empty text is a setting left unset; a switch is given only when true. The members are in
// the order of the profile table's columns.
struct ConversionSettings {
    std::string videoCodec{};
    std::string videoSize{};
    std::string videoBitrate{};
    std::string videoFrameRate{};
    std::string audioCodec{};
    std::string audioBitrate{};
    std::string audioSamples{};
    std::string audioChannels{};
    std::string forceFormat{};
    bool sameQuality = false;
    bool deInterlace = false;
    std::string videoAspectRatio{};
    std::string videoBitrateTolerance{};
    std::string groupOfPictureSize{};
    std::string videoQuantiserScale{};
    std::string maxVideoBitrate{};
    std::string rateControlBuffer{};
    std::string videoFourCCTag{};
    std::string audioFourCCTag{};
    std::string targetFormat{};
    // Options of today's ffmpeg, written out whole and separated by spaces ("-c:v libx264 -crf
    // 18"): they stand last among the options and are handed on as they are.
    std::string outputOptions{};
};

// One setting: its switch and the member that holds it, a text (the switch is followed by the
// value) or a switch alone; the other member pointer is null. A text without a switch of its
// own holds whole options: each of its space-separated words is one argument.
struct SettingSwitch {
    const char* switchText;
    std::string ConversionSettings::*text;
    bool ConversionSettings::*flag;
};

// Every setting, in the fixed order of the command line.
const std::vector<SettingSwitch>& SettingSwitches();

// The options the settings give, in command-line order: the switch and value of each text that
// is set, the switch alone of each switch that is true, the words of whole options. Values go
// in unchanged.
std::vector<std::string> SettingArguments(const ConversionSettings& settings);

// Sets in settings every text of given that is not empty and every switch of given that is true;
// the others keep their values.
void ApplyGivenSettings(ConversionSettings& settings, const ConversionSettings& given);

}  // namespace tarnivo
