// The fixed vocabulary of output profiles: the 33 profile names, the option lists of the
// custom-format panel, the settings keys with their first-start defaults, and the rule that
// enables the panel. Plain C++ data, so every face (window, command line, tests, the ffmpeg
// front end's tests) reads the one table.
#pragma once

#include <array>
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

// A settings key of the profile and the custom panel, with its control and first-start default.
struct OptionKey {
    const char* key;           // "Op1" ... "Op13"
    const char* control;       // "Combo1", "Check1", "Option2", ...
    const char* defaultValue;  // as stored: text, check state "0"/"1"/"2", "True"/"False"
};

// The thirteen keys in the order they are restored at start-up:
// Op1, Op2, Op3, Op7, Op8, Op4, Op5, Op6, Op9, Op10, Op11, Op12, Op13.
const std::array<OptionKey, 13>& OptionKeysInRestoreOrder();

// The default of one key ("" for a key that is not one of the thirteen).
std::string DefaultForKey(const std::string& key);

// The settings store: application (organisation) "Quorlan", every key inside group "Tarnivo".
constexpr const char* kSettingsOrganisation = "Quorlan";
constexpr const char* kSettingsGroup = "Tarnivo";
constexpr const char* kOutputFolderKey = "Text2";
constexpr const char* kExtensionKey = "Extension";

}  // namespace tarnivo
