// How long the window's event loop is ever held while a job runs: a timer probe that asks to run
// every 5 ms notes the longest gap between its runs, from "Start Converting" to the job's end.
//
//   window_stall [SECONDS [WIDTHxHEIGHT [FILES]]]   (default: 60 s of 1280x720 at 30 fps, 1 file)
//
// Runs on Qt's offscreen platform with a private working folder, settings and output folder.
#include "Form1.h"
#include "MediaTestSupport.h"
#include "WindowDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Every dialog is answered at once: messages are noted, questions answered No.
class QuietDialogs : public tarnivo::WindowDialogs {
public:
    void ShowMessage(const QString&, const QString& text) override { said << text; }
    void ShowWarning(const QString&, const QString& text) override { said << text; }
    bool AskYesNo(const QString&, const QString& text) override
    {
        said << text;
        return false;
    }
    QString AskText(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList PickFiles(const QString&, const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return QString(); }
    QStringList said;
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const double seconds = arguments.value(1, "60").toDouble();
    const QStringList size = arguments.value(2, "1280x720").split('x');
    const int files = arguments.value(3, "1").toInt();

    tarnivo::test::TempEnvironment temp;
    QTemporaryDir home;
    tarnivo::test::ScopedEnvironment config("XDG_CONFIG_HOME", home.path() + "/config");
    tarnivo::test::ClipOptions options;
    options.seconds = seconds;
    options.width = size.value(0).toInt();
    options.height = size.value(1).toInt();
    options.frameRate = "30";
    const QString clip = home.path() + "/clip.avi";
    if (!tarnivo::test::MakeClip(clip, options)) {
        std::printf("could not make the clip\n");
        return 1;
    }
    QDir().mkpath(home.path() + "/out");

    QuietDialogs dialogs;
    tarnivo::Form1 form(&dialogs);
    form.show();
    form.AddFilesFromCommandLine(QStringList(files, clip));
    form.findChild<QLineEdit*>("Text2")->setText(home.path() + "/out/");
    // The window is drawn, and the job list has read its files, before the button is pressed,
    // as a user sees it: the first drawing is not the job's.
    QElapsedTimer settle;
    settle.start();
    tarnivo::test::ProcessEventsUntil([&] { return settle.elapsed() > 1000; }, 5000);

    std::vector<qint64> gaps;
    QStringList longGaps;  // each gap over 50 ms: when it ended, and the first row's status then
    qint64 longestSeen = 0;
    QString longestWhen;  // when the longest gap ended, and the first row's status then
    QElapsedTimer sinceLast;
    QElapsedTimer job;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    auto* list = form.findChild<QTreeWidget*>("ListView1");
    QObject::connect(&probe, &QTimer::timeout, [&] {
        gaps.push_back(sinceLast.restart());
        if (gaps.back() > longestSeen) {
            longestSeen = gaps.back();
            longestWhen = QStringLiteral("%1 s (%2)")
                              .arg(job.elapsed() / 1000.0, 0, 'f', 1)
                              .arg(list->topLevelItem(0)->text(1));
        }
        if (gaps.back() > 50)
            longGaps << QStringLiteral("%1 ms at %2 s (%3)")
                            .arg(gaps.back())
                            .arg(job.elapsed() / 1000.0, 0, 'f', 1)
                            .arg(list->topLevelItem(0)->text(1));
    });
    job.start();
    sinceLast.start();
    probe.start(5);
    form.findChild<QPushButton*>("PushButton5")->click();
    tarnivo::test::ProcessEventsUntil([&] { return !form.JobRunning(); }, 24 * 3600000);
    probe.stop();

    std::sort(gaps.begin(), gaps.end());
    const qint64 longest = gaps.empty() ? 0 : gaps.back();
    const auto over = std::count_if(gaps.begin(), gaps.end(), [](qint64 gap) { return gap > 50; });
    std::printf("job: %d file(s) of %.0f s at %sx%s, %.1f s\n", files, seconds, qPrintable(size.value(0)),
                qPrintable(size.value(1)), job.elapsed() / 1000.0);
    std::printf("event loop: longest gap %lld ms at %s, 99th percentile %lld ms, %lld of %zu gaps over 50 ms\n",
                static_cast<long long>(longest), qPrintable(longestWhen),
                static_cast<long long>(gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100]),
                static_cast<long long>(over), gaps.size());
    for (const QString& gap : std::as_const(longGaps))
        std::printf("  %s\n", qPrintable(gap));
    std::printf("said: %s\n", qPrintable(dialogs.said.join(" | ").left(300)));
    return 0;
}
