#include "ReverseOneFile.h"

#include "CommandLine.h"
#include "FailureReason.h"
#include "FileRoutines.h"
#include "MediaProbe.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
#include "SourceIdentity.h"
#include "WorkFolder.h"
#include "WorkSpace.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace tarnivo {

namespace {

// A path quoted for a batch file line: "%" is doubled on top of the quoting.
QString quotedForBatch(const QString& path)
{
    return QString::fromStdString(EscapePercent(QuoteArgument(path.toStdString())));
}

QString forBatch(const QString& text) { return QString::fromStdString(EscapePercent(text.toStdString())); }

bool canBeCarried(const QString& text) { return CanBeCarriedOnCommandLine(text.toStdString()); }

// The marker is deleted by the batch file's last line, after its tool has ended. The wait for
// it ends when it is gone or when the batch process has ended without deleting it (it could
// not start, or was killed); ShellExecuteAndWait already waits for that end, letting the
// application handle its events, so nothing is left to wait for once it returns.
// Returns the batch runner's status, which carries the first failure of its programs.
int runBatch(const QString& batchFile, const QString& workFolder, RunningTools& tools,
             QStringList* errorLines)
{
    return ShellExecuteAndWait(batchFile, workFolder, tools, errorLines);
}

QString seconds(double value) { return QString::number(value, 'f', 6); }

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

// The reason a step's run gives the user: a full disk with the working folder, else the tool's
// most telling word, else a sentence of ours.
QString stepReason(const QString& tool, const ToolRun& run, const QString& fallback,
                   const ReversalPaths& paths)
{
    return ToolFailureReason(tool, run.status, run.errorLines, fallback,
                             {QStringLiteral("working folder"), paths.work});
}

// Runs a tool's command line; it succeeded when it ended well and left its product. A tool that
// fails part-way can leave a cut-off file behind, which is then deleted.
QString runTool(const QString& tool, const QString& commandLine, const QString& product,
                const QString& fallback, const ReversalPaths& paths, RunningTools& tools)
{
    ToolRun run;
    run.status = ShellAndWait(commandLine, tools, &run.errorLines);
    if (run.status == 0 && IsFile(product))
        return QString();
    KillFiles(product);
    return stepReason(tool, run, fallback, paths);
}

// A and then B; returns the reason when no reversed sound was made.
QString extractAndReverseSound(const QString& S, const QString& FQ, const ReversalPaths& paths,
                               const ReversalSpan* span, RunningTools& tools)
{
    KillFiles(paths.audio);
    KillFiles(paths.reversed);
    const QString extracted =
        runTool(QStringLiteral("ffmpeg"), SoundExtractionCommandLine(FQ, S, paths.audio, span), paths.audio,
                QStringLiteral("ffmpeg could not read the sound of this file."), paths, tools);
    if (!extracted.isEmpty())
        return extracted;
    const QString reversed = runTool(
        QStringLiteral("SoX"),
        QuoteForCommandLine(paths.work + QStringLiteral("/sox.exe")) + QLatin1Char(' ') +
            QuoteForCommandLine(paths.audio) + QLatin1Char(' ') + QuoteForCommandLine(paths.reversed) +
            QStringLiteral(" reverse"),
        paths.reversed, QStringLiteral("SoX could not reverse the sound of this file."), paths, tools);
    // Only the reversed sound is read from here on.
    KillFiles(paths.audio);
    return reversed;
}

// T from the renumbered frames; returns the reason when it was not made. The frames are
// deleted as soon as T holds them (or could not be made of them): the working folder then
// never holds the frames twice over.
QString rebuildVideo(const QString& FQ, const QString& frameRate, const ReversalPaths& paths,
                     const StepErrorReporter& report, RunningTools& tools)
{
    report.Run(23, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), paths.marker); });
    report.Run(24,
               [&] { WriteTextToFile(FrameRebuildBatch(FQ, frameRate, paths.rebuilt), paths.rebuildBatch); });
    ToolRun run;
    run.status = runBatch(QLatin1Char('"') + paths.rebuildBatch + QLatin1Char('"'), paths.work, tools,
                          &run.errorLines);
    DeleteRenumberedFrames(paths.renamed);
    if (run.status == 0 && IsFile(paths.rebuilt))
        return QString();
    KillFiles(paths.rebuilt);
    return stepReason(QStringLiteral("ffmpeg"), run,
                      QStringLiteral("ffmpeg could not rebuild the video from its frames."), paths);
}

// The joined V from T and B; T is deleted as soon as V holds it.
QString joinPictureAndSound(const QString& FQ, const ReversalPaths& paths, bool haveVideo, bool haveSound,
                            RunningTools& tools)
{
    const QString reason =
        runTool(QStringLiteral("ffmpeg"), JoinCommandLine(FQ, paths, haveVideo, haveSound), paths.result,
                QStringLiteral("ffmpeg could not join the reversed picture and sound."), paths, tools);
    KillFiles(paths.rebuilt);
    return reason;
}

