// Start-up, settings and the output folder of the window, on an empty and on a filled store.
#include "ProfileCatalogue.h"
#include "SettingsStore.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace tarnivo {
namespace {

using test::ScriptedDialogs;

class WindowStart : public test::WindowTest {};

// The text a control shows (check states as 0/1/2, option buttons as True/False), as stored.
QString ShownValue(QWidget* control)
{
    if (auto* box = qobject_cast<QComboBox*>(control))
        return box->currentText();
    if (auto* check = qobject_cast<QCheckBox*>(control))
        return QString::number(check->checkState() == Qt::Checked            ? 1
                               : check->checkState() == Qt::PartiallyChecked ? 2
                                                                             : 0);
    if (auto* option = qobject_cast<QRadioButton*>(control))
        return option->isChecked() ? "True" : "False";
    return "?";
}

TEST_F(WindowStart, FirstStartShowsTheDefaultsAndARestartRestoresEveryOption)
{
    // The desktop folder named in the user's folder settings.
    const QString desktop = folder() + "/My Desktop/";
    QDir().mkpath(desktop);
    QDir().mkpath(folder() + "/config");
    QFile userDirs(folder() + "/config/user-dirs.dirs");
    ASSERT_TRUE(userDirs.open(QIODevice::WriteOnly));
    userDirs.write("XDG_DESKTOP_DIR=\"" + folder().toUtf8() + "/My Desktop\"\n");
    userDirs.close();
    {
        Form1 form(&dialogs);
        EXPECT_TRUE(dialogs.log.isEmpty()) << dialogs.log.join("\n").toStdString();
        EXPECT_EQ(form.windowTitle(), "Tarnivo");
        EXPECT_EQ(Control<QLineEdit>(form, "Text2")->text(), desktop);
        EXPECT_EQ(ReadSetting("Text2"), desktop);
        EXPECT_EQ(form.ProfileName(), "AVI (MPEG4-XviD-Best Quality)");
        EXPECT_EQ(form.RowCount(), 0);
        auto* list = Control<QTreeWidget>(form, "ListView1");
        EXPECT_EQ(list->headerItem()->text(0),
                  "Drag and drop files here. Move | bar to the right if needed.");
        EXPECT_EQ(list->columnCount(), 2);
        EXPECT_EQ(list->headerItem()->text(1), "Status");
        EXPECT_EQ(Control<QProgressBar>(form, "ProgressBar1")->text(), "Progress Bar");

        // Places (twips / 15), captions and fonts.
        EXPECT_EQ(form.size(), QSize(536, 612));
        auto* start = Control<QPushButton>(form, "PushButton5");
        EXPECT_EQ(start->geometry(), QRect(8, 542, 520, 27));
        EXPECT_EQ(start->text(), "Start Converting");
        EXPECT_TRUE(start->font().bold());
        EXPECT_DOUBLE_EQ(start->font().pointSizeF(), 11.25);
        EXPECT_DOUBLE_EQ(Control(form, "Text2")->font().pointSizeF(), 9);
        EXPECT_EQ(Control(form, "Text2")->geometry(), QRect(16, 20, 433, 23));
        EXPECT_EQ(Control<QPushButton>(form, "PushButton6")->text(), "Load Sample/Example Files");
        EXPECT_TRUE(form.HandCursorLoaded());  // HAND-M.CUR is made beside the programs
        EXPECT_EQ(Control(form, "PushButton1")->cursor().shape(), Qt::BitmapCursor);

        // The panel: disabled, with its defaults; "Custom Format" enables it.
        for (const OptionKey& option : OptionKeysInRestoreOrder()) {
            QWidget* control = Control(form, option.control);
            EXPECT_EQ(ShownValue(control), option.defaultValue) << option.key;
            EXPECT_EQ(control->isEnabled(), option.control == std::string("Combo1")) << option.control;
        }
        Control<QComboBox>(form, "Combo1")->setCurrentText("Custom Format");
        EXPECT_TRUE(Control(form, "Option1")->isEnabled());

        // Typed texts, odd states and a typed folder.
        Control<QComboBox>(form, "Combo8")->setEditText("720x576");
        Control<QComboBox>(form, "Combo7")->setEditText("23.976");
        Control<QComboBox>(form, "Combo2")->setEditText("my codec");
        Control<QComboBox>(form, "Combo9")->setEditText("mkv");
        Control<QCheckBox>(form, "Check1")->setCheckState(Qt::Checked);
        Control<QCheckBox>(form, "Check2")->setCheckState(Qt::PartiallyChecked);
        Control<QRadioButton>(form, "Option1")->setChecked(true);
        Control<QLineEdit>(form, "Text2")->setText("/no/such/folder");
        EXPECT_EQ(ReadSetting("Text2"), "/no/such/folder");
        form.close();
    }
    EXPECT_EQ(ReadSetting("Op9"), "1");
    EXPECT_EQ(ReadSetting("Op11"), "True");
    EXPECT_EQ(ReadSetting("Op12"), "False");

    Form1 again(&dialogs);
    EXPECT_TRUE(dialogs.log.isEmpty()) << dialogs.log.join("\n").toStdString();
    EXPECT_EQ(again.OutputFolderText(), "/no/such/folder");
    const QList<QPair<const char*, QString>> restored{
        {"Combo1", "Custom Format"}, {"Combo2", "my codec"}, {"Combo3", "360"},    {"Combo4", "mp2"},
        {"Combo5", "128"},           {"Combo6", "44100"},    {"Combo7", "23.976"}, {"Combo8", "720x576"},
        {"Combo9", "mkv"},           {"Check1", "1"},        {"Check2", "2"},      {"Option1", "True"},
        {"Option2", "False"}};
    for (const auto& [control, value] : restored) {
        EXPECT_EQ(ShownValue(Control(again, control)), value) << control;
        EXPECT_TRUE(Control(again, control)->isEnabled()) << control;
    }
    const CustomFormatValues custom = again.CustomValues();
    EXPECT_EQ(custom.videoSize, "720x576");
    EXPECT_EQ(custom.deInterlaceState, 2);
    EXPECT_TRUE(custom.mono);
    EXPECT_FALSE(custom.stereo);
}

TEST_F(WindowStart, StoredProfileThatIsNoProfileLeavesTheSelectorEmptyAfterOneReport)
{
    WriteSetting("Op1", "avi (mpeg4-xvid-best quality)");
    WriteSetting("Op2", "h264");
    WriteSetting("Op13", "");
    Form1 form(&dialogs);
    ASSERT_EQ(dialogs.log.size(), 1);
    EXPECT_TRUE(dialogs.log[0].startsWith("warning:Application Error|Invalid property value\r\n"
                                          "in Klemvar2017/04/05.Form1.Form_Load at line "))
        << dialogs.log[0].toStdString();
    EXPECT_TRUE(
        dialogs.log[0].endsWith("\r\rPlease email screenshot of this message to support@tarnivo.app"));
    EXPECT_EQ(Control<QComboBox>(form, "Combo1")->currentText(), "");
    EXPECT_EQ(form.ProfileName(), "avi (mpeg4-xvid-best quality)");  // what the job's refusal names
    EXPECT_FALSE(Control(form, "Combo2")->isEnabled());
    EXPECT_EQ(form.CustomValues().videoCodec, "h264");
    EXPECT_EQ(form.CustomValues().extension, ".avi");  // an empty extension comes back as ".avi"

    // "Start Converting" refuses at once, naming the profile, and nothing runs.
    form.AddFilesFromCommandLine({folder() + "/clip.avi"});
    dialogs.log.clear();
    Control<QPushButton>(form, "PushButton5")->click();
    ASSERT_TRUE(
        test::ProcessEventsUntil([&] { return !dialogs.log.isEmpty() && !form.JobRunning(); }, 120000));
    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|The profile \"avi (mpeg4-xvid-best quality)\" is not "
                                       "defined. Please choose one in the Profile list."});

    // The custom panel's codecs that this ffmpeg cannot write are marked, and stay in the list.
    auto* codecs = Control<QComboBox>(form, "Combo2");
    const int fourXm = codecs->findText("4xm");
    ASSERT_GE(fourXm, 0);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return codecs->itemData(fourXm, Qt::ToolTipRole).isValid(); },
                                         120000));
    EXPECT_TRUE(codecs->itemData(fourXm, Qt::ToolTipRole).toString().contains("cannot write"));
    EXPECT_FALSE(codecs->itemData(codecs->findText("mpeg4"), Qt::ToolTipRole).isValid());
}

