// The per-user settings store: organisation "Quorlan", every key inside the group "Tarnivo"
// (on Linux an INI file under $XDG_CONFIG_HOME). Shared by the window and tarnivo-reverse.
#pragma once

#include "ConvertFLV.h"

#include <QString>

namespace tarnivo {

// The stored text of a key, or defaultValue when the key was never written.
QString ReadSetting(const QString& key, const QString& defaultValue = QString());
void WriteSetting(const QString& key, const QString& value);

// The user's desktop folder; the home folder when there is no desktop folder (a machine without
// a desktop), so that the first-start output folder is one that exists. Empty when neither is known.
QString DesktopFolderPath();
// The same followed by "/" (empty when it cannot be determined).
QString DesktopFolderWithSeparator();

// What the window left in the store: "Text2" (default: the desktop folder with "/"), "Op1"
// (default: the default profile), and the custom panel from "Op2" to "Op13" with their defaults.
struct StoredChoices {
    QString outputFolder;
    QString profileName;
    CustomFormatValues custom;
};
StoredChoices ReadStoredChoices();

}  // namespace tarnivo
