// The fixed vocabulary of output profiles: the profile names (the 33 first ones, then today's
// formats) with a short id for each, the option lists of the custom-format panel, the settings
// store's names, and the rule that enables the panel. Plain C++ data, so every face (window,
// command line, tests, the ffmpeg front end's tests) reads the one table.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

constexpr const char* kCustomFormat = "Custom Format";
constexpr const char* kDefaultProfile = "AVI (MPEG4-XviD-Best Quality)";

// The profile names in list order: "Custom Format" first, then the 32 named profiles of old,
// then today's formats (appended, so a stored choice keeps its meaning).
const std::vector<std::string>& ProfileNames();

// True when name is exactly (letter case included) one of the profile names.
bool IsProfileName(const std::string& name);

// The short id of a profile name ("mp4", "avi-xvid", "custom"); empty for another text.
std::string ProfileId(const std::string& name);

// The profile name that text names: a profile name exactly as listed, or an id in any letter
// case. Empty when it names none.
std::string ProfileNameFor(const std::string& idOrName);

// UpdateCustomControls: the custom panel is enabled exactly for "Custom Format".
bool CustomPanelEnabledFor(const std::string& profileName);

// The suggestion lists of the eight editable boxes of the custom panel, in list order.
struct CustomOptionLists {
    std::vector<std::string> videoCodecs;    // Combo2
    std::vector<std::string> videoBitrates;  // Combo3
    std::vector<std::string> audioCodecs;    // Combo4
    std::vector<std::string> audioBitrates;  // Combo5
    std::vector<std::string> audioSamples;   // Combo6
    std::vector<std::string> frameRates;     // Combo7
    std::vector<std::string> frameSizes;     // Combo8
    std::vector<std::string> extensions;     // Combo9
};
const CustomOptionLists& OptionLists();

// The entry of the size, frame rate and sample rate lists that sets none: the result keeps the
// source's. Typed in any letter case, it means the same.
constexpr const char* kSameAsSource = "Same as source";
bool MeansSameAsSource(const std::string& text);

// Why the custom panel's codecs cannot be stored in a file with this extension, for the codecs
// of today that players read only in some containers (H.265, VP9, AV1, ProRes, Opus: the media
// table's); empty when they fit or when the codec is not one of those.
std::string CustomContainerProblem(const std::string& videoCodec, const std::string& audioCodec,
                                   const std::string& extension);

// The settings store: application (organisation) "Quorlan", every key inside group "Tarnivo".
constexpr const char* kSettingsOrganisation = "Quorlan";
constexpr const char* kSettingsGroup = "Tarnivo";
constexpr const char* kOutputFolderKey = "Text2";
constexpr const char* kExtensionKey = "Extension";

}  // namespace tarnivo
