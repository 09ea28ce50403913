// "Start Converting" from the window with the real job, ffmpeg and SoX: the outputs, the caption,
// the bar, the status column and the final message; and closing the window in the middle of a
// job.
#include "JobListMenu.h"
#include "JobListStore.h"
#include "JobListView.h"
#include "SettingsStore.h"
#include "WindowTestSupport.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace tarnivo {
namespace {

using test::MakeFile;
using test::Rows;

class WindowJob : public test::WindowTest {
protected:
    void SetUp() override
    {
        QDir().mkpath(out());
        QDir().mkpath(temp.root());
    }

    QString out() const { return folder() + "/out folder"; }

    QString Clip(const QString& name, double seconds)
    {
        test::ClipOptions options;
        options.seconds = seconds;
        const QString path = folder() + "/sources/" + name;
        QDir().mkpath(folder() + "/sources");
        EXPECT_TRUE(test::MakeClip(path, options));
        return path;
    }

    // Regular files anywhere below the folder.
    static QStringList FilesBelow(const QString& top)
    {
        QStringList files;
        QDirIterator it(top, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    test::TempEnvironment temp;
};

// What the window shows while a job runs, sampled every few milliseconds.
struct JobWatch {
    QStringList captions;
    QStringList statuses;  // every status text seen, once each
    QStringList bar;       // every "value|text" of the progress bar seen, once each
    int rowsDuringJob = -1;
};

// The status column tells of every row: waiting, how far it is, what it made or why it failed.
TEST_F(WindowJob, StartConvertingReversesTheFilesAndShowsEachOnesStatus)
{
    const QStringList sources{Clip("clip one.avi", 2.0), Clip("it's $2 100% \"Ü\" \\ back.avi", 1.0),
                              folder() + "/sources/missing.avi"};
    MakeFile(out() + "/clip one.avi");  // taken: the first result is clip one0.avi
    Form1 form(&dialogs);
    form.show();
    form.AddFilesFromCommandLine(sources);
    form.findChild<QLineEdit*>("Text2")->setText(out() + "/");
    auto* start = Control<QPushButton>(form, "PushButton5");
    auto* list = Control<QTreeWidget>(form, "ListView1");
    list->setCurrentItem(list->topLevelItem(0));

    JobWatch watch;
    auto* bar = Control<QProgressBar>(form, "ProgressBar1");
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        // The caption while the job runs (a tick may also come after its end in the same turn).
        if (form.JobRunning() && !watch.captions.contains(start->text()))
            watch.captions << start->text();
        const QString barState = QStringLiteral("%1|%2").arg(bar->value()).arg(bar->text());
        if (!watch.bar.contains(barState))
            watch.bar << barState;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QString status = list->topLevelItem(row)->text(1);
            if (!watch.statuses.contains(status))
                watch.statuses << status;
        }
        if (form.JobRunning() && watch.rowsDuringJob < 0) {
            // Rows are not removed while the job reads them.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(list, &press);
            Control<QPushButton>(form, "PushButton3")->click();
            watch.rowsDuringJob = form.RowCount();
        }
    });
    sampler.start(20);
    QStringList captionsBehindMessages;
    dialogs.whenShown = [&] { captionsBehindMessages << start->text(); };
    start->click();  // the job starts and the window goes on
    EXPECT_TRUE(form.JobRunning());
    ASSERT_TRUE(
        test::ProcessEventsUntil([&] { return !form.JobRunning() && !dialogs.log.isEmpty(); }, 600000));
    sampler.stop();

    EXPECT_EQ(watch.captions, QStringList{"Cancel"});
    EXPECT_EQ(captionsBehindMessages, QStringList{"Start Converting"});  // the job had ended
    EXPECT_EQ(watch.rowsDuringJob, 3);
    EXPECT_TRUE(watch.statuses.contains("waiting"));
    const QRegularExpression reversing("^reversing \\d+ %( · \\d+:\\d\\d left)?$");
    const QRegularExpression converting("^converting \\d+ %( · \\d+:\\d\\d left)?$");
    EXPECT_FALSE(watch.statuses.filter(reversing).isEmpty()) << watch.statuses.join("\n").toStdString();
    EXPECT_FALSE(watch.statuses.filter(converting).isEmpty()) << watch.statuses.join("\n").toStdString();
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(bar->text(), "Progress Bar");
    EXPECT_EQ(bar->value(), 0);
    // Only the designed values: i / 3 x 100 at the start of row i, the pulse, rest; and the
    // designed texts: "Progress Bar" and the engine's "Please wait... " count.
    const QRegularExpression designedBar(
        "^(0|25|33|50|66|75|100)\\|(Progress Bar|Please wait\\.\\.\\. \\d+)$");
    for (const QString& state : std::as_const(watch.bar))
        EXPECT_TRUE(designedBar.match(state).hasMatch()) << state.toStdString();

