#include "SettingsStore.h"

#include "ProfileCatalogue.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tarnivo {

namespace {

QString defaultFor(const char* key) { return QString::fromStdString(DefaultForKey(key)); }

QString storedOption(const char* key) { return ReadSetting(QLatin1String(key), defaultFor(key)); }

// Check states are stored as integers, option buttons as "True" or "False".
bool storedTrue(const char* key)
{
    return storedOption(key).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString ReadSetting(const QString& key, const QString& defaultValue)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    return store.value(key, defaultValue).toString();
}

void WriteSetting(const QString& key, const QString& value)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    store.setValue(key, value);
}

QString DesktopFolderPath()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

QString DesktopFolderWithSeparator()
{
    const QString desktop = DesktopFolderPath();
    return desktop.isEmpty() ? QString() : desktop + QLatin1Char('/');
}

StoredChoices ReadStoredChoices()
{
    StoredChoices choices;
    choices.outputFolder = ReadSetting(QLatin1String(kOutputFolderKey), DesktopFolderWithSeparator());
    choices.profileName = storedOption("Op1");
    CustomFormatValues& custom = choices.custom;
    custom.videoCodec = storedOption("Op2");
    custom.videoBitrate = storedOption("Op3");
    custom.audioCodec = storedOption("Op4");
    custom.audioBitrate = storedOption("Op5");
    custom.audioSamples = storedOption("Op6");
    custom.videoFrameRate = storedOption("Op7");
    custom.videoSize = storedOption("Op8");
    custom.sameQualityState = storedOption("Op9").toInt();
    custom.deInterlaceState = storedOption("Op10").toInt();
    custom.mono = storedTrue("Op11");
    custom.stereo = storedTrue("Op12");
    custom.extension = storedOption("Op13");
    if (custom.extension.isEmpty())
        custom.extension = QStringLiteral(".avi");
    return choices;
}

}  // namespace tarnivo
