// Rows into and out of the job list: folder scans on real trees, drag and drop, the samples,
// the command line, Delete, double-click and "Clear List".
#include "AddFolder.h"
#include "JobListView.h"
#include "ShellOpen.h"
#include "SettingsStore.h"
#include "WindowTestSupport.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {
namespace {

using test::MakeFile;
using test::Rows;

const QString kExtensionPrompt =
    "prompt:Tarnivo|Enter file extension to load:\r\r(* for all files, txt for all txt "
    "files, doc for all doc files, etc.)|*";

class ListIntake : public test::WindowTest {
protected:
    // A tree with files at three levels, files the filter skips, a hidden folder, a link back
    // to the top, folders with odd names and one that denies listing.
    void SetUp() override
    {
        root = folder() + "/films";
        for (const char* file : {"b.avi", "a.txt", "CLIP.AVI", "odd..avi", ".hidden.avi", "~temp.avi",
                                 "sub1/x.avi", "sub1/deeper/y.avi", "sub2/z.avi", ".dotfolder/w.avi",
                                 "Ärger/ü.avi", "bad\x01name/v.avi", "locked/q.avi"})
            MakeFile(root + "/" + QString::fromUtf8(file));
        ASSERT_EQ(::symlink(root.toUtf8().constData(), (root + "/loop").toUtf8().constData()), 0);
        const QByteArray notUtf8 = root.toUtf8() + "/bad\xff";  // a name that is no UTF-8
        ASSERT_EQ(::mkdir(notUtf8.constData(), 0755), 0);
        ::close(::open((notUtf8 + "/u.avi").constData(), O_CREAT | O_WRONLY, 0644));
        ::chmod((root + "/locked").toUtf8().constData(), 0);
    }
    void TearDown() override { ::chmod((root + "/locked").toUtf8().constData(), 0755); }

    QStringList Under(const QStringList& names) const
    {
        QStringList paths;
        for (const QString& name : names)
            paths << root + "/" + name;
        return paths;
    }