// The picker starts in the output folder (the home folder when that does not exist, never the
// program's current folder).
TEST_F(WindowStart, FolderPickerStartsInTheOutputFolderAndStoresTheFolderWithOneSlash)
{
    Form1 form(&dialogs);
    auto* text2 = Control<QLineEdit>(form, "Text2");
    text2->setText("/no/such/folder/");
    const QList<QPair<QString, QString>> picks{
        {"/home/ann/my films", "/home/ann/my films/"}, {"/", "/"}, {"", "/"}};  // "" = cancelled
    for (const auto& [picked, shown] : picks) {
        dialogs.folders = {picked};
        Control<QPushButton>(form, "PushButton2")->click();
        EXPECT_EQ(dialogs.log.takeLast(), "folder:Please select folder:");
        EXPECT_EQ(text2->text(), shown);
        EXPECT_EQ(ReadSetting("Text2"), shown);
    }
    EXPECT_EQ(dialogs.startFolders, (QStringList{QDir::homePath(), QDir::homePath(), "/"}));
}

// On a first start the output folder is the desktop folder, else the videos folder (many
// desktops have no desktop folder), else the home folder; a stored folder stays as stored.
TEST_F(WindowStart, FirstStartOutputFolderIsTheDesktopElseTheVideosFolderElseHome)
{
    const QString home = folder() + "/home";
    test::ScopedEnvironment userHome("HOME", home);
    struct Case {
        QStringList folders;  // made in the home folder
        QString shown;
    };
    const QList<Case> cases{{{"Desktop", "Videos"}, home + "/Desktop/"},
                            {{"Videos"}, home + "/Videos/"},
                            {{"Music"}, home + "/"}};
    for (const Case& start : cases) {
        QDir(home).removeRecursively();
        for (const QString& name : start.folders)
            QDir().mkpath(home + "/" + name);
        QSettings(QSettings::UserScope, "Quorlan").remove("Tarnivo/Text2");
        Form1 form(&dialogs);
        EXPECT_EQ(form.OutputFolderText(), start.shown) << start.folders.join(' ').toStdString();
        EXPECT_EQ(ReadSetting("Text2"), start.shown);
    }
    QDir().mkpath(home + "/Videos");  // the stored folder stays
    EXPECT_EQ(Form1(&dialogs).OutputFolderText(), home + "/");
    EXPECT_TRUE(dialogs.log.isEmpty()) << dialogs.log.join("\n").toStdString();
}

