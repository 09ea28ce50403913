// The per-user settings store: organisation "Quorlan", every key inside the group "Tarnivo"
// (on Linux an INI file under $XDG_CONFIG_HOME). Shared by the window and tarnivo-reverse.
#pragma once

#include "ConvertFLV.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace tarnivo {

// The stored text of a key, or defaultValue when the key was never written.
QString ReadSetting(const QString& key, const QString& defaultValue = QString());
// Writes and saves the value. Returns why the store could not be saved, with the file system's
// own reason ("cannot save the settings in /home/u/.config/Quorlan.conf: Permission denied");
// empty when it was.
QString WriteSetting(const QString& key, const QString& value);
// True when the key was written (its default is asked for only when not).
bool IsSettingStored(const QString& key);

// The first-start output folder: the user's desktop folder when it exists, else the user's
// videos folder when it exists (many desktops have no desktop folder), else the home folder.
// Empty when none is known.
QString DefaultOutputFolderPath();
// The same followed by "/" (empty when it cannot be determined).
QString DefaultOutputFolder();

// A stored value that cannot be used falls back to its default, and the notice says so: for
// example "the stored output folder (Text2 in /home/u/.config/Quorlan.conf) is empty; the
// default /home/u/Desktop/ is used". Undecodable values (not UTF-8) always fall back; empty
// ones only where empty means nothing (the output folder, the profile): an empty box of the
// custom panel is a choice of its own.
struct StoredValue {
    QString value;
    QString notice;  // empty when the stored value (or the default, when none is stored) is used
};

// "Text2": the output folder, DefaultOutputFolder() when none or an unusable one is stored.
StoredValue StoredOutputFolder();

// What the window left in the store: "Text2" (default: DefaultOutputFolder()), "Op1"
// (default: the default profile), and the custom panel from "Op2" to "Op13" with their defaults.
struct StoredChoices {
    QString outputFolder;
    QString profileName;
    CustomFormatValues custom;
    // The notices of the values that fell back, by key ("Text2", "Op1" ... "Op13").
    QMap<QString, QString> notices;
};
StoredChoices ReadStoredChoices();

// The notices of the stored values that a job with these choices uses, each to be told once:
// the output folder's unless one was given, the profile's unless one was given, the custom
// panel's when the profile is "Custom Format".
QStringList NoticesOfChoicesUsed(const StoredChoices& choices, bool outputFolderGiven, bool profileGiven);

// A value as a message shows it: a long one cut after its first 60 characters, with its length.
QString ShownValue(const QString& value);

// One stored option: its key, the window's control that shows it, its first-start default and
// what it sets among the choices. Texts are stored as typed, check states as "0" (clear), "1"
// (checked) or "2" (greyed), option buttons as "True" or "False".
struct OptionKey {
    const char* key;           // "Op1" ... "Op13"
    const char* control;       // "Combo1", "Check1", "Option2", ...
    const char* defaultValue;  // as stored
    void (*assign)(StoredChoices& choices, const QString& stored);
};

// The thirteen options in the order they are restored at start-up:
// Op1, Op2, Op3, Op7, Op8, Op4, Op5, Op6, Op9, Op10, Op11, Op12, Op13.
const std::array<OptionKey, 13>& OptionKeysInRestoreOrder();

// The profile and the custom panel that the options' stored texts make (the output folder is
// left empty).
StoredChoices ChoicesFromStoredTexts(const std::function<QString(const OptionKey&)>& storedText);

}  // namespace tarnivo