    QString root;
};

int Depth(const QString& path) { return path.count('/'); }

// Rows sorted, for comparing sets; the order itself is checked level by level.
QStringList Sorted(QStringList rows)
{
    rows.sort();
    return rows;
}

TEST_F(ListIntake, FolderScanTakesEveryLevelInOrderWithTheFilter)
{
    const bool permissionsDeny = ::geteuid() != 0;  // root reads every folder
    const QStringList everyVideo{"b.avi",      "CLIP.AVI",         "odd..avi",    "sub1/x.avi",
                                 "sub2/z.avi", ".dotfolder/w.avi", "Ärger/ü.avi", "sub1/deeper/y.avi"};
    const QList<QPair<QString, QStringList>> scans{
        {"*", everyVideo + QStringList{"a.txt"}}, {"avi", everyVideo}, {".avi", {"odd..avi"}}};
    for (const auto& [answer, expected] : scans) {
        Form1 form(&dialogs);
        dialogs.log.clear();
        dialogs.texts = {answer};
        dialogs.folders = {root};
        Control<QPushButton>(form, "PushButton4")->click();
        EXPECT_EQ(dialogs.log, (QStringList{kExtensionPrompt, "folder:Please select folder:"}));
        EXPECT_EQ(ReadSetting("Extension"), answer);
        EXPECT_FALSE(form.BusyPointerShowing());

        QStringList rows = Rows(form);
        if (!permissionsDeny)
            rows.removeAll(root + "/locked/q.avi");
        EXPECT_EQ(Sorted(rows), Sorted(Under(expected))) << answer.toStdString();
        for (int i = 1; i < rows.size(); ++i)
            EXPECT_LE(Depth(rows[i - 1]), Depth(rows[i])) << rows[i].toStdString();
    }

    // A cancelled prompt asks for no folder and adds nothing.
    Form1 form(&dialogs);
    dialogs.log.clear();
    Control<QPushButton>(form, "PushButton4")->click();
    EXPECT_EQ(dialogs.log, QStringList{kExtensionPrompt});
    EXPECT_EQ(form.RowCount(), 0);
}

QMimeData* FileList(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

// Sends a drag-enter and a drop of the data to the job list; returns whether the drag was taken.
bool DragAndDrop(QWidget* list, QMimeData* data)
{
    QWidget* viewport = qobject_cast<QTreeWidget*>(list)->viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    delete data;
    return enter.isAccepted();
}

TEST_F(ListIntake, DroppedFilesAndFoldersComeInDropOrderAndTextIsRefused)
{
    Form1 form(&dialogs);
    QWidget* list = Control(form, "ListView1");
    const QString first = root + "/.hidden.avi";  // a dropped file is taken without the filter
    const QString last = root + "/a.txt";
    // A folder without files (only an empty folder in it) adds nothing and says so.
    const QString empty = root + "/empty";
    ASSERT_TRUE(QDir().mkpath(empty + "/inner"));
    EXPECT_TRUE(DragAndDrop(list, FileList({first, root + "/sub1", empty, last})));
    EXPECT_EQ(Rows(form), (QStringList{first, root + "/sub1/x.avi", root + "/sub1/deeper/y.avi", last}));
    EXPECT_EQ(dialogs.log, QStringList("message:Tarnivo|The folder '" + empty + "' holds no files."));
    dialogs.log.clear();

    auto* text = new QMimeData;
    text->setText(root + "/b.avi");
    EXPECT_FALSE(DragAndDrop(list, text));
    EXPECT_EQ(form.RowCount(), 4);

    EXPECT_TRUE(dialogs.log.isEmpty()) << dialogs.log.join("\n").toStdString();

    // Files and folders on the command line: absolute paths, in order.
    Form1 opened(&dialogs);
    const QString before = QDir::currentPath();
    QDir::setCurrent(root);
    opened.AddFilesFromCommandLine({"b.avi", "sub2", QUrl::fromLocalFile(last).toString()});
    EXPECT_EQ(Rows(opened), (QStringList{root + "/b.avi", root + "/sub2/z.avi", last}));
    QDir::setCurrent(before);

    // The open-file dialog: one file as chosen, several with the "//" repair.
    Form1 picked(&dialogs);
    dialogs.files = {{root + "/b.avi"}, {root + "//sub1/x.avi", last}, {}};
    for (int click = 0; click < 3; ++click)
        Control<QPushButton>(picked, "PushButton1")->click();
    EXPECT_EQ(Rows(picked), (QStringList{root + "/b.avi", root + "/sub1/x.avi", last}));
    EXPECT_EQ(dialogs.log,
              QStringList(3, "files:Add File(s) - Hold Ctrl or Shift to select multiple files|"
                             "Supported Video Files (*.wmv *.flv *.avi *.mpg *.mpeg *.mov *.mp4);;"
                             "All Video Files (*.3g2 *.3gp *.asf *.avi *.divx *.dv *.f4v *.flv *.m2t *.m2ts "
                             "*.m2v *.m4v *.mkv *.mov *.mp4 *.mpe *.mpeg *.mpg *.mts *.mxf *.nut *.ogg *.ogv "
                             "*.qt *.rm *.rmvb *.ts *.vob *.webm *.wmv *.wtv);;All Files (*)"));
    // The dialog starts in the home folder, then where files were last added from.
    EXPECT_EQ(dialogs.startFolders, (QStringList{QDir::homePath(), root, root + "/sub1"}));
}

void PressDelete(QWidget* list)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &press);
}

void DoubleClickRow(QWidget* list, int row)
{
    auto* view = qobject_cast<QTreeWidget*>(list);
    const QTreeWidgetItem* item = view->topLevelItem(row);
    const QPoint at = item ? view->visualItemRect(item).center() : QPoint(5, view->viewport()->height() - 5);
    QMouseEvent click(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &click);
}

TEST_F(ListIntake, DeleteAndDoubleClickRemoveTheSelectedRowUnlessBusy)
{
    Form1 form(&dialogs);
    form.show();
    auto* list = qobject_cast<QTreeWidget*>(Control(form, "ListView1"));
    DoubleClickRow(list, -1);  // on an empty list
    PressDelete(list);
    EXPECT_EQ(form.RowCount(), 0);

    form.AddFilesFromCommandLine(Under({"b.avi", "a.txt", "CLIP.AVI"}));
    list->clearSelection();
    PressDelete(list);
    EXPECT_EQ(form.RowCount(), 3);  // nothing selected
    list->setCurrentItem(list->topLevelItem(1));
    PressDelete(list);
    EXPECT_EQ(Rows(form), Under({"b.avi", "CLIP.AVI"}));
    list->setCurrentItem(list->topLevelItem(0));
    DoubleClickRow(list, 0);
    EXPECT_EQ(Rows(form), Under({"CLIP.AVI"}));

    // During a folder scan the busy pointer shows and nothing is removed.
    list->setCurrentItem(list->topLevelItem(0));
    bool busyDuringScan = false;
    QTimer::singleShot(0, &form, [&] {
        busyDuringScan = form.BusyPointerShowing();
        PressDelete(list);
        DoubleClickRow(list, 0);
    });
    dialogs.texts = {"txt"};
    dialogs.folders = {root};
    Control<QPushButton>(form, "PushButton4")->click();
    EXPECT_TRUE(busyDuringScan);
    EXPECT_EQ(Rows(form), Under({"CLIP.AVI", "a.txt"}));

    Control<QPushButton>(form, "PushButton3")->click();
    EXPECT_EQ(form.RowCount(), 0);
}

