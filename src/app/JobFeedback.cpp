#include "JobFeedback.h"

#include "JobProgress.h"
#include "ReverseJob.h"
#include "ShellOpen.h"
#include "WindowDialogs.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>
#include <QWidget>

namespace tarnivo {

namespace {

const QString kLauncherEntry = QStringLiteral("application://com.quorlan.tarnivo.desktop");

// Qt would otherwise start a bus of its own (dbus-launch) where there is none.
bool sessionBusConfigured()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty() ||
           (!runtime.isEmpty() &&
            QFileInfo::exists(QString::fromLocal8Bit(runtime) + QStringLiteral("/bus")));
}

int madeCount(const JobSummary& summary)
{
    return static_cast<int>(summary.files.size()) - summary.FailedCount();
}

QString filesText(int count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

}  // namespace

QStringList ResultFolders(const JobSummary& summary)
{
    QStringList folders;
    for (const FileOutcome& file : summary.files) {
        if (!file.succeeded)
            continue;
        QString folder = QFileInfo(file.output).absolutePath();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        if (!folders.contains(folder))
            folders << folder;
    }
    return folders;
}

void TellJobEnd(WindowDialogs& dialogs, const QString& title, const JobSummary& summary)
{
    const QStringList folders = ResultFolders(summary);
    if (summary.cancelled || folders.isEmpty()) {
        dialogs.ShowMessage(title, summary.FinalMessage());
        return;
    }
    const QString where = QStringLiteral("The results are in ") + folders.join(QStringLiteral(", "));
    const QString question = folders.size() == 1 ? QStringLiteral("Open this folder?")
                                                 : QStringLiteral("Open the first of these folders?");
    if (!dialogs.AskYesNo(title, summary.FinalMessage() + QStringLiteral("\n\n") + where + QLatin1Char('\n') +
                                     question))
        return;
    OpenFolder(dialogs, title, folders.first());
}

void OpenFolder(WindowDialogs& dialogs, const QString& title, const QString& folder)
{
    const QChar quote = QLatin1Char('"');
    RunningTools opener;  // a folder goes to the desktop's opener: no program of ours runs
    const int result = GShell(quote + folder + quote, QStringLiteral("/"), opener);
    if (result > 32)
        return;
    const QString why = result == kShellFileNotFound || result == kShellPathNotFound
                            ? QStringLiteral("It no longer exists.")
                            : QStringLiteral("No program to show folders (a file manager) could open it; "
                                             "open it yourself.");
    dialogs.ShowWarning(title, QStringLiteral("The folder could not be opened:\n%1\n\n%2").arg(folder, why));
}

DesktopJobProgress::DesktopJobProgress()
    : m_busAvailable(sessionBusConfigured() && QDBusConnection::sessionBus().isConnected())
{
}

void DesktopJobProgress::ShowProgress(const JobProgress& progress)
{
    // Docks redraw on every update: one per percent is plenty.
    const int percent = static_cast<int>(progress.jobFraction * 100);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    SendLauncherEntry(progress.jobFraction, true);
}

void DesktopJobProgress::ShowEnd(const JobSummary& summary, const QWidget& window)
{
    m_shownPercent = -1;
    SendLauncherEntry(0, false);
    if (!m_busAvailable || window.isActiveWindow())
        return;
    QString body;
    const QStringList folders = ResultFolders(summary);
    if (!folders.isEmpty())
        body = QStringLiteral("%1 made in %2.")
                   .arg(filesText(madeCount(summary)), folders.join(QStringLiteral(", ")));
    if (const int failed = summary.FailedCount(); failed > 0)
        body += (body.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("%1 failed.").arg(filesText(failed));
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Tarnivo") << 0u << QStringLiteral("tarnivo")
           << (summary.cancelled ? kCancelledMessage : kDoneMessage) << body << QStringList() << QVariantMap()
           << -1;
    // Sent without waiting for the answer: a desktop without a notification service costs nothing.
    QDBusConnection::sessionBus().send(notify);
}

void DesktopJobProgress::SendLauncherEntry(double progress, bool visible)
{
    if (!m_busAvailable)
        return;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/com/tarnivo/Tarnivo"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), progress);
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << kLauncherEntry << properties;
    QDBusConnection::sessionBus().send(update);
}

}  // namespace tarnivo