// Larger than any camera's picture (8K is 7680x4320): where ffmpeg's encoders find their limits.
bool isVeryLarge(const SourceFacts& source) { return source.width > 8192 || source.height > 8192; }

ReversalResult failure(const QString& reason)
{
    ReversalResult result;
    result.failureReason = reason;
    return result;
}

}  // namespace

int RenumberFrames(const ReversalPaths& paths, const StepErrorReporter& report)
{
    DeleteRenumberedFrames(paths.renamed);
    report.Run(8, [&] {
        if (!FolderExists(paths.renamed))
            makePrivateFolder(paths.renamed);
    });
    const std::vector<Frame> frames =
        FramesLastFirst(paths.work, ListFiles(paths.work, QStringLiteral("*.jpg")));
    for (size_t k = 1; k <= frames.size(); ++k) {
        report.Run(15, [&] {
            moveFile(frames[k - 1].path,
                     paths.renamed + QStringLiteral("/image") + QString::number(k) + QStringLiteral(".jpg"));
        });
    }
    return static_cast<int>(frames.size());
}

ToolRun ExtractFrames(const QString& S, const QString& FQ, const ReversalSpan& span,
                      const ReversalPaths& paths, const StepErrorReporter& report, RunningTools& tools)
{
    report.Run(2, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), paths.marker); });
    report.Run(3, [&] { WriteTextToFile(FrameExtractionBatch(FQ, S, span), paths.extractBatch); });
    ToolRun run;
    run.status = runBatch(paths.extractBatch, paths.work, tools, &run.errorLines);
    KillFiles(paths.extractBatch);
    return run;
}