// A row shows the file's name first, then its length, picture size and folder (the folder cut
// in its middle, never the name), with a picture of the film; the tooltip and the row's text
// (what the job reads) stay the full path. ffprobe and ffmpeg read the film in the background:
// adding returns before anything is known. A file that cannot be read shows no picture, says so
// in its facts' place and its status, with no message; a row removed while its file is read
// just goes.
TEST_F(ListIntake, RowsShowTheNameFirstAndAPictureLengthAndSizeReadInTheBackground)
{
    QString deep = root;
    for (int level = 1; level <= 6; ++level)
        deep += QString("/a long folder name at level %1").arg(level);
    test::ClipOptions options;
    options.seconds = 2.0;
    options.width = 320;
    options.height = 240;
    const QString clip = deep + "/sea 'trip' $1 100%.avi";
    QDir().mkpath(deep);
    ASSERT_TRUE(test::MakeClip(clip, options));
    const QString second = deep + "/second.avi";
    ASSERT_TRUE(test::MakeClip(second, options));
    const QString longName = root + "/the whole family at the lake in summer.avi";  // no film
    MakeFile(longName);
    const QStringList paths{clip, root + "/b.avi", root + "/missing.avi", clip, longName};

    Form1 form(&dialogs);
    form.show();
    auto* list = Control<JobListView>(form, "ListView1");
    form.AddFilesFromCommandLine({second});  // its reading starts at once
    EXPECT_TRUE(list->ReadingFilms());       // and its answers come through the event loop
    EXPECT_FALSE(list->ShowsPicture(1));
    list->setCurrentItem(list->topLevelItem(0));
    DoubleClickRow(list, 0);  // removed while it is read
    form.AddFilesFromCommandLine(paths + QStringList{second});
    EXPECT_EQ(Rows(form), paths + QStringList{second});
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return !list->ReadingFilms(); }, 120000));
    EXPECT_TRUE(list->ShowsPicture(6));  // added back, read anew

    // A name wider than the column goes on over the second line.
    EXPECT_EQ(list->ShownLines(5).join(""), QFileInfo(longName).fileName());
    for (int row = 1; row <= 4; ++row) {
        const QStringList lines = list->ShownLines(row);
        const QString& path = paths[row - 1];
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], QFileInfo(path).fileName()) << row;
        EXPECT_EQ(list->topLevelItem(row - 1)->toolTip(0), path) << row;
        const bool film = path == clip;
        EXPECT_EQ(list->ShowsPicture(row), film) << row;
        if (film) {
            EXPECT_TRUE(lines[1].startsWith("0:02 \u00b7 320\u00d7240 \u00b7 /")) << lines[1].toStdString();
            EXPECT_TRUE(lines[1].contains(QChar(0x2026)) && lines[1].endsWith("level 6"))
                << lines[1].toStdString();
        } else {
            // Marked at once, before any job: no picture, the reason in the facts' place.
            EXPECT_TRUE(lines[1].startsWith("cannot be read: ")) << lines[1].toStdString();
            EXPECT_EQ(list->StatusOf(row), "cannot be read") << row;
        }
    }
    EXPECT_EQ(dialogs.log, QStringList());
}

TEST_F(ListIntake, SamplesAreAddedAndTheirFolderOpenedOnYes)
{
    QStringList opened;
    SetDocumentOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    const QString samples = QCoreApplication::applicationDirPath() + "/Samples";
    const QString question =
        "question:Tarnivo|Would you like this software to open the folder where these sample "
        "files are stored (so that you can view them before working with them)?";
    for (const bool yes : {true, false}) {
        Form1 form(&dialogs);
        dialogs.log.clear();
        dialogs.yesNo = {yes};
        Control<QPushButton>(form, "PushButton6")->click();
        EXPECT_EQ(dialogs.log, QStringList{question});
        EXPECT_EQ(Rows(form), (QStringList{samples + "/Sample 1 - Test Pattern.avi",
                                           samples + "/Sample 2 - Colour Bars.mpg",
                                           samples + "/Sample 3 - Fractal Zoom.mp4"}));
    }
    EXPECT_EQ(opened, QStringList{samples + "/"});
    SetDocumentOpener(nullptr);
}

}  // namespace
}  // namespace tarnivo
