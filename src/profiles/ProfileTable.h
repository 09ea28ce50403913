// The engine settings of the named output profiles ("Custom Format" takes its settings from
// the custom panel instead). Plain C++ data, shared by ConvertFLV and by the tests that run the
// profiles' command lines without Qt.
#pragma once

#include "ConversionSettings.h"

#include <string>
#include <vector>

namespace tarnivo {

// One named profile: its output extension and the engine settings it makes (texts it leaves
// empty and switches it leaves false stay unset).
struct ProfileRow {
    const char* name;
    const char* extension;  // with its leading "."
    ConversionSettings settings;
};

// The named profiles in list order (the catalogue's names without "Custom Format").
const std::vector<ProfileRow>& NamedProfileRows();

// The row of exactly this name (letter case included), or null.
const ProfileRow* FindProfileRow(const std::string& name);

}  // namespace tarnivo