    // The end message says where the results are (the answer No opens nothing).
    const QStringList made{out() + "/clip one0.avi", out() + "/it's $2 100% \"Ü\" \\ back.avi"};
    ASSERT_EQ(dialogs.log.size(), 1);
    EXPECT_TRUE(dialogs.log[0].startsWith("question:Tarnivo|Done.\n1 file failed:\n" + sources[2] + ": "))
        << dialogs.log[0].toStdString();
    EXPECT_TRUE(dialogs.log[0].endsWith("\n\nThe results are in " + out() + "/\nOpen this folder?"))
        << dialogs.log[0].toStdString();
    for (const QString& name : made) {
        const QFileInfo output(name);
        EXPECT_TRUE(output.isFile() && output.size() > 0) << name.toStdString();
    }
    EXPECT_EQ(FilesBelow(temp.work()), QStringList({temp.work() + "/" + kWorkFolderMarkerName}));

    const QStringList statuses{list->topLevelItem(0)->text(1), list->topLevelItem(1)->text(1),
                               list->topLevelItem(2)->text(1)};
    // The missing file was found out before any work: it is told as a file that cannot be made.
    EXPECT_EQ(statuses,
              (QStringList{"made clip one0.avi", "made it's $2 100% \"Ü\" \\ back.avi", "cannot be made"}));
    EXPECT_EQ(list->topLevelItem(0)->toolTip(1), made[0]);
    const QString reason = list->topLevelItem(2)->toolTip(1);
    EXPECT_TRUE(reason.startsWith("cannot be made: ") && reason.contains("No such file or directory"))
        << reason.toStdString();
    EXPECT_TRUE(dialogs.log[0].contains(reason));  // the reason in full
}

TEST_F(WindowJob, ClosingDuringAJobCancelsItAndLeavesNothingBehind)
{
    Form1 form(&dialogs);
    form.show();
    form.AddFilesFromCommandLine({Clip("long.avi", 6.0)});
    form.findChild<QLineEdit*>("Text2")->setText(out() + "/");
    auto* start = Control<QPushButton>(form, "PushButton5");

    bool closeAsked = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        // Close once the job is well under way (frames in the working folder).
        if (!closeAsked && form.JobRunning() && FilesBelow(temp.work()).size() > 20) {
            closeAsked = true;
            form.close();
            EXPECT_TRUE(form.isVisible());  // the window waits for the job to stop
        }
    });
    closer.start(20);
    start->click();
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return closeAsked && !form.isVisible(); }, 600000));
    closer.stop();

    // The window goes without waiting for anyone to answer a message.
    EXPECT_EQ(dialogs.log, QStringList());
    EXPECT_EQ(Control<QTreeWidget>(form, "ListView1")->topLevelItem(0)->text(1), "cancelled");
    EXPECT_EQ(FilesBelow(out()), QStringList());
    EXPECT_EQ(FilesBelow(temp.work()), QStringList({temp.work() + "/" + kWorkFolderMarkerName}));
    EXPECT_EQ(ReadSetting("Op1"), "AVI (MPEG4-XviD-Best Quality)");  // the options were saved
}

// Opens the job list's context menu on the row and picks the action.
void PickFromMenu(Form1& form, int row, const QString& action)
{
    auto* list = form.findChild<JobListView*>("ListView1");
    emit list->customContextMenuRequested(list->visualItemRect(list->topLevelItem(row - 1)).center());
    auto* menu = list->findChild<QMenu*>("JobListMenu");
    ASSERT_NE(menu, nullptr);
    for (QAction* item : menu->actions()) {
        if (item->text() == action && item->isEnabled())
            item->trigger();
    }
    menu->hide();
}

