// What the window tells about a job beyond its own controls: the end message that says where
// the results are and offers to open that folder, and, where the desktop offers them on the
// session bus, the job's progress on the program's launcher entry and a notification at its end.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tarnivo {

class WindowDialogs;
struct JobProgress;
struct JobSummary;

// The folders that hold the files a job made, in the order of the files (more than one only
// when the output folder was changed during the job), each ending in "/".
QStringList ResultFolders(const JobSummary& summary);

// The end message of a job: its final message ("Done." first), and when files were made, the
// folder they are in with the offer to open it. Opens the folder on Yes (see OpenFolder).
void TellJobEnd(WindowDialogs& dialogs, const QString& title, const JobSummary& summary);

// Shows the folder with the desktop's opener; when it cannot be opened, a warning says so with
// the folder's path (rather than a line on standard error that nobody sees).
void OpenFolder(WindowDialogs& dialogs, const QString& title, const QString& folder);

// The job's progress on the launcher entry "application://com.quorlan.tarnivo.desktop"
// (com.canonical.Unity.LauncherEntry, which docks and task managers read) and a desktop
// notification (org.freedesktop.Notifications) at the end of a job the user is not watching.
// Without a session bus, nothing is sent.
class DesktopJobProgress {
public:
    DesktopJobProgress();
    void ShowProgress(const JobProgress& progress);
    // The progress leaves the entry; the notification comes when the window is not active.
    void ShowEnd(const JobSummary& summary, const QWidget& window);

private:
    void SendLauncherEntry(double progress, bool visible);

    bool m_busAvailable = false;
    int m_shownPercent = -1;
};

}  // namespace tarnivo