// Made larger, the window gives the room to the job list and the full-width rows; the rest keep
// their places to their edges. The list's columns share its gain as they share its width, as
// designed or as the user moved the bar. Its size comes back at the next start; it never gets
// smaller than designed.
TEST_F(WindowStart, ALargerWindowGivesTheRoomToTheListAndTheFolderFieldAndIsRemembered)
{
    const QSize larger(804, 918);  // 1.5 times the designed 536 x 612
    const int dx = 268, dy = 306;
    auto fileColumn = [](Form1& form) { return Control<QTreeWidget>(form, "ListView1")->columnWidth(0); };
    auto listWidth = [](Form1& form) { return Control<QTreeWidget>(form, "ListView1")->viewport()->width(); };
    int designedFileColumn = 0;
    int designedListWidth = 0;
    auto grownFileColumn = [&] {
        return qRound(designedFileColumn * 1.0 * (designedListWidth + dx) / designedListWidth);
    };
    {
        Form1 form(&dialogs);
        EXPECT_EQ(form.minimumSize(), QSize(536, 612));
        form.show();
        designedFileColumn = fileColumn(form);
        designedListWidth = listWidth(form);
        form.resize(larger);
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return form.size() == larger; }, 60000));
        EXPECT_EQ(listWidth(form), designedListWidth + dx);
        EXPECT_EQ(fileColumn(form), grownFileColumn());  // the status column grows too
        const QList<QPair<const char*, QRect>> places{
            {"ListView1", {8, 8, 520 + dx, 121 + dy}},
            {"PushButton1", {8, 136 + dy, 256 + dx / 2, 27}},
            {"PushButton4", {272 + dx / 2, 136 + dy, 256 + dx / 2, 27}},
            {"Frame2", {8, 200 + dy, 520 + dx, 53}},
            {"Text2", {16, 20, 433 + dx, 23}},
            {"PushButton2", {456 + dx, 20, 47, 23}},
            {"Combo1", {16, 20, 495 + dx, 23}},
            {"Frame5", {272 + dx / 2, 316 + dy, 256 + dx / 2, 217}},
            {"Combo4", {80, 20, 153, 23}},
            {"PushButton5", {8, 542 + dy, 520 + dx, 27}},
            {"ProgressBar1", {8, 577 + dy, 520 + dx, 27}}};
        for (const auto& [name, place] : places)
            EXPECT_EQ(Control(form, name)->geometry(), place) << name;
        // The bar moved to the middle, the window back to its designed size and larger again:
        // half and half.
        Control<QTreeWidget>(form, "ListView1")->header()->resizeSection(0, listWidth(form) / 2);
        form.resize(QSize(536, 612));
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return form.size() == QSize(536, 612); }, 60000));
        form.resize(larger);
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return form.size() == larger; }, 60000));
        EXPECT_NEAR(fileColumn(form), listWidth(form) / 2, 1);
        form.close();
    }
    EXPECT_EQ(ReadSetting("WindowSize"), "804x918");
    {
        Form1 again(&dialogs);
        EXPECT_EQ(again.size(), larger);
        again.show();
        EXPECT_EQ(Control(again, "ListView1")->geometry(), QRect(8, 8, 520 + dx, 121 + dy));
        EXPECT_EQ(fileColumn(again), grownFileColumn());
    }
    WriteSetting("WindowSize", "100x50");
    EXPECT_EQ(Form1(&dialogs).size(), QSize(536, 612));
    EXPECT_TRUE(dialogs.log.isEmpty()) << dialogs.log.join("\n").toStdString();
}

