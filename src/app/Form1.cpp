#include "Form1.h"

#include "AVC.h"
#include "CodecMarks.h"
#include "JobPlan.h"
#include "AddFolder.h"
#include "ConversionEvents.h"
#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobFeedback.h"
#include "JobList.h"
#include "JobListView.h"
#include "Main.h"
#include "ProfileCatalogue.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "WindowDialogs.h"
#include "WindowLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QUrl>

#include <stdexcept>

namespace tarnivo {

namespace {

const QString kJobListHeader = QStringLiteral("Drag and drop files here. Move | bar to the right if needed.");
const QString kErrorReportTitle = QStringLiteral("Application Error");
// The window's size as the user left it, "WIDTHxHEIGHT" in pixels.
const QString kWindowSizeKey = QStringLiteral("WindowSize");

QString sizeText(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

}  // namespace

Form1::Form1(WindowDialogs* dialogs, QWidget* parent)
    : QWidget(parent), m_ownDialogs(dialogs ? nullptr : std::make_unique<QtWindowDialogs>(this)),
      m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
{
    setObjectName(QStringLiteral("Form1"));
    CreateControls();
    ConnectControls();
    Form_Load();
}

Form1::~Form1()
{
    m_job.reset();
    AVC1.reset();
    ShowDefaultPointer();
}

// The controls as the layout table makes them, found by their designed names.
void Form1::CreateControls()
{
    LayOutWindow(this);
    auto find = [this](auto*& control, const QString& name) {
        control = findChild<std::remove_reference_t<decltype(*control)>*>(name);
    };
    QPushButton** buttons[] = {&PushButton1, &PushButton2, &PushButton3,
                               &PushButton4, &PushButton5, &PushButton6};
    for (int i = 0; i < 6; ++i)
        find(*buttons[i], QStringLiteral("PushButton%1").arg(i + 1));
    QComboBox** boxes[] = {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5, &Combo6, &Combo7, &Combo8, &Combo9};
    for (int i = 0; i < 9; ++i)
        find(*boxes[i], QStringLiteral("Combo%1").arg(i + 1));
    find(ListView1, QStringLiteral("ListView1"));
    find(ListView2, QStringLiteral("ListView2"));
    find(Text2, QStringLiteral("Text2"));
    find(Check1, QStringLiteral("Check1"));
    find(Check2, QStringLiteral("Check2"));
    find(Option1, QStringLiteral("Option1"));
    find(Option2, QStringLiteral("Option2"));
    find(ProgressBar1, QStringLiteral("ProgressBar1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    m_list = std::make_unique<JobList>(*ListView1);
}

void Form1::ConnectControls()
{
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Combo1, &QComboBox::currentTextChanged, this, &Form1::UpdateCustomControls);
    connect(Combo1, &QComboBox::activated, this, &Form1::UpdateCustomControls);
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(ListView1, &JobListView::FilesDropped, this, &Form1::ListView1_OLEDragDrop);
    connect(ListView1, &JobListView::DeletePressed, this, &Form1::RemoveSelectedRow);
    connect(ListView1, &JobListView::DoubleClicked, this, &Form1::RemoveSelectedRow);
}

void Form1::Trap(const char* procedure, int line, const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& error) {
        ShowErrorReport(StandardErrorReportText(QString::fromUtf8(error.what()), QStringLiteral("Form1"),
                                                QLatin1String(procedure), line));
    }
}

// ---- Start-up and shutdown ----

void Form1::Form_Load()
{
    const char* procedure = "Form_Load";
    Trap(procedure, 1, [this] { ApplySkin(); });
    Trap(procedure, 2, [this] { setWindowTitle(QLatin1String(kProductName)); });
    Trap(procedure, 3, [this] {
        const QString iconFile = FindBesideProgram(QStringLiteral("tarnivo.png"));
        setWindowIcon(PathExists(iconFile) ? QIcon(iconFile) : QIcon::fromTheme(QStringLiteral("tarnivo")));
    });
    Trap(procedure, 4, [] { SetApplicationTitle(); });
    Trap(procedure, 5, [this] { LoadHandCursor(); });
    Trap(procedure, 6, [this] { ListView1->SetHeader(kJobListHeader); });
    Trap(procedure, 7, [this] { ProgressPhase = 0; });
    Trap(procedure, 8, [this] { FillProfileLists(); });
    Trap(procedure, 9, [this] {
        // A stored folder that cannot be used (empty, not UTF-8) falls back to the default, told once.
        const StoredValue folder = StoredOutputFolder();
        Text2->setText(folder.value);
        if (!folder.notice.isEmpty())
            ShowMessage(folder.notice);
    });
    RestoreOptions();
    Trap(procedure, 24, [this] {
        if (Combo9->currentText().isEmpty())
            Combo9->setEditText(QStringLiteral(".avi"));
    });
    Trap(procedure, 25, [this] { UpdateCustomControls(); });
    Trap(procedure, 26, [this] { CreateEngineAndJob(); });
    Trap(procedure, 27, [this] {
        ListView2->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Number")});
        ListView2->setColumnWidth(0, Pixels(3500));
        ListView2->setColumnWidth(1, Pixels(3500));
    });
    Trap(procedure, 28, [this] { RestoreWindowSize(); });
}

// A stored size smaller than designed (or unreadable) gives the designed size.
void Form1::RestoreWindowSize()
{
    const QStringList parts = ReadSetting(kWindowSizeKey).split(QLatin1Char('x'));
    if (parts.size() != 2)
        return;
    resize(QSize(parts[0].toInt(), parts[1].toInt()).expandedTo(DesignedWindowSize()));
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceControls(this);
}

// AVC1 with Timer1 as its tick source and the progress bar for its "Please wait... " texts, its
// events wired to the window's handlers, and the reverse job that runs with it.
void Form1::CreateEngineAndJob()
{
    AVC1 = std::make_unique<AVC>(&Timer1, this);
    connect(AVC1.get(), &AVC::Converting, this, [this] { AVC1_Converting(ProgressPhase, *this); });
    connect(AVC1.get(), &AVC::Complete, this, [this] { AVC1_Complete(ProgressPhase, *this); });
    connect(AVC1.get(), &AVC::ErrorEvent, this,
            [this](const QString& ErrorMessage) { AVC1_ErrorEvent(ErrorMessage, ProgressPhase, *this); });
    m_job = std::make_unique<ReverseJob>(*AVC1, *m_list, *this, *this, &ListView1->Probes());
    connect(m_job.get(), &ReverseJob::Started, this, [this] { SetStartButtonCaption(kCancelButtonCaption); });
    connect(m_job.get(), &ReverseJob::Progress, this, &Form1::ShowJobProgress);
    connect(m_job.get(), &ReverseJob::FileFinished, ListView1, &JobListView::ShowOutcome);
    m_job->SetEndMessage([this](const JobSummary& summary) {
        // The job has ended: the button says so before any message waits for an answer.
        SetStartButtonCaption(kStartButtonCaption);
        ListView1->ShowEnd(summary);
        m_desktop.ShowEnd(summary, *this);
        if (!m_closing)  // a window that is closing goes without waiting for an answer
            TellJobEnd(m_dialogs, ApplicationTitle(), summary);
    });
    connect(m_job.get(), &ReverseJob::Finished, this, [this] { SetStartButtonCaption(kStartButtonCaption); });
    // The custom panel shows which of its codecs this ffmpeg cannot write, once it is known.
    auto* encoders = new EncoderCatalogue(this);
    connect(encoders, &EncoderCatalogue::Ready, this, [this] {
        if (EncoderCatalogue::Known())
            MarkCodecsFfmpegCannotWrite(*Combo2, *Combo4, *EncoderCatalogue::Known());
    });
    encoders->Request();
}

// The Status column and the launcher entry follow the job; the bar shows i / N x 100 when row i
// begins (the engine's pulse takes it over while a file is converted).
void Form1::ShowJobProgress(const JobProgress& progress)
{
    if (progress.file > 0 && progress.file != m_barFile)
        SetProgressValue(
            static_cast<int>(static_cast<double>(progress.file) / std::max(1, RowCount()) * 100.0));
    m_barFile = progress.jobOver ? 0 : progress.file;
    ListView1->ShowProgress(progress);
    m_desktop.ShowProgress(progress);
}

void Form1::ApplySkin()
{
    const QString skinFile = FindBesideProgram(QStringLiteral("x/o.cjs"));
    if (PathExists(skinFile))
        ApplySkinFile(this, skinFile);
}

void Form1::LoadHandCursor()
{
    const QString cursorFile = FindBesideProgram(QStringLiteral("HAND-M.CUR"));
    if (!PathExists(cursorFile))
        return;
    const std::optional<QCursor> hand = LoadCursorFile(cursorFile);
    if (!hand)
        throw std::runtime_error("Invalid picture: " + cursorFile.toStdString());
    // Over the six buttons the pointer is the hand; elsewhere the default one. The busy
    // pointer overrides both while it shows.
    for (QPushButton* button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6})
        button->setCursor(*hand);
    m_handCursorLoaded = true;
}

void Form1::FillProfileLists() { FillLists(this); }

void Form1::RestoreOptions()
{
    int line = 10;
    for (const OptionKey& option : OptionKeysInRestoreOrder()) {
        Trap("Form_Load", line++, [this, &option] {
            const QString stored = ReadSetting(QLatin1String(option.key), QLatin1String(option.defaultValue));
            QWidget* control = findChild<QWidget*>(QLatin1String(option.control));
            if (control == Combo1)
                m_storedProfileNotInList = stored;  // until it is shown
            ShowStoredText(control, stored);
            if (control == Combo1)
                m_storedProfileNotInList.clear();
        });
    }
}

void Form1::UpdateCustomControls()
{
    // The panel: every stored option's control but the profile list.
    const bool enabled = CustomPanelEnabledFor(Combo1->currentText().toStdString());
    for (const OptionKey& option : OptionKeysInRestoreOrder()) {
        if (QWidget* control = findChild<QWidget*>(QLatin1String(option.control)); control != Combo1)
            control->setEnabled(enabled);
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (JobRunning()) {
        // Cancel first; the window closes when the job has ended.
        m_closing = true;
        connect(m_job.get(), &ReverseJob::Finished, this, &QWidget::close, Qt::SingleShotConnection);
        m_job->Cancel();
        event->ignore();
        return;
    }
    Form_QueryUnload();
    event->accept();
}

void Form1::Form_QueryUnload()
{
    SaveOptions();
    // AVC1 and the job are released with the window: a close asked for from a signal can come
    // while one of the window's handlers (a message box of the job's checks) is still running.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void Form1::SaveOptions()
{
    SaveStoredOptions(this);
    // A maximised or full-screen window keeps the size it had before.
    const bool ownSize = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    WriteSetting(kWindowSizeKey,
                 sizeText(ownSize || !normalGeometry().isValid() ? size() : normalGeometry().size()));
}

// ---- The output folder ----

void Form1::Text2_Change()
{
    TellSettingProblem(WriteSetting(QLatin1String(kOutputFolderKey), Text2->text()));
}

// Settings that cannot be saved (a configuration folder that cannot be written) are told once,
// with the real reason, not at every keystroke.
void Form1::TellSettingProblem(const QString& problem)
{
    if (problem.isEmpty() || m_settingProblemTold)
        return;
    m_settingProblemTold = true;
    ShowMessage(problem);
}

void Form1::PushButton2_Click()
{
    QString folder;
    Trap("PushButton2_Click", 1,
         [&] { folder = BrowseForFolder(m_dialogs, kPickFolderTitle, StartFolder({Text2->text()})); });
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    Text2->setText(folder);
}

int Form1::RowCount() const { return m_list->RowCount(); }

QString Form1::RowText(int row) const { return m_list->RowText(row); }

void Form1::ShowBusyPointer()
{
    if (m_busyPointer)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busyPointer = true;
}

void Form1::ShowDefaultPointer()
{
    if (!m_busyPointer)
        return;
    QApplication::restoreOverrideCursor();
    m_busyPointer = false;
}

// ---- The job ----

void Form1::PushButton5_Click()
{
    if (m_job)
        Trap("PushButton5_Click", 1, [this] { m_job->Press(); });
}

bool Form1::JobRunning() const { return m_job && m_job->IsRunning(); }

QString Form1::OutputFolderText() const { return Text2->text(); }

// Combo1's text; while nothing is selected because the stored profile is not in the list any
// more, that stored name, so that the job's refusal names it.
QString Form1::ProfileName() const
{
    const QString shown = Combo1->currentText();
    return shown.isEmpty() ? m_storedProfileNotInList : shown;
}

CustomFormatValues Form1::CustomValues() const { return ShownChoices(this).custom; }

// ---- Messages and the engine's view of the window ----

void Form1::ShowMessage(const QString& text) { m_dialogs.ShowMessage(ApplicationTitle(), text); }

void Form1::ShowErrorReport(const QString& text) { m_dialogs.ShowWarning(kErrorReportTitle, text); }

void Form1::ShowWarning(const QString& title, const QString& text) { m_dialogs.ShowWarning(title, text); }

void Form1::SetProgressText(const QString& text) { ProgressBar1->setFormat(text); }

void Form1::SetProgressValue(int value) { ProgressBar1->setValue(value); }

void Form1::DisableTimer() { Timer1.stop(); }

void Form1::SetButtonEnabled(WindowButton button, bool enabled)
{
    // In WindowButton's order.
    QPushButton* const buttons[] = {PushButton1, PushButton2, PushButton4, PushButton6};
    buttons[static_cast<int>(button)]->setEnabled(enabled);
}

void Form1::SetStartButtonCaption(const QString& caption) { PushButton5->setText(caption); }

}  // namespace tarnivo
