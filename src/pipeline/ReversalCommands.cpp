#include "ReversalCommands.h"

#include "ToolNames.h"
#include "CommandLine.h"
#include "FileRoutines.h"
#include "ProcessRunner.h"
#include "WorkFolder.h"

#include <algorithm>
#include <cmath>

namespace tarnivo {

namespace {

// A path quoted for a batch file line: "%" is doubled on top of the quoting.
QString quotedForBatch(const QString& path)
{
    return QString::fromStdString(EscapePercent(QuoteArgument(path.toStdString())));
}

QString forBatch(const QString& text) { return QString::fromStdString(EscapePercent(text.toStdString())); }
QString seconds(double value) { return QString::number(value, 'f', 6); }
}  // namespace

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
    return QuoteForCommandLine(workFolder + QLatin1Char('/') + QLatin1String(media::kFfmpegToolName));
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
    film.facts = source;
    film.spanStart = span.start;
    film.frameFilters = FrameFilterChain(fromSeek);
    film.frameWriterOptions = FrameWriterOptions();
    return film;
}

}  // namespace tarnivo