double SpanStart(const QString& frameRate, double pictureStart)
{
    const double rate = FrameRateValue(frameRate);
    return rate > 0 ? std::round(pictureStart * rate) / rate : pictureStart;
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

QString FrameFilterChain(const ReversalSpan& span)
{
    // The fps filter places the first frame at the span's start (padding or trimming there) and
    // fills every slot of the rate from the source's frames; the frames are then counted from
    // 0, or the image writer would repeat the first one back to the file's start.
    const QString pictures = FramePictureFilters(span.fieldOrder, span.colours);
    return (pictures.isEmpty() ? QString() : pictures + QLatin1Char(',')) + QStringLiteral("fps=fps=") +
           span.frameRate + QStringLiteral(":start_time=") + seconds(span.start) +
           QStringLiteral(",setpts=PTS-STARTPTS");
}

QString FrameExtractionBatch(const QString& quotedTool, const QString& source, const ReversalSpan& span)
{
    const QString X = QStringLiteral("-i ") + quotedForBatch(source) + QStringLiteral(" -an ") +
                      FrameWriterOptions().join(QLatin1Char(' ')) + QStringLiteral(" -vf ") +
                      forBatch(FrameFilterChain(span)) + QStringLiteral(" %%06d.jpg");
    return forBatch(quotedTool) + QLatin1Char(' ') + X + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString FrameRebuildBatch(const QString& quotedTool, const QString& frameRate, const QString& rebuilt)
{
    // Read back at the rate they were written at, the frames last exactly as long as the
    // picture; copied as they are, they lose nothing more on the way to the conversion.
    const QString Y = QStringLiteral("-f image2 ") + QStringLiteral(" -framerate ") + forBatch(frameRate) +
                      QStringLiteral(" -i Renamed/image%%d.jpg -vcodec copy ") + quotedForBatch(rebuilt);
    return forBatch(quotedTool) + QLatin1Char(' ') + Y + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString SoundExtractionCommandLine(const QString& quotedTool, const QString& source, const QString& audio,
                                   const ReversalSpan* span)
{
    QString spanFilter;
    if (span) {
        // The sound is first laid on the source's timeline from its start (silence before a
        // late sound, priming samples dropped), then cut and padded to the span.
        const QString length = seconds(span->length);
        spanFilter = QStringLiteral("-af aresample=async=1:first_pts=0,atrim=start=") + seconds(span->start) +
                     QStringLiteral(":duration=") + length + QStringLiteral(",apad=whole_dur=") + length +
                     QStringLiteral(",asetpts=PTS-STARTPTS ");
    }
    return quotedTool + QStringLiteral(" -i ") + QuoteForCommandLine(source) + QStringLiteral(" -vn -ac 2 ") +
           spanFilter + QuoteForCommandLine(audio);
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
        // Only the names the extraction writes: a user's 7.jpg or IMG_0001.JPG is no frame.
        if (IsExtractedFrameName(name))
            frames.push_back({FileNameOf(StripExtension(path)).toLongLong(), path});
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const Frame& a, const Frame& b) { return a.number > b.number; });
    return frames;
}

FilmForRoom RoomQuestion(const QString& S, const SourceFacts& source, const ReversalSpan& span)
{
    // The frames are measured after a seek, from which ffmpeg counts the time anew.
    ReversalSpan fromSeek = span;
    fromSeek.start = 0;
    FilmForRoom film;
    film.source = S;
    film.facts = &source;
    film.spanStart = span.start;
    film.frameFilters = FrameFilterChain(fromSeek);
    film.frameWriterOptions = FrameWriterOptions();
    return film;
}

ReversalResult ReverseOneFile(const QString& S, const QString& FQ, const StepErrorReporter& report,
                              RunningTools& tools)
{
    if (!canBeCarried(S))
        return failure(QStringLiteral("the file name holds a line break, which cannot be passed to "
                                      "ffmpeg; please rename the file"));
    // A named pipe would hold ffprobe for ever: only a regular file is read, and only while it
    // stays the one recorded here.
    SourceIdentity identity;
    if (const QString notAFile = RecordSourceIdentity(S, &identity); !notAFile.isEmpty())
        return failure(notAFile);
    const QString problem = PrepareWorkFolder();
    if (!problem.isEmpty())
        return failure(problem);
    const ReversalPaths paths = CurrentReversalPaths();
    // Leftovers of a run that was killed part-way would be mixed into this file.
    DeleteExtractedFrames(paths.work);
    KillFiles(paths.rebuilt);
    KillFiles(paths.result);

    const SourceFacts source = ProbeSource(S, tools);
    if (!SourceUnchanged(S, identity))
        return failure(kSourceChangedReason);
    if (!source.readable)
        return failure(source.problem);
    if (!source.hasPicture && !source.hasSound)
        return failure(
            QStringLiteral("the file holds neither a picture nor a sound that could be reversed."));

    ReversalSpan span;
    span.frameRate = source.frameRate;
    span.start = SpanStart(source.frameRate, source.pictureStart);
    span.fieldOrder = FieldOrderToUndo(source);
    span.colours = ChooseFrameColours(source);

    const QString room = CheckRoomForReversal(RoomQuestion(S, source, span), paths.work, tools);
    if (!room.isEmpty())
        return failure(room);
    if (!SourceUnchanged(S, identity))
        return failure(kSourceChangedReason);
    int frames = 0;
    if (source.hasPicture) {
        const ToolRun extraction = ExtractFrames(S, FQ, span, paths, report, tools);
        if (!SourceUnchanged(S, identity)) {
            DeleteExtractedFrames(paths.work);
            return failure(kSourceChangedReason);
        }
        if (extraction.status != 0) {
            // A failed or killed extraction leaves a cut frame set: nothing goes on with it.
            DeleteExtractedFrames(paths.work);
            if (SaysEncoderRefused(extraction.errorLines) && isVeryLarge(source))
                return failure(
                    QStringLiteral("the picture is %1x%2, larger than ffmpeg's JPEG encoder takes "
                                   "for the frames; scale the film down first (to 3840x2160 or less)")
                        .arg(source.width)
                        .arg(source.height));
            return failure(stepReason(QStringLiteral("ffmpeg"), extraction,
                                      QStringLiteral("ffmpeg could not read the pictures of this file."),
                                      paths));
        }
        frames = RenumberFrames(paths, report);
        if (frames == 0) {
            DeleteRenumberedFrames(paths.renamed);
            return failure(stepReason(QStringLiteral("ffmpeg"), extraction,
                                      QStringLiteral("ffmpeg could not read any picture of this file."),
                                      paths));
        }
        span.length = frames / FrameRateValue(span.frameRate);
    }
    QString reason;
    if (source.hasSound)
        reason = extractAndReverseSound(S, FQ, paths, source.hasPicture ? &span : nullptr, tools);
    if (reason.isEmpty() && !SourceUnchanged(S, identity))
        reason = kSourceChangedReason;
    if (reason.isEmpty() && source.hasPicture)
        reason = rebuildVideo(FQ, span.frameRate, paths, report, tools);
    if (reason.isEmpty())
        reason = joinPictureAndSound(FQ, paths, source.hasPicture, source.hasSound, tools);
    DeleteRenumberedFrames(paths.renamed);
    KillFiles(paths.rebuilt);
    if (!reason.isEmpty())
        return failure(reason);
    ReversalResult made{true, QString(), {span.colours, QString(), frames}};
    if (frames > 0)
        made.picture.frameRate = span.frameRate;
    return made;
}

}  // namespace tarnivo
