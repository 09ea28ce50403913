#include "SettingsStore.h"

#include "ProfileCatalogue.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr int kShownCharacters = 60;

// Why a file cannot be written where file names it: the folders above it are made as the store
// makes them, and a file is tried beside it, to learn the file system's own reason.
QString whyNotWritable(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    QString made;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(made).constData(), 0700) != 0 && errno != EEXIST)
            return QString::fromLocal8Bit(std::strerror(errno));
    }
    const QByteArray probe = QFile::encodeName(file + QStringLiteral(".tarnivo-test"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    ::unlink(probe.constData());
    return QStringLiteral("the file could not be written");
}

QString storeFileName()
{
    return QSettings(QSettings::UserScope, QLatin1String(kSettingsOrganisation)).fileName();
}

// The stored value of key, or defaultValue with a notice when the stored one cannot be used.
StoredValue readUsable(const QString& key, const QString& what, const QString& defaultValue,
                       bool emptyIsUsable)
{
    if (!IsSettingStored(key))
        return {defaultValue, QString()};
    const QString stored = ReadSetting(key);
    // Bytes that are not UTF-8 are read as U+FFFD.
    const bool undecodable = stored.contains(QChar(QChar::ReplacementCharacter));
    if (!undecodable && (emptyIsUsable || !stored.trimmed().isEmpty()))
        return {stored, QString()};
    return {defaultValue,
            QStringLiteral("the stored %1 (%2 in %3) %4; the default %5 is used")
                .arg(what, key, storeFileName(),
                     undecodable ? QStringLiteral("is not valid UTF-8") : QStringLiteral("is empty"),
                     defaultValue.isEmpty() ? QStringLiteral("(nothing)") : defaultValue)};
}

}  // namespace

QString ShownValue(const QString& value)
{
    if (value.size() <= kShownCharacters)
        return value;
    return value.left(kShownCharacters) + QStringLiteral("... (%1 characters)").arg(value.size());
}

StoredValue StoredOutputFolder()
{
    return readUsable(QLatin1String(kOutputFolderKey), QStringLiteral("output folder"), DefaultOutputFolder(),
                      false);
}

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

QString WriteSetting(const QString& key, const QString& value)
{
    QSettings store(QSettings::UserScope, QLatin1String(kSettingsOrganisation));
    store.beginGroup(QLatin1String(kSettingsGroup));
    store.setValue(key, value);
    store.sync();
    if (store.status() == QSettings::NoError)
        return QString();
    return QStringLiteral("cannot save the settings in %1: %2")
        .arg(store.fileName(), whyNotWritable(store.fileName()));
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
    QMap<QString, QString> notices;
    StoredChoices choices = ChoicesFromStoredTexts([&notices](const OptionKey& option) {
        const QString key = QLatin1String(option.key);
        const bool isProfile = key == QLatin1String("Op1");
        const StoredValue stored =
            readUsable(key, isProfile ? QStringLiteral("profile") : QStringLiteral("custom setting"),
                       QLatin1String(option.defaultValue), !isProfile);
        if (!stored.notice.isEmpty())
            notices[key] = stored.notice;
        return stored.value;
    });
    const StoredValue folder = StoredOutputFolder();
    choices.outputFolder = folder.value;
    if (!folder.notice.isEmpty())
        notices[QLatin1String(kOutputFolderKey)] = folder.notice;
    choices.notices = notices;
    if (choices.custom.extension.isEmpty())
        choices.custom.extension = QStringLiteral(".avi");
    return choices;
}

QStringList NoticesOfChoicesUsed(const StoredChoices& choices, bool outputFolderGiven, bool profileGiven)
{
    QStringList used;
    for (auto notice = choices.notices.cbegin(); notice != choices.notices.cend(); ++notice) {
        const QString& key = notice.key();
        const bool usedHere = key == QLatin1String(kOutputFolderKey) ? !outputFolderGiven
                              : key == QLatin1String("Op1")
                                  ? !profileGiven
                                  : choices.profileName == QLatin1String(kCustomFormat);
        if (usedHere)
            used << notice.value();
    }
    return used;
}

}  // namespace tarnivo
