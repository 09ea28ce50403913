#include "Main.h"

#include "SettingsStore.h"

#include "FileRoutines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QtEndian>

#include <stdexcept>

namespace tarnivo {

namespace {

QString& applicationTitle()
{
    static QString title = QLatin1String(kProductName);
    return title;
}

// The hot spot of the first image of a ".cur" file (it sits where an icon keeps its planes
// and bit count).
QPoint cursorHotSpot(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = file.read(14);
    if (header.size() < 14)
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    return {qFromLittleEndian<quint16>(bytes + 10), qFromLittleEndian<quint16>(bytes + 12)};
}

}  // namespace

QString ApplicationTitle() { return applicationTitle(); }

void SetApplicationTitle()
{
    QString title = QLatin1String(kProductName);
    do {
        const int blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    } while (title.size() > 40);
    applicationTitle() = title;
}

QString FindBesideProgram(const QString& relativePath)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = programFolder + QLatin1Char('/') + relativePath;
    if (PathExists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/tarnivo/") + relativePath);
    return PathExists(installed) ? installed : beside;
}

std::optional<QCursor> LoadCursorFile(const QString& path)
{
    const QPixmap picture(path, "cur");
    if (picture.isNull())
        return std::nullopt;
    const QPoint hotSpot = cursorHotSpot(path);
    return QCursor(picture, hotSpot.x(), hotSpot.y());
}

QString DesktopFolder()
{
    const QString folder = DefaultOutputFolder();
    if (folder.isEmpty())
        throw std::runtime_error("Invalid procedure call or argument");
    return folder;
}

}  // namespace tarnivo