// tarnivo answers --help and --version and refuses an unknown option without any display and
// without opening a window.
TEST_F(WindowStart, ProgramAnswersHelpAndVersionAndRefusesUnknownOptionsWithoutADisplay)
{
    struct Case {
        QStringList arguments;
        int exitCode;
        QString output;  // its start
        QString errors;
    };
    const QList<Case> cases{
        {{"--help"}, 0, "Usage: tarnivo [options] [FILE...]\n", ""},
        {{"-h", "clip.avi"}, 0, "Usage: tarnivo [options] [FILE...]\n", ""},
        {{"--version"}, 0, "tarnivo " TARNIVO_VERSION "\n", ""},
        {{"-", "-v"}, 0, "tarnivo " TARNIVO_VERSION "\n", ""},
        {{"clip.avi", "--reverse", "--help"}, 2, "", "tarnivo: unknown option '--reverse' (see --help)\n"},
        {{"-style", "fusion"}, 2, "", "tarnivo: unknown option '-style' (see --help)\n"},
    };
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        headless.remove(name);
    for (const Case& run : cases) {
        const std::string name = run.arguments.join(' ').toStdString();
        QProcess program;
        program.setProcessEnvironment(headless);
        program.start(QCoreApplication::applicationDirPath() + "/tarnivo", run.arguments);
        ASSERT_TRUE(program.waitForFinished(120000)) << name;  // a window would never end
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(program.exitCode(), run.exitCode) << name;
        const QString output = QString::fromLocal8Bit(program.readAllStandardOutput());
        // The output starts with the expected text; where none is expected, there is none.
        EXPECT_EQ(output.left(std::max(run.output.size(), qsizetype(1))), run.output) << name;
        EXPECT_EQ(QString::fromLocal8Bit(program.readAllStandardError()), run.errors) << name;
    }
}

}  // namespace
}  // namespace tarnivo
