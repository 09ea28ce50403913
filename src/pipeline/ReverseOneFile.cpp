#include "ReverseOneFile.h"

#include "CommandLine.h"
#include "FileRoutines.h"
#include "MediaProbe.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
#include "WorkFolder.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace tarnivo {

namespace {

constexpr int kHidden = 0;

// A path quoted for a batch file line: "%" is doubled on top of the quoting.
QString quotedForBatch(const QString& path)
{
    return QString::fromStdString(EscapePercent(QuoteArgument(path.toStdString())));
}

QString forBatch(const QString& text) { return QString::fromStdString(EscapePercent(text.toStdString())); }

bool canBeCarried(const QString& text) { return CanBeCarriedOnCommandLine(text.toStdString()); }

// Errors of a step reach the user as the job's standard error report; the next step runs.
void runStep(const StepErrorReporter& report, int line, const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& error) {
        report.Report(QString::fromUtf8(error.what()), line);
    }
}

// The marker is deleted by the batch file's last line, after its tool has ended. The wait for
// it ends when it is gone or when the batch process has ended without deleting it (it could
// not start, or was killed); ShellExecuteAndWait already waits for that end, letting the
// application handle its events, so nothing is left to wait for once it returns.
void runBatch(const QString& batchFile, const QString& workFolder)
{
    int style = kHidden;
    ShellExecuteAndWait(batchFile, style, workFolder);
}

void makePrivateFolder(const QString& folder)
{
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw FileRoutineError("Cannot create " + folder.toStdString() + ": " + std::strerror(errno));
}

void moveFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileRoutineError("Cannot move " + from.toStdString() + " to " + to.toStdString() + ": " +
                               std::strerror(errno));
}

bool isFrameNumber(const QString& text)
{
    return !text.isEmpty() && text.size() <= 18 && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

void extractAndReverseSound(const QString& S, const QString& FQ, const ReversalPaths& paths)
{
    KillFiles(paths.audio);
    KillFiles(paths.reversed);
    ShellAndWait(FQ + QStringLiteral(" -i ") + QuoteForCommandLine(S) + QStringLiteral(" -vn -ac 2 ") +
                     QuoteForCommandLine(paths.audio),
                 kHidden);
    ShellAndWait(QuoteForCommandLine(paths.work + QStringLiteral("/sox.exe")) + QLatin1Char(' ') +
                     QuoteForCommandLine(paths.audio) + QLatin1Char(' ') +
                     QuoteForCommandLine(paths.reversed) + QStringLiteral(" reverse"),
                 kHidden);
}

void rebuildVideo(const QString& FQ, const QString& frameRate, const ReversalPaths& paths, const StepErrorReporter& report)
{
    if (!IsFile(paths.renamed + QStringLiteral("/image1.jpg")))
        return;
    runStep(report, 23, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), paths.marker); });
    runStep(report, 24,
            [&] { WriteTextToFile(FrameRebuildBatch(FQ, frameRate, paths.rebuilt), paths.rebuildBatch); });
    runBatch(QLatin1Char('"') + paths.rebuildBatch + QLatin1Char('"'), paths.work);
}

}  // namespace

void RenumberFrames(const ReversalPaths& paths, const StepErrorReporter& report)
{
    KillFiles(paths.renamed + QStringLiteral("/*.*"));
    runStep(report, 8, [&] {
        if (!FolderExists(paths.renamed))
            makePrivateFolder(paths.renamed);
    });
    const std::vector<Frame> frames =
        FramesLastFirst(paths.work, ListFiles(paths.work, QStringLiteral("*.jpg")));
    for (size_t k = 1; k <= frames.size(); ++k) {
        runStep(report, 15, [&] {
            moveFile(frames[k - 1].path,
                     paths.renamed + QStringLiteral("/image") + QString::number(k) + QStringLiteral(".jpg"));
        });
    }
}

void ExtractFrames(const QString& S, const QString& FQ, const ReversalPaths& paths, const StepErrorReporter& report)
{
    runStep(report, 2, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), paths.marker); });
    runStep(report, 3, [&] { WriteTextToFile(FrameExtractionBatch(FQ, S), paths.extractBatch); });
    runBatch(paths.extractBatch, paths.work);
    KillFiles(paths.extractBatch);
}

