#include "SettingsStore.h"

#include "ProfileCatalogue.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tarnivo {

namespace {

template <QString CustomFormatValues::*text> void setText(StoredChoices& choices, const QString& stored)
{
    choices.custom.*text = stored;
}

template <int CustomFormatValues::*state> void setCheckState(StoredChoices& choices, const QString& stored)
{
    choices.custom.*state = stored.toInt();
}

template <bool CustomFormatValues::*chosen>
void setOptionButton(StoredChoices& choices, const QString& stored)
{
    choices.custom.*chosen = stored.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void setProfileName(StoredChoices& choices, const QString& stored) { choices.profileName = stored; }

}  // namespace

QString ReadSetting(const QString& key, const QString& defaultValue)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    return store.value(key, defaultValue).toString();
}

bool IsSettingStored(const QString& key)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    return store.contains(key);
}

void WriteSetting(const QString& key, const QString& value)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    store.setValue(key, value);
}

QString DefaultOutputFolderPath()
{
    for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::MoviesLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

QString DefaultOutputFolder()
{
    const QString folder = DefaultOutputFolderPath();
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

const std::array<OptionKey, 13>& OptionKeysInRestoreOrder()
{
    using V = CustomFormatValues;
    static const std::array<OptionKey, 13> keys = {{
        {"Op1", "Combo1", kDefaultProfile, setProfileName},
        {"Op2", "Combo2", "mpeg4", setText<&V::videoCodec>},
        {"Op3", "Combo3", "360", setText<&V::videoBitrate>},
        {"Op7", "Combo7", "29.97", setText<&V::videoFrameRate>},
        {"Op8", "Combo8", "320x240", setText<&V::videoSize>},
        {"Op4", "Combo4", "mp2", setText<&V::audioCodec>},
        {"Op5", "Combo5", "128", setText<&V::audioBitrate>},
        {"Op6", "Combo6", "44100", setText<&V::audioSamples>},
        {"Op9", "Check1", "0", setCheckState<&V::sameQualityState>},
        {"Op10", "Check2", "0", setCheckState<&V::deInterlaceState>},
        {"Op11", "Option1", "False", setOptionButton<&V::mono>},
        {"Op12", "Option2", "True", setOptionButton<&V::stereo>},
        {"Op13", "Combo9", ".avi", setText<&V::extension>},
    }};
    return keys;
}

StoredChoices ChoicesFromStoredTexts(const std::function<QString(const OptionKey&)>& storedText)
{
    StoredChoices choices;
    for (const OptionKey& option : OptionKeysInRestoreOrder())
        option.assign(choices, storedText(option));
    return choices;
}

StoredChoices ReadStoredChoices()
{
    StoredChoices choices = ChoicesFromStoredTexts([](const OptionKey& option) {
        return ReadSetting(QLatin1String(option.key), QLatin1String(option.defaultValue));
    });
    choices.outputFolder = ReadSetting(QLatin1String(kOutputFolderKey), DefaultOutputFolder());
    if (choices.custom.extension.isEmpty())
        choices.custom.extension = QStringLiteral(".avi");
    return choices;
}

}  // namespace tarnivo
