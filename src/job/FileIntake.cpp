#include "FileIntake.h"

#include "AddFolder.h"
#include "FileRoutines.h"

#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <sys/stat.h>

namespace tarnivo {

namespace {

constexpr int kWritableDotFile = kAttributeArchive | kAttributeHidden;

// The length of the UTF-8 character that starts at byte at of name; 0 when none starts there.
int utf8CharacterAt(const QByteArray& name, int at)
{
    const auto lead = static_cast<unsigned char>(name.at(at));
    const int length = lead < 0x80                    ? 1
                       : lead >= 0xc2 && lead <= 0xdf ? 2
                       : lead >= 0xe0 && lead <= 0xef ? 3
                       : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                      : 0;
    if (length == 0 || at + length > name.size())
        return 0;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString character = decoder(name.mid(at, length));
    return decoder.hasError() || character.isEmpty() ? 0 : length;
}

// The regular files (links followed) in folder whose names are not UTF-8 and match pattern.
QStringList undecodableNamesIn(const QString& folder, const QString& pattern)
{
    QStringList names;
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(name);
        struct stat file {};
        if (decoder.hasError() && MatchesPattern(decoded, pattern) &&
            ::fstatat(::dirfd(directory), entry->d_name, &file, 0) == 0 && S_ISREG(file.st_mode))
            names << EscapedName(name);
    }
    ::closedir(directory);
    SortByName(names);
    return names;
}

}  // namespace

QString EscapedName(const QByteArray& name)
{
    QString shown;
    for (int at = 0; at < name.size();) {
        const int length = utf8CharacterAt(name, at);
        if (length > 0) {
            shown += QString::fromUtf8(name.mid(at, length));
            at += length;
        } else {
            const auto byte = static_cast<unsigned char>(name.at(at));
            shown +=
                QStringLiteral("\\x") + QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
            ++at;
        }
    }
    return shown;
}

QString RepairDoubleSlashes(QString path) { return path.replace(QLatin1String("//"), QLatin1String("/")); }

bool PassesFileFilter(const QString& name, const QString& path)
{
    return !name.startsWith(QLatin1Char('~')) && IsFile(path) && FileAttributes(path) != kWritableDotFile;
}

QStringList FilesOfFolderEntry(const QString& entry, const QString& pattern, QStringList* refused)
{
    const QString folder = entry.chopped(1);
    if (refused) {
        for (const QString& name : undecodableNamesIn(folder, pattern))
            *refused << RepairDoubleSlashes(folder + QLatin1Char('/') + name);
    }
    QStringList paths;
    for (const QString& name : ListFiles(folder, pattern)) {
        const QString path = RepairDoubleSlashes(folder + QLatin1Char('/') + name);
        if (PassesFileFilter(name, path))
            paths << path;
    }
    return paths;
}

QStringList FilesOfFolderTree(const QString& folder, const QString& pattern, QStringList* refused)
{
    QStringList folders{folder + QLatin1Char('/')};
    GetSubFolders(folders, true);
    QStringList paths;
    for (const QString& entry : std::as_const(folders))
        paths << FilesOfFolderEntry(entry, pattern, refused);
    return paths;
}

}  // namespace tarnivo
