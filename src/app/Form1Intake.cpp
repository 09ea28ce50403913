// Form1's file list intake: the dialog, the folder scan by extension, dropped files and folders,
// the command line's files, the sample files, and the removal of rows.
#include "Form1.h"

#include "AddFolder.h"
#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobList.h"
#include "JobListView.h"
#include "Main.h"
#include "ProfileCatalogue.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "WindowDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

namespace tarnivo {

namespace {

const QString kAddFilesTitle = QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files");
// The designed filter first, then every container that ffmpeg reads and people meet.
const QString kAddFilesFilter = QStringLiteral(
    "Supported Video Files (*.wmv *.flv *.avi *.mpg *.mpeg *.mov *.mp4);;"
    "All Video Files (*.3g2 *.3gp *.asf *.avi *.divx *.dv *.f4v *.flv *.m2t *.m2ts *.m2v *.m4v *.mkv *.mov "
    "*.mp4 *.mpe *.mpeg *.mpg *.mts *.mxf *.nut *.ogg *.ogv *.qt *.rm *.rmvb *.ts *.vob *.webm *.wmv *.wtv);;"
    "All Files (*)");
const QString kExtensionPrompt =
    QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                   "txt files, doc for all doc files, etc.)");
const QString kOpenSamplesQuestion =
    QStringLiteral("Would you like this software to open the folder where these sample files are stored (so "
                   "that you can view them before working with them)?");

}  // namespace

// The first of the folders that exists, else the home folder: a dialog never starts in the
// program's current folder.
QString Form1::StartFolder(const QStringList& candidates)
{
    for (const QString& folder : candidates) {
        if (!folder.isEmpty() && FolderExists(folder))
            return folder;
    }
    return QDir::homePath();
}

void Form1::PushButton1_Click()
{
    QStringList files;
    Trap("PushButton1_Click", 5, [&] {
        files = m_dialogs.PickFiles(kAddFilesTitle, kAddFilesFilter, StartFolder({m_lastAddedFrom}));
    });
    if (!files.isEmpty())
        m_lastAddedFrom = QDir::cleanPath(QFileInfo(files.first()).absolutePath());
    Trap("PushButton1_Click", 7, [&] {
        if (files.size() == 1) {
            m_list->AddRow(files.first());
            return;
        }
        for (const QString& file : std::as_const(files))
            m_list->AddRow(RepairDoubleSlashes(file));
    });
}

void Form1::PushButton4_Click()
{
    const char* procedure = "PushButton4_Click";
    QString answer;
    Trap(procedure, 1,
         [&] { answer = m_dialogs.AskText(ApplicationTitle(), kExtensionPrompt, QStringLiteral("*")); });
    if (answer.isEmpty())
        return;
    Trap(procedure, 3, [&] { TellSettingProblem(WriteSetting(QLatin1String(kExtensionKey), answer)); });
    QString folder;
    Trap(procedure, 4, [&] {
        folder = BrowseForFolder(m_dialogs, kPickFolderTitle, StartFolder({m_lastAddedFrom, Text2->text()}));
    });
    if (folder.isEmpty())
        return;
    m_lastAddedFrom = folder;
    ShowBusyPointer();
    QStringList folders{folder + QLatin1Char('/')};
    Trap(procedure, 6, [&] { GetSubFolders(folders, true); });
    QStringList refused;
    Trap(procedure, 7, [&] {
        for (const QString& entry : std::as_const(folders)) {
            for (const QString& path : FilesOfFolderEntry(entry, QStringLiteral("*.") + answer, &refused))
                m_list->AddRow(path);
        }
    });
    ShowDefaultPointer();
    TellRefusedNames(refused);
}

void Form1::ListView1_OLEDragDrop(const QStringList& items)
{
    AddFilesAndFolders("ListView1_OLEDragDrop", items);
}

void Form1::AddFilesAndFolders(const char* procedure, const QStringList& paths)
{
    QStringList emptyFolders;
    QStringList refused;
    int line = 0;
    for (const QString& path : paths) {
        Trap(procedure, ++line, [&] {
            const qsizetype refusedBefore = refused.size();
            if (m_list->AddFileOrFolder(path, &refused) == 0 && refused.size() == refusedBefore)
                emptyFolders << QStringLiteral("The folder '%1' holds no files.").arg(path);
        });
    }
    if (!emptyFolders.isEmpty())
        ShowMessage(emptyFolders.join(QLatin1Char('\n')));
    TellRefusedNames(refused);
}

// Files a folder holds under names that are not UTF-8 cannot be handed to the tools: they are
// named (escaped), never dropped without a word.
void Form1::TellRefusedNames(const QStringList& refused)
{
    if (refused.isEmpty())
        return;
    ShowMessage(QStringLiteral("These files were not added: %1.\n%2")
                    .arg(kNameNotUtf8Reason, refused.join(QLatin1Char('\n'))));
}

void Form1::PushButton6_Click()
{
    const char* procedure = "PushButton6_Click";
    const QString samples = FindBesideProgram(QStringLiteral("Samples"));
    Trap(procedure, 1, [&] {
        for (const QString& name : ListFiles(samples, QStringLiteral("*.*")))
            m_list->AddRow(samples + QLatin1Char('/') + name);
    });
    Trap(procedure, 3, [&] {
        if (!m_dialogs.AskYesNo(ApplicationTitle(), kOpenSamplesQuestion))
            return;
        const QChar quote = QLatin1Char('"');
        RunningTools opener;  // a folder goes to the desktop's opener: no program of ours runs
        GShell(quote + samples + QLatin1Char('/') + quote, QStringLiteral("/"), opener);
    });
}

void Form1::RemoveSelectedRow()
{
    // Rows are read by position while a job runs, so none is removed then.
    if (!m_busyPointer && !JobRunning())
        m_list->RemoveSelectedRow();
}

void Form1::PushButton3_Click()
{
    if (JobRunning())
        return;
    Trap("PushButton3_Click", 1, [this] { m_list->Clear(); });
}

void Form1::AddFilesFromCommandLine(const QStringList& arguments)
{
    QStringList paths;
    for (const QString& argument : arguments) {
        const QUrl url(argument);
        paths << QFileInfo(url.isLocalFile() ? url.toLocalFile() : argument).absoluteFilePath();
    }
    AddFilesAndFolders("AddFilesFromCommandLine", paths);
}

}  // namespace tarnivo
