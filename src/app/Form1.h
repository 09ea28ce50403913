// Form1, the program's window: the job list, the output folder, the profile and its custom
// panel, the start / cancel button and the progress bar. It owns the conversion engine AVC1
// and the reverse job, and is the job's list, choices and message boxes.
//
// Controls carry their designer names as object names ("ListView1", "PushButton5", "Combo9"...).
#pragma once

#include "ConversionWindow.h"
#include "JobFeedback.h"
#include "ReverseJob.h"
#include "MessageSink.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace tarnivo {

class AVC;
class JobList;
class JobListView;
class WindowDialogs;

// The title of both folder pickers (the output folder, the folder scan).
inline const QString kPickFolderTitle = QStringLiteral("Please select folder:");

class Form1 : public QWidget, public JobChoices, public MessageSink, public ConversionWindow {
    Q_OBJECT

public:
    // Builds the window and runs its start-up. Without dialogs, Qt's own are used.
    explicit Form1(WindowDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Files and folders named on the command line, in order (folders with all their files).
    void AddFilesFromCommandLine(const QStringList& arguments);

    // The job list's rows; rows count from 1.
    int RowCount() const;
    QString RowText(int row) const;

    // JobChoices.
    QString OutputFolderText() const override;
    QString ProfileName() const override;
    CustomFormatValues CustomValues() const override;

    // MessageSink and ConversionWindow.
    void ShowMessage(const QString& text) override;
    void ShowErrorReport(const QString& text) override;
    void ShowWarning(const QString& title, const QString& text) override;
    void SetProgressText(const QString& text) override;
    void SetProgressValue(int value) override;
    void DisableTimer() override;
    void SetButtonEnabled(WindowButton button, bool enabled) override;
    void SetStartButtonCaption(const QString& caption) override;
    bool JobRunning() const override;

    // The busy pointer, which doubles as the window's busy flag during folder scans.
    bool BusyPointerShowing() const { return m_busyPointer; }
    bool HandCursorLoaded() const { return m_handCursorLoaded; }
    AVC* Engine() const { return AVC1.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();

    void Form_Load();
    void ApplySkin();
    void LoadHandCursor();
    void CreateEngineAndJob();
    void ShowJobProgress(const JobProgress& progress);
    void FillProfileLists();
    void RestoreOptions();
    void UpdateCustomControls();
    void Form_QueryUnload();
    void SaveOptions();
    void RestoreWindowSize();

    void Text2_Change();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void ListView1_OLEDragDrop(const QStringList& items);
    // Adds each file, and each folder's files, as rows; a folder that gave none is named in one
    // message, so nothing is dropped without a word.
    void AddFilesAndFolders(const char* procedure, const QStringList& paths);
    void TellRefusedNames(const QStringList& refused);
    void TellSettingProblem(const QString& problem);
    void RemoveSelectedRow();

    void ShowBusyPointer();
    void ShowDefaultPointer();
    static QString StartFolder(const QStringList& candidates);

    // Runs one step of a procedure; an error in it is shown with the standard error report at
    // Form1.<procedure> and the procedure goes on with its next step.
    void Trap(const char* procedure, int line, const std::function<void()>& step);

    std::unique_ptr<WindowDialogs> m_ownDialogs;
    WindowDialogs& m_dialogs;

    JobListView* ListView1 = nullptr;
    QTreeWidget* ListView2 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QLineEdit* Text2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QComboBox* Combo4 = nullptr;
    QComboBox* Combo5 = nullptr;
    QComboBox* Combo6 = nullptr;
    QComboBox* Combo7 = nullptr;
    QComboBox* Combo8 = nullptr;
    QComboBox* Combo9 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer Timer1;

    std::unique_ptr<JobList> m_list;
    std::unique_ptr<AVC> AVC1;
    std::unique_ptr<ReverseJob> m_job;
    bool m_busyPointer = false;
    bool m_handCursorLoaded = false;
    bool m_closing = false;    // the window closes once the running job has ended
    qint16 ProgressPhase = 0;  // the bar's pulse position while a file is converted
    int m_barFile = 0;         // the row the bar was last set for
    bool m_settingProblemTold = false;  // a setting that could not be saved is told once
    QString m_storedProfileNotInList;   // the stored "Op1" that the profile list could not show
    DesktopJobProgress m_desktop;
    QString m_lastAddedFrom;  // the folder files were last added from by a dialog
};

}  // namespace tarnivo