ReversalPaths CurrentReversalPaths()
{
    ReversalPaths paths;
    paths.work = WorkFolder();
    paths.renamed = paths.work + QStringLiteral("/Renamed");
    paths.marker = paths.work + QStringLiteral("/jpg2avi.tmp");
    paths.extractBatch = paths.work + QStringLiteral("/avi2jpg.bat");
    paths.rebuildBatch = paths.work + QStringLiteral("/jpg2avi.bat");
    paths.audio = paths.work + QStringLiteral("/") + QStringLiteral("audio.wav");
    paths.reversed = paths.work + QStringLiteral("/reversed.wav");
    paths.rebuilt = paths.work + QStringLiteral("/tvideo.avi");
    paths.result = paths.work + QStringLiteral("/rvideo.avi");
    return paths;
}

QString QuotedToolPath(const QString& workFolder)
{
    return QuoteForCommandLine(workFolder + QStringLiteral("/ffmpeg.exe"));
}

QString FrameExtractionBatch(const QString& quotedTool, const QString& source)
{
    const QString X =
        QStringLiteral("-i ") + quotedForBatch(source) + QStringLiteral(" -an -qscale 1 %%06d.jpg");
    return forBatch(quotedTool) + QLatin1Char(' ') + X + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString FrameRebuildBatch(const QString& quotedTool, const QString& frameRate, const QString& rebuilt)
{
    // The frames are read at the source's own rate, so picture and sound keep their length.
    const QString Y = QStringLiteral("-f image2 ") + QStringLiteral(" -framerate ") + forBatch(frameRate) +
                      QStringLiteral(" -i Renamed/image%%d.jpg -vcodec mpeg4 ") + quotedForBatch(rebuilt);
    return forBatch(quotedTool) + QLatin1Char(' ') + Y + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString JoinCommandLine(const QString& quotedTool, const ReversalPaths& paths, bool haveVideo, bool haveSound)
{
    const QString start = quotedTool + QLatin1Char(' ');
    const QString end = QStringLiteral("-shortest ") + QuoteForCommandLine(paths.result);
    if (haveVideo && haveSound)
        return start + QStringLiteral(" -i ") + QuoteForCommandLine(paths.rebuilt) + QStringLiteral(" -i ") +
               QuoteForCommandLine(paths.reversed) + QStringLiteral("  -c copy -map 0:v:0 -map 1:a:0 ") + end;
    if (haveVideo)
        return start + QStringLiteral(" -i ") + QuoteForCommandLine(paths.rebuilt) +
               QStringLiteral("  -c copy -map 0:v:0 ") + end;
    if (haveSound)
        return start + QStringLiteral(" -i ") + QuoteForCommandLine(paths.reversed) +
               QStringLiteral("  -c copy -map 0:a:0 ") + end;
    return QString();
}

std::vector<Frame> FramesLastFirst(const QString& folder, const QStringList& names)
{
    std::vector<Frame> frames;
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        const QString stem = FileNameOf(StripExtension(path));
        if (isFrameNumber(stem))
            frames.push_back({stem.toLongLong(), path});
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const Frame& a, const Frame& b) { return a.number > b.number; });
    return frames;
}

ReversalResult ReverseOneFile(const QString& S, const QString& FQ, const StepErrorReporter& report)
{
    ReversalResult result;
    if (!canBeCarried(S)) {
        result.failureReason = QStringLiteral("the file name holds a line break, which cannot be passed to "
                                              "ffmpeg; please rename the file");
        return result;
    }
    const QString problem = PrepareWorkFolder();
    if (!problem.isEmpty()) {
        result.failureReason = problem;
        return result;
    }
    const ReversalPaths paths = CurrentReversalPaths();
    // Leftovers of a run that was killed part-way would be mixed into this file.
    KillFiles(paths.work + QStringLiteral("/*.jpg"));
    KillFiles(paths.rebuilt);
    KillFiles(paths.result);

    const QString frameRate = SourceFrameRate(S);
    ExtractFrames(S, FQ, paths, report);
    RenumberFrames(paths, report);
    extractAndReverseSound(S, FQ, paths);
    rebuildVideo(FQ, frameRate, paths, report);

    const QString join = JoinCommandLine(FQ, paths, IsFile(paths.rebuilt), IsFile(paths.reversed));
    if (!join.isEmpty())
        ShellAndWait(join, kHidden);
    KillFiles(paths.renamed + QStringLiteral("/*.*"));
    result.made = IsFile(paths.result);
    if (!result.made)
        result.failureReason = QStringLiteral("no reversed video could be made");
    return result;
}

}  // namespace tarnivo