// The list of a window killed in the middle of a job comes back at the next start: the file made
// stays made and is not made again, the other keeps its part and is made; a pause from the
// list's menu shows in its status.
TEST_F(WindowJob, AJobListKilledMidJobIsRestoredWithoutRedoingItsMadeRows)
{
    const QString kept = folder() + "/data/tarnivo/job-list.json";
    const QString killed = folder() + "/job-list as killed.json";
    const QStringList sources{Clip("first.avi", 1.0), Clip("second.avi", 4.0)};
    {
        Form1 form(&dialogs);
        form.show();
        form.KeepJobList(kept);
        EXPECT_EQ(dialogs.log, QStringList());  // nothing kept: nothing offered
        form.AddFilesFromCommandLine(sources);
        form.findChild<QLineEdit*>("Text2")->setText(out() + "/");
        auto* list = Control<JobListView>(form, "ListView1");
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return !list->ReadingFilms(); }, 600000));
        dialogs.texts = {"0:01 to 0:03"};
        PickFromMenu(form, 2, kReversePartAction);
        ASSERT_EQ(dialogs.log.size(), 1);
        EXPECT_TRUE(dialogs.log[0].contains("Reverse a part of second.avi\nThe film is 0:04 long."))
            << dialogs.log[0].toStdString();
        EXPECT_TRUE(list->ShownLines(2).value(1).contains("0:01 to 0:03"));

        Control<QPushButton>(form, "PushButton5")->click();
        // The moment the first row is made and kept so, the window is "killed": its file is
        // what the next start finds.
        ASSERT_TRUE(test::ProcessEventsUntil(
            [&] {
                QFile file(kept);
                return file.open(QIODevice::ReadOnly) && file.readAll().contains("\"made\"");
            },
            600000));
        ASSERT_TRUE(QFile::copy(kept, killed));
        form.close();
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return !form.JobRunning(); }, 600000));
    }
    QFile::remove(kept);
    ASSERT_TRUE(QFile::copy(killed, kept));
    const QStringList madeBefore = QDir(out()).entryList(QDir::Files);
    ASSERT_TRUE(madeBefore.contains("first.avi"));

    dialogs.log.clear();
    dialogs.yesNo = {true};
    Form1 form(&dialogs);
    form.show();
    form.KeepJobList(kept);
    EXPECT_EQ(dialogs.log,
              QStringList{"question:Tarnivo|Restore the 2 files of the last job list? 1 was made."});
    EXPECT_EQ(Rows(form), sources);
    auto* list = Control<JobListView>(form, "ListView1");
    EXPECT_EQ(list->StatusOf(1), "made first.avi");
    EXPECT_TRUE(list->ShownLines(2).value(1).contains("0:01 to 0:03"));
    form.findChild<QLineEdit*>("Text2")->setText(out() + "/");

    // Paused from the start, the job comes to the second file and stops there until it goes on.
    Control<QPushButton>(form, "PushButton5")->click();
    PickFromMenu(form, 2, kPauseAction);
    ASSERT_TRUE(
        test::ProcessEventsUntil([&] { return list->StatusOf(2).endsWith(" \u00b7 paused"); }, 600000));
    EXPECT_TRUE(form.JobRunning());
    PickFromMenu(form, 2, kPauseAction);
    ASSERT_TRUE(
        test::ProcessEventsUntil([&] { return !form.JobRunning() && !dialogs.log.isEmpty(); }, 600000));
    EXPECT_EQ(list->StatusOf(1), "made first.avi");
    EXPECT_TRUE(list->StatusOf(2).startsWith("made second")) << list->StatusOf(2).toStdString();
    const QStringList made = QDir(out()).entryList(QDir::Files);
    EXPECT_EQ(made.filter("first"), QStringList{"first.avi"});  // not made again
    const QString second = out() + "/" + made.filter("second").constLast();
    EXPECT_NEAR(test::StreamEntry(second, "v:0", "duration").toDouble(), 2.0, 0.2);

    // Closing with an empty list forgets the kept one.
    Control<QPushButton>(form, "PushButton3")->click();
    form.close();
    EXPECT_FALSE(QFile::exists(kept));
}

}  // namespace
}  // namespace tarnivo
