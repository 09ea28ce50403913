// Prints how long one reversal takes, and the room check's estimate beside the working folder's
// peak use on disk, for a generated clip or a given film.
//   reverse_benchmark [seconds] [width]x[height] [fps] [flat|clean|grainy]
//   reverse_benchmark FILE SECONDS
// Defaults: 10 seconds of 1280x720 at 30 fps, with sound, flat grey pictures ("flat"; "clean"
// is a test pattern in H.264, "grainy" the same with heavy film grain).
#include "ChildProcess.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseOneFile.h"
#include "ToolWaits.h"
#include "WorkFolder.h"
#include "WorkSpace.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <optional>

#include <cstdio>
#include <sys/stat.h>

namespace {

struct PrintingSink : tarnivo::MessageSink {
    void ShowMessage(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void ShowErrorReport(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
    void ShowWarning(const QString& title, const QString& text) override
    {
        std::printf("%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

// What the folder's files take on disk (whole blocks), without the tools deployed there.
qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        struct stat info;
        if (!path.endsWith(".exe") && ::stat(QFile::encodeName(path).constData(), &info) == 0)
            total += static_cast<qint64>(info.st_blocks) * 512;
    }
    return total;
}

// A test pattern with sound in H.264, with grain when asked: films as cameras give them.
bool makeFilm(const QString& path, const tarnivo::test::ClipOptions& options, bool grainy)
{
    const QString picture = QString("testsrc2=s=%1x%2:r=%3:d=%4%5")
                                .arg(options.width)
                                .arg(options.height)
                                .arg(options.frameRate)
                                .arg(options.seconds)
                                .arg(grainy ? ",noise=alls=24:allf=t" : "");
    return tarnivo::test::RunTool("ffmpeg",
                                  {"-v",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   picture,
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   QString("sine=f=440:d=%1").arg(options.seconds),
                                   "-c:v",
                                   "libx264",
                                   "-preset",
                                   "veryfast",
                                   "-crf",
                                   "18",
                                   "-pix_fmt",
                                   "yuv420p",
                                   "-c:a",
                                   "aac",
                                   path},
                                  3600000)
               .exitCode == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const double seconds = arguments.size() > 1 ? arguments[1].toDouble() : 10.0;
    const QStringList size = (arguments.size() > 2 ? arguments[2] : QString("1280x720")).split('x');
    const QString rate = arguments.size() > 3 ? arguments[3] : QString("30");
    const QString kind = arguments.size() > 4 ? arguments[4] : QString("flat");

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
    const QString source = given ? QFileInfo(arguments[1]).absoluteFilePath()
                                 : temp.root() + (kind == "flat" ? "/source.avi" : "/source.mp4");
    if (given)
        options.seconds = arguments[2].toDouble();
    else if (!(kind == "flat" ? tarnivo::test::MakeClip(source, options)
                              : makeFilm(source, options, kind == "grainy"))) {
        std::printf("could not make the clip\n");
        return 1;
    }

    tarnivo::RunningTools tools;
    const tarnivo::SourceFacts facts = tarnivo::test::ProbeAndWait(source);
    tarnivo::ReversalSpan span;
    span.frameRate = facts.frameRate;
    span.start = tarnivo::SpanStart(facts.frameRate, facts.pictureStart);
    span.fieldOrder = facts.fieldOrder;
    QElapsedTimer estimating;
    estimating.start();
    tarnivo::WorkSpaceEstimate estimate;
    {
        tarnivo::RoomCheck room(tarnivo::RoomQuestion(source, facts, span), tarnivo::WorkFolder(), tools);
        bool estimated = false;
        QObject::connect(&room, &tarnivo::RoomCheck::Finished,
                         [&](const QString&, const tarnivo::WorkSpaceEstimate& figures) {
                             estimate = figures;
                             estimated = true;
                         });
        room.Start(tarnivo::RoomCheck::Purpose::Estimate);
        tarnivo::test::ProcessEventsUntil([&] { return estimated; }, 3600000);
    }
    const double estimatingSeconds = estimating.elapsed() / 1000.0;

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
    tarnivo::ReverseOneFile reverse(tools, report);
    std::optional<tarnivo::ReversalResult> result;
    QObject::connect(&reverse, &tarnivo::ReverseOneFile::Finished,
                     [&](const tarnivo::ReversalResult& ended) { result = ended; });
    reverse.Start(source, facts, tarnivo::QuotedToolPath(tarnivo::WorkFolder()));
    tarnivo::test::ProcessEventsUntil([&] { return result.has_value(); }, 24 * 3600000);
    const tarnivo::ReversalResult reversal = result.value_or(tarnivo::ReversalResult());
    const bool made = reversal.made;
    const double elapsed = clock.elapsed() / 1000.0;
    sampler.stop();

    if (given)
        std::printf("film: %s, %.1f s\n", qPrintable(source), options.seconds);
    else
        std::printf("clip: %.1f s of %dx%d at %s fps\n", seconds, options.width, options.height,
                    qPrintable(rate));
    std::printf("reversed: %s in %.2f s (%.2f x real time)\n", made ? "yes" : "NO", elapsed,
                elapsed / options.seconds);
    if (!made)
        std::printf("reason: %s\n", qPrintable(reversal.failureReason));
    std::printf("peak working-folder use: %.1f MB (%.1f MB per second)\n", peakBytes / 1e6,
                peakBytes / 1e6 / options.seconds);
    std::printf("room check: %.1f MB estimated (%s, %lld frames of %.0f bytes, %.2f s to estimate), "
                "%.2f x the peak\n",
                estimate.bytes / 1e6, estimate.measured ? "measured" : "assumed",
                static_cast<long long>(estimate.frames), estimate.frameBytes, estimatingSeconds,
                peakBytes > 0 ? estimate.bytes / static_cast<double>(peakBytes) : 0.0);
    return made ? 0 : 1;
}
