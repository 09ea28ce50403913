// Prints how long one reversal takes and the working folder's peak use on disk, for a generated
// clip or a given film.
//   reverse_benchmark [seconds] [width]x[height] [fps]
//   reverse_benchmark FILE SECONDS
// Defaults: 10 seconds of 1280x720 at 30 fps, with sound.
#include "ChildProcess.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseOneFile.h"
#include "WorkFolder.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

struct PrintingSink : tarnivo::MessageSink {
    void ShowMessage(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void ShowErrorReport(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
    void ShowWarning(const QString& title, const QString& text) override
    {
        std::printf("%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        total += QFileInfo(files.next()).size();
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const double seconds = arguments.size() > 1 ? arguments[1].toDouble() : 10.0;
    const QStringList size = (arguments.size() > 2 ? arguments[2] : QString("1280x720")).split('x');
    const QString rate = arguments.size() > 3 ? arguments[3] : QString("30");

    tarnivo::test::TempEnvironment temp;
    if (!tarnivo::PrepareWorkFolder().isEmpty())
        return 1;
    tarnivo::test::InstallToolsInto(tarnivo::WorkFolder());

    tarnivo::test::ClipOptions options;
    options.seconds = seconds;
    options.width = size.value(0).toInt();
    options.height = size.value(1).toInt();
    options.frameRate = rate;
    const bool given = arguments.size() == 3 && QFileInfo(arguments[1]).isFile();
    const QString source = given ? QFileInfo(arguments[1]).absoluteFilePath() : temp.root() + "/source.avi";
    if (given)
        options.seconds = arguments[2].toDouble();
    else if (!tarnivo::test::MakeClip(source, options)) {
        std::printf("could not make the clip\n");
        return 1;
    }

    // Sample the frames' disk use while the reversal runs.
    qint64 peakBytes = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { peakBytes = std::max(peakBytes, folderBytes(tarnivo::WorkFolder())); });
    sampler.start(20);

    PrintingSink sink;
    QElapsedTimer clock;
    clock.start();
    const tarnivo::StepErrorReporter report(sink, "Form1", "PushButton5_Click");
    tarnivo::RunningTools tools;
    const bool made =
        tarnivo::ReverseOneFile(source, tarnivo::QuotedToolPath(tarnivo::WorkFolder()), report, tools).made;
    const double elapsed = clock.elapsed() / 1000.0;
    sampler.stop();

    if (given)
        std::printf("film: %s, %.1f s\n", qPrintable(source), options.seconds);
    else
        std::printf("clip: %.1f s of %dx%d at %s fps\n", seconds, options.width, options.height,
                    qPrintable(rate));
    std::printf("reversed: %s in %.2f s (%.2f x real time)\n", made ? "yes" : "NO", elapsed,
                elapsed / options.seconds);
    std::printf("peak working-folder use: %.1f MB (%.1f MB per second)\n", peakBytes / 1e6,
                peakBytes / 1e6 / options.seconds);
    return made ? 0 : 1;
}
