#include "Form1.h"

#include "AVC.h"
#include "AddFolder.h"
#include "ConversionEvents.h"
#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobFeedback.h"
#include "JobListView.h"
#include "Main.h"
#include "ProfileCatalogue.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "WindowDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

namespace tarnivo {

namespace {

const QString kJobListHeader = QStringLiteral("Drag and drop files here. Move | bar to the right if needed.");
const QString kAddFilesTitle = QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files");
// The designed filter first, then every container that ffmpeg reads and people meet.
const QString kAddFilesFilter = QStringLiteral(
    "Supported Video Files (*.wmv *.flv *.avi *.mpg *.mpeg *.mov *.mp4);;"
    "All Video Files (*.3g2 *.3gp *.asf *.avi *.divx *.dv *.f4v *.flv *.m2t *.m2ts *.m2v *.m4v *.mkv *.mov "
    "*.mp4 *.mpe *.mpeg *.mpg *.mts *.mxf *.nut *.ogg *.ogv *.qt *.rm *.rmvb *.ts *.vob *.webm *.wmv *.wtv);;"
    "All Files (*)");
const QString kPickFolderTitle = QStringLiteral("Please select folder:");
const QString kExtensionPrompt =
    QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                   "txt files, doc for all doc files, etc.)");
const QString kOpenSamplesQuestion =
    QStringLiteral("Would you like this software to open the folder where these sample files are stored (so "
                   "that you can view them before working with them)?");
const QString kErrorReportTitle = QStringLiteral("Application Error");

constexpr double kTextPoints = 9;
constexpr double kButtonPoints = 11.25;
constexpr int kTwipsPerPixel = 15;

int pixels(int twips) { return qRound(double(twips) / kTwipsPerPixel); }

QRect twips(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

// Arial bold where it is installed, else the default sans-serif font in bold.
QFont windowFont(double points)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (QFontDatabase::hasFamily(QStringLiteral("Arial")))
        font.setFamily(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setGeometry(place);
    button->setFont(windowFont(kButtonPoints));
    return button;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* frame = named(new QGroupBox(caption, parent), name);
    frame->setGeometry(place);
    return frame;
}

QComboBox* makeOptionBox(QWidget* frame, const char* name, int topTwips)
{
    auto* box = named(new QComboBox(frame), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);  // what is typed is kept as typed
    box->setGeometry(twips(1200, topTwips - 60, 2295, 345));
    return box;
}

// The controls' places were laid out for Arial; a wider font is made smaller where a caption would
// not fit its place.
void shrinkToFit(QWidget* widget, const QString& caption, int room)
{
    QFont font = widget->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(caption) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
}

void makeLabel(QWidget* frame, const QString& caption, int topTwips)
{
    auto* label = new QLabel(caption, frame);
    label->setGeometry(twips(240, topTwips, 945, 240));
    shrinkToFit(label, caption, label->width());
}

template <typename Button>
Button* makeChoice(QWidget* frame, const char* name, const QString& caption, const QRect& place)
{
    auto* button = named(new Button(caption, frame), name);
    button->setGeometry(place);
    const int indicator = button->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    shrinkToFit(button, caption, place.width() - indicator);
    return button;
}

void addEntries(QComboBox* box, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries)
        box->addItem(QString::fromStdString(entry));
}

// A control's value as the settings store keeps it: a text as typed, a check state as "0"
// (clear), "1" (checked) or "2" (greyed), an option button as "True" or "False".
QString storedText(const QWidget* control)
{
    if (auto* box = qobject_cast<const QComboBox*>(control))
        return box->currentText();
    if (auto* check = qobject_cast<const QCheckBox*>(control)) {
        const Qt::CheckState state = check->checkState();
        return QString::number(state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
    }
    if (auto* button = qobject_cast<const QRadioButton*>(control))
        return button->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
    return QString();
}

// Shows a stored value in an editable box, a check box or an option button.
void showStoredText(QWidget* control, const QString& value)
{
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        box->setEditText(value);
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        const int state = value.toInt();
        check->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    } else if (auto* button = qobject_cast<QRadioButton*>(control)) {
        button->setChecked(value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
    }
}

}  // namespace

Form1::Form1(WindowDialogs* dialogs, QWidget* parent)
    : QWidget(parent), m_ownDialogs(dialogs ? nullptr : std::make_unique<QtWindowDialogs>(this)),
      m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(pixels(8040), pixels(9180));
    setFont(windowFont(kTextPoints));
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

void Form1::CreateControls()
{
    ListView1 = named(new JobListView(this), "ListView1");
    ListView1->setGeometry(twips(120, 120, 7800, 1815));
    ListView1->setColumnCount(0);
    PushButton1 =
        makeButton(this, "PushButton1", QStringLiteral("Add Video File(s)"), twips(120, 2040, 3840, 405));
    PushButton4 = makeButton(this, "PushButton4", QStringLiteral("Add All Video File(s) In Folder"),
                             twips(4080, 2040, 3840, 405));
    PushButton3 = makeButton(this, "PushButton3", QStringLiteral("Clear List"), twips(120, 2550, 3840, 405));
    PushButton6 = makeButton(this, "PushButton6", QStringLiteral("Load Sample/Example Files"),
                             twips(4080, 2550, 3840, 405));

    Frame2 =
        makeFrame(this, "Frame2", QStringLiteral("Save Results To This Folder"), twips(120, 3000, 7800, 800));
    Text2 = named(new QLineEdit(Frame2), "Text2");
    Text2->setGeometry(twips(240, 300, 6495, 345));
    PushButton2 = makeButton(Frame2, "PushButton2", QStringLiteral("..."), twips(6840, 300, 705, 345));

    Frame3 = makeFrame(this, "Frame3", QStringLiteral("Profile"), twips(120, 3870, 7800, 800));
    Combo1 = named(new QComboBox(Frame3), "Combo1");
    Combo1->setGeometry(twips(240, 300, 7425, 345));

    CreateCustomPanel();

    PushButton5 = makeButton(this, "PushButton5", kStartButtonCaption, twips(120, 8130, 7800, 405));
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setGeometry(twips(120, 8655, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(kIdleProgressText);

    // The frame sorting table lies below the client area and is never seen.
    ListView2 = named(new QTreeWidget(this), "ListView2");
    ListView2->setGeometry(twips(120, 9750, 7800, 1215));
    ListView2->setColumnCount(0);

    Timer1.setObjectName(QStringLiteral("Timer1"));
}

void Form1::CreateCustomPanel()
{
    Frame4 = makeFrame(this, "Frame4", QStringLiteral("Video (Profile = Custom Format)"),
                       twips(120, 4740, 3840, 3255));
    makeLabel(Frame4, QStringLiteral("Codec"), 360);
    makeLabel(Frame4, QStringLiteral("Bitrate"), 840);
    makeLabel(Frame4, QStringLiteral("Framerate"), 1320);
    makeLabel(Frame4, QStringLiteral("Size"), 1800);
    makeLabel(Frame4, QStringLiteral("Extension"), 2280);
    Combo2 = makeOptionBox(Frame4, "Combo2", 360);
    Combo3 = makeOptionBox(Frame4, "Combo3", 840);
    Combo7 = makeOptionBox(Frame4, "Combo7", 1320);
    Combo8 = makeOptionBox(Frame4, "Combo8", 1800);
    Combo9 = makeOptionBox(Frame4, "Combo9", 2280);
    Check1 =
        makeChoice<QCheckBox>(Frame4, "Check1", QStringLiteral("SameQuality"), twips(240, 2760, 1425, 300));
    Check2 =
        makeChoice<QCheckBox>(Frame4, "Check2", QStringLiteral("DeInterlace"), twips(1680, 2760, 1425, 300));

    Frame5 = makeFrame(this, "Frame5", QStringLiteral("Audio (Profile = Custom Format)"),
                       twips(4080, 4740, 3840, 3255));
    makeLabel(Frame5, QStringLiteral("Codec"), 360);
    makeLabel(Frame5, QStringLiteral("Bitrate"), 840);
    makeLabel(Frame5, QStringLiteral("Samples"), 1320);
    makeLabel(Frame5, QStringLiteral("Channels"), 1800);
    Combo4 = makeOptionBox(Frame5, "Combo4", 360);
    Combo5 = makeOptionBox(Frame5, "Combo5", 840);
    Combo6 = makeOptionBox(Frame5, "Combo6", 1320);
    Option1 =
        makeChoice<QRadioButton>(Frame5, "Option1", QStringLiteral("Mono"), twips(1200, 1800, 840, 300));
    Option2 =
        makeChoice<QRadioButton>(Frame5, "Option2", QStringLiteral("Stereo"), twips(2040, 1800, 1200, 300));
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
        const QString key = QLatin1String(kOutputFolderKey);
        Text2->setText(IsSettingStored(key) ? ReadSetting(key) : DesktopFolder());
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
        ListView2->setColumnWidth(0, pixels(3500));
        ListView2->setColumnWidth(1, pixels(3500));
    });
}

// AVC1 with Timer1 as its tick source and the bar as its view, its events wired to the window's
// handlers, and the reverse job that runs with it.
void Form1::CreateEngineAndJob()
{
    AVC1 = std::make_unique<AVC>(&Timer1, this);
    connect(AVC1.get(), &AVC::Converting, this, [this] { AVC1_Converting(ProgressPhase, *this); });
    connect(AVC1.get(), &AVC::Complete, this, [this] { AVC1_Complete(ProgressPhase, *this); });
    connect(AVC1.get(), &AVC::ErrorEvent, this,
            [this](const QString& ErrorMessage) { AVC1_ErrorEvent(ErrorMessage, ProgressPhase, *this); });
    m_job = std::make_unique<ReverseJob>(*AVC1, *this, *this, *this);
    connect(m_job.get(), &ReverseJob::Started, this, [this] { SetStartButtonCaption(kCancelButtonCaption); });
    connect(m_job.get(), &ReverseJob::ProgressChanged, this, &Form1::SetProgressValue);
    connect(m_job.get(), &ReverseJob::Progress, ListView1, &JobListView::ShowProgress);
    connect(m_job.get(), &ReverseJob::Progress, this,
            [this](const JobProgress& p) { m_desktop.ShowProgress(p); });
    connect(m_job.get(), &ReverseJob::FileFinished, ListView1, &JobListView::ShowOutcome);
    m_job->SetEndMessage([this](const JobSummary& summary) {
        ListView1->ShowEnd(summary);
        m_desktop.ShowEnd(summary, *this);
        if (!m_closeAfterJob)  // a window that is closing goes without waiting for an answer
            TellJobEnd(m_dialogs, ApplicationTitle(), summary);
    });
    connect(m_job.get(), &ReverseJob::Finished, this, [this] {
        SetStartButtonCaption(kStartButtonCaption);
        SetProgressText(kIdleProgressText);
        SetProgressValue(0);
    });
}

void Form1::ApplySkin()
{
    const QString skinFile = FindBesideProgram(QStringLiteral("x/o.cjs"));
    if (!PathExists(skinFile))
        return;
    const QColor buttonFace = palette().color(QPalette::Button);
    QList<QWidget*> painted{this};
    for (QWidget* child : findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            painted << child;
    }
    for (QWidget* widget : painted) {
        QPalette colours = widget->palette();
        colours.setColor(QPalette::Window, buttonFace);
        widget->setPalette(colours);
        widget->setAutoFillBackground(true);
    }
    QFile skin(skinFile);
    if (!skin.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read the skin " + skinFile.toStdString());
    setStyleSheet(QString::fromUtf8(skin.readAll()));
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

void Form1::FillProfileLists()
{
    for (const std::string& name : ProfileNames())
        Combo1->addItem(QString::fromStdString(name));
    Combo1->setCurrentIndex(-1);
    const CustomOptionLists& lists = OptionLists();
    addEntries(Combo2, lists.videoCodecs);
    addEntries(Combo3, lists.videoBitrates);
    addEntries(Combo4, lists.audioCodecs);
    addEntries(Combo5, lists.audioBitrates);
    addEntries(Combo6, lists.audioSamples);
    addEntries(Combo7, lists.frameRates);
    addEntries(Combo8, lists.frameSizes);
    addEntries(Combo9, lists.extensions);
    for (QComboBox* box : {Combo2, Combo3, Combo4, Combo5, Combo6, Combo7, Combo8, Combo9})
        box->setEditText(QString());
}

void Form1::RestoreOptions()
{
    int line = 10;
    for (const OptionKey& option : OptionKeysInRestoreOrder()) {
        Trap("Form_Load", line++, [this, &option] {
            const QString value = ReadSetting(QLatin1String(option.key), QLatin1String(option.defaultValue));
            QWidget* control = findChild<QWidget*>(QLatin1String(option.control));
            if (control != Combo1) {
                showStoredText(control, value);
                return;
            }
            // The profile list is not editable: a name that is not in it is an invalid value.
            const int index = Combo1->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
            Combo1->setCurrentIndex(index);
            if (index < 0)
                throw std::runtime_error("Invalid property value");
        });
    }
}

void Form1::UpdateCustomControls()
{
    const bool enabled = CustomPanelEnabledFor(Combo1->currentText().toStdString());
    for (QWidget* control : std::initializer_list<QWidget*>{Combo9, Combo2, Combo3, Combo4, Combo5, Combo6,
                                                            Combo7, Combo8, Check1, Check2, Option1, Option2})
        control->setEnabled(enabled);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (JobRunning()) {
        // Cancel first; the window closes when the job has ended (see PushButton5_Click).
        m_closeAfterJob = true;
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
    auto keyNumber = [](const OptionKey& option) { return QByteArray(option.key).mid(2).toInt(); };
    std::vector<OptionKey> keys(OptionKeysInRestoreOrder().begin(), OptionKeysInRestoreOrder().end());
    std::sort(keys.begin(), keys.end(),
              [&](const OptionKey& a, const OptionKey& b) { return keyNumber(a) < keyNumber(b); });
    for (const OptionKey& option : keys)
        WriteSetting(QLatin1String(option.key),
                     storedText(findChild<QWidget*>(QLatin1String(option.control))));
}

// ---- The output folder ----

void Form1::Text2_Change() { WriteSetting(QLatin1String(kOutputFolderKey), Text2->text()); }

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

// ---- The job list ----

void Form1::AddRow(const QString& path)
{
    auto* row = new QTreeWidgetItem(ListView1, {path});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

void Form1::AddFolderTree(const QString& folder, const QString& pattern)
{
    for (const QString& path : FilesOfFolderTree(folder, pattern))
        AddRow(path);
}

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
            AddRow(files.first());
            return;
        }
        for (const QString& file : std::as_const(files))
            AddRow(RepairDoubleSlashes(file));
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
    Trap(procedure, 3, [&] { WriteSetting(QLatin1String(kExtensionKey), answer); });
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
    Trap(procedure, 7, [&] {
        for (const QString& entry : std::as_const(folders)) {
            for (const QString& path : FilesOfFolderEntry(entry, QStringLiteral("*.") + answer))
                AddRow(path);
        }
    });
    ShowDefaultPointer();
}

void Form1::ListView1_OLEDragDrop(const QStringList& items)
{
    int line = 0;
    for (const QString& item : items) {
        Trap("ListView1_OLEDragDrop", ++line, [&] {
            if (FolderExists(item))
                AddFolderTree(item, QStringLiteral("*.*"));
            else
                AddRow(item);
        });
    }
}

void Form1::PushButton6_Click()
{
    const char* procedure = "PushButton6_Click";
    const QString samples = FindBesideProgram(QStringLiteral("Samples"));
    Trap(procedure, 1, [&] {
        for (const QString& name : ListFiles(samples, QStringLiteral("*.*")))
            AddRow(samples + QLatin1Char('/') + name);
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
    if (m_busyPointer || JobRunning() || ListView1->topLevelItemCount() < 1)
        return;
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.first();
}

void Form1::PushButton3_Click()
{
    if (JobRunning())
        return;
    Trap("PushButton3_Click", 1, [this] { ListView1->clear(); });
}

void Form1::AddFilesFromCommandLine(const QStringList& arguments)
{
    int line = 0;
    for (const QString& argument : arguments) {
        Trap("AddFilesFromCommandLine", ++line, [&] {
            const QUrl url(argument);
            const QString path =
                QFileInfo(url.isLocalFile() ? url.toLocalFile() : argument).absoluteFilePath();
            if (FolderExists(path))
                AddFolderTree(path, QStringLiteral("*.*"));
            else
                AddRow(path);
        });
    }
}

int Form1::RowCount() const { return ListView1->topLevelItemCount(); }

QString Form1::RowText(int row) const
{
    const QTreeWidgetItem* item = ListView1->topLevelItem(row - 1);
    return item ? item->text(0) : QString();
}

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
    if (m_closeAfterJob && !JobRunning()) {
        m_closeAfterJob = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

bool Form1::JobRunning() const { return m_job && m_job->IsRunning(); }

QString Form1::OutputFolderText() const { return Text2->text(); }

QString Form1::ProfileName() const { return Combo1->currentText(); }

CustomFormatValues Form1::CustomValues() const
{
    return ChoicesFromStoredTexts([this](const OptionKey& option) {
               return storedText(findChild<QWidget*>(QLatin1String(option.control)));
           })
        .custom;
}

// ---- Messages and the engine's view of the window ----

void Form1::ShowMessage(const QString& text) { m_dialogs.ShowMessage(ApplicationTitle(), text); }

void Form1::ShowErrorReport(const QString& text) { m_dialogs.ShowWarning(kErrorReportTitle, text); }

void Form1::ShowWarning(const QString& title, const QString& text) { m_dialogs.ShowWarning(title, text); }

void Form1::SetProgressText(const QString& text) { ProgressBar1->setFormat(text); }

void Form1::SetProgressValue(int value) { ProgressBar1->setValue(value); }

void Form1::DisableTimer() { Timer1.stop(); }

void Form1::SetButtonEnabled(WindowButton button, bool enabled)
{
    switch (button) {
    case WindowButton::PushButton1:
        PushButton1->setEnabled(enabled);
        break;
    case WindowButton::PushButton2:
        PushButton2->setEnabled(enabled);
        break;
    case WindowButton::PushButton4:
        PushButton4->setEnabled(enabled);
        break;
    case WindowButton::PushButton6:
        PushButton6->setEnabled(enabled);
        break;
    }
}

void Form1::SetStartButtonCaption(const QString& caption) { PushButton5->setText(caption); }

}  // namespace tarnivo
