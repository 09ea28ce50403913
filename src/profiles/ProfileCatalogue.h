// The fixed vocabulary of output profiles: the 33 profile names, the option lists of the
// custom-format panel, the settings store's names, and the rule that enables the panel. Plain
// C++ data, so every face (window, command line, tests, the ffmpeg front end's tests) reads the
// one table.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

constexpr const char* kCustomFormat = "Custom Format";
constexpr const char* kDefaultProfile = "AVI (MPEG4-XviD-Best Quality)";

// The profile names in list order; "Custom Format" first.
const std::vector<std::string>& ProfileNames();

// True when name is exactly (letter case included) one of the 33 profile names.
bool IsProfileName(const std::string& name);

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

// The settings store: application (organisation) "Quorlan", every key inside group "Tarnivo".
constexpr const char* kSettingsOrganisation = "Quorlan";
constexpr const char* kSettingsGroup = "Tarnivo";
constexpr const char* kOutputFolderKey = "Text2";
constexpr const char* kExtensionKey = "Extension";

}  // namespace tarnivo
