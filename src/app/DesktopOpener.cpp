#include "DesktopOpener.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace tarnivo {

bool OpenWithDesktop(const QString& path, int verdictMs)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    // Without a parent: a file manager that xdg-open runs in its own process must outlive the
    // window, and a QProcess ends its program when it is destroyed.
    auto* opener = new QProcess;
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->setStandardInputFile(QProcess::nullDevice());
    QEventLoop waiting;
    QObject::connect(opener, &QProcess::finished, &waiting, &QEventLoop::quit);
    QObject::connect(opener, &QProcess::errorOccurred, &waiting, &QEventLoop::quit);
    QTimer::singleShot(verdictMs, &waiting, &QEventLoop::quit);
    opener->start(xdgOpen, {path});
    if (opener->state() != QProcess::NotRunning)
        waiting.exec();
    if (opener->state() != QProcess::NotRunning) {
        QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
        return true;
    }
    const bool opened = opener->error() == QProcess::UnknownError &&
                        opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
    delete opener;
    return opened;
}

}  // namespace tarnivo
