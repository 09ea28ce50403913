#include "FileRoutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {

namespace {

bool statPath(const QString& path, struct stat* info)
{
    if (path.isEmpty())
        return false;
    return ::stat(QFile::encodeName(path).constData(), info) == 0;
}

// The folder part and the last element of a path (the folder is "." when there is none).
std::pair<QString, QString> splitLastElement(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {QStringLiteral("."), path};
    return {slash == 0 ? QStringLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

bool hasWildcards(const QString& text)
{
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

// Names in a folder, in directory order, "." and ".." left out.
QStringList folderEntries(const QString& folder)
{
    QStringList names;
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names << name;
    }
    ::closedir(directory);
    return names;
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

void deleteUnlessFolder(const QString& path)
{
    struct stat info;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &info) == 0 && !S_ISDIR(info.st_mode))
        ::unlink(native.constData());
}

}  // namespace

bool PathExists(const QString& path)
{
    struct stat info;
    return statPath(path, &info);
}

bool FolderExists(const QString& path)
{
    struct stat info;
    return statPath(path, &info) && S_ISDIR(info.st_mode);
}

bool IsFile(const QString& path)
{
    struct stat info;
    if (!statPath(path, &info) || !S_ISREG(info.st_mode))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool MatchesPattern(const QString& name, const QString& pattern)
{
    if (pattern == QLatin1String("*.*"))
        return true;
    // Greedy wildcard match with backtracking to the last "*"; only "*" and "?" are special.
    const QString text = name.toCaseFolded();
    const QString wild = pattern.toCaseFolded();
    int t = 0;
    int w = 0;
    int starAt = -1;
    int textAtStar = 0;
    while (t < text.size()) {
        if (w < wild.size() && (wild[w] == QLatin1Char('?') || wild[w] == text[t])) {
            ++t;
            ++w;
        } else if (w < wild.size() && wild[w] == QLatin1Char('*')) {
            starAt = w++;
            textAtStar = t;
        } else if (starAt >= 0) {
            w = starAt + 1;
            t = ++textAtStar;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild[w] == QLatin1Char('*'))
        ++w;
    return w == wild.size();
}

void KillFiles(const QString& pathOrPattern)
{
    const auto [folder, last] = splitLastElement(pathOrPattern);
    if (!hasWildcards(last)) {
        deleteUnlessFolder(pathOrPattern);
        return;
    }
    for (const QString& name : folderEntries(folder)) {
        if (MatchesPattern(name, last))
            deleteUnlessFolder(joinPath(folder, name));
    }
}

QStringList ListFiles(const QString& folder, const QString& pattern)
{
    QStringList names;
    for (const QString& name : folderEntries(folder)) {
        if (MatchesPattern(name, pattern) && IsFile(joinPath(folder, name)))
            names << name;
    }
    SortByName(names);
    return names;
}

void SortByName(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

void WriteTextToFile(const QString& text, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileRoutineError("Cannot write " + path.toStdString() + ": " +
                               file.errorString().toStdString());
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw FileRoutineError("Cannot write " + path.toStdString() + ": " +
                               file.errorString().toStdString());
    file.close();
}

QString StripExtension(const QString& text)
{
    const int dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        throw FileRoutineError("Invalid procedure call or argument");
    return text.left(dot);
}

QString FileNameOf(const QString& text) { return text.mid(text.lastIndexOf(QLatin1Char('/')) + 1); }

}  // namespace tarnivo
