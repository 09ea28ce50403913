// "Start Converting" from the window with the real job, ffmpeg and SoX: the outputs, the caption,
// the bar and the final message; and closing the window in the middle of a job.
#include "SettingsStore.h"
#include "WindowTestSupport.h"

#include <QDirIterator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace tarnivo {
namespace {

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
    bool boldRowSeen = false;
    int rowsDuringJob = -1;
};

TEST_F(WindowJob, StartConvertingReversesBothFilesAndTellsDone)
{
    const QStringList sources{Clip("clip one.avi", 1.0), Clip("it's $2 100% \"Ü\" \\ back.avi", 1.0)};
    Form1 form(&dialogs);
    form.show();
    form.AddFilesFromCommandLine(sources);
    form.findChild<QLineEdit*>("Text2")->setText(out() + "/");
    auto* start = Control<QPushButton>(form, "PushButton5");
    auto* list = Control<QTreeWidget>(form, "ListView1");
    list->setCurrentItem(list->topLevelItem(0));

    JobWatch watch;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!watch.captions.contains(start->text()))
            watch.captions << start->text();
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            watch.boldRowSeen |= list->topLevelItem(row)->font(0).bold();
        if (form.JobRunning() && watch.rowsDuringJob < 0) {
            // Rows are not removed while the job reads them.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(list, &press);
            Control<QPushButton>(form, "PushButton3")->click();
            watch.rowsDuringJob = form.RowCount();
        }
    });
    sampler.start(20);
    start->click();  // returns when the job has ended
    sampler.stop();

    EXPECT_EQ(watch.captions, QStringList{"Cancel"});
    EXPECT_TRUE(watch.boldRowSeen);
    EXPECT_EQ(watch.rowsDuringJob, 2);
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(Control<QProgressBar>(form, "ProgressBar1")->text(), "Progress Bar");
    EXPECT_EQ(Control<QProgressBar>(form, "ProgressBar1")->value(), 0);
    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|Done."});
    for (const QString name : {"clip one.avi", "it's $2 100% \"Ü\" \\ back.avi"}) {
        const QFileInfo output(out() + "/" + name);
        EXPECT_TRUE(output.isFile() && output.size() > 0) << name.toStdString();
    }
    EXPECT_EQ(FilesBelow(temp.work()), QStringList());
    EXPECT_FALSE(list->topLevelItem(1)->font(0).bold());
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
    closer.stop();
    ASSERT_TRUE(closeAsked);
    EXPECT_TRUE(test::ProcessEventsUntil([&] { return !form.isVisible(); }, 10000));

    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|Cancelled."});
    EXPECT_EQ(FilesBelow(out()), QStringList());
    EXPECT_EQ(FilesBelow(temp.work()), QStringList());
    EXPECT_EQ(ReadSetting("Op1"), "AVI (MPEG4-XviD-Best Quality)");  // the options were saved
}

}  // namespace
}  // namespace tarnivo
