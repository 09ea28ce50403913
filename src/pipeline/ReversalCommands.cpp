#include "ReversalCommands.h"

#include "ToolNames.h"
#include "CommandLine.h"
#include "FrameMaking.h"
#include "ReversalFacts.h"
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

// The frames' quality as the front end and the frame writer name it; empty: as designed.
std::string framesQualityOf(const ReversalOptions& options)
{
    if (options.exactFrames)
        return media::kExactFrames;
    return options.finestFrames ? media::kFinestFrames : std::string();
}

media::ReversalFacts stepFacts(const ReversalSpan* span, const ReversalOptions& options)
{
    media::ReversalFacts facts;
    facts.framesQuality = framesQualityOf(options);
    if (options.keepSoundChannels)
        facts.soundChannels = media::kSourceChannels;
    if (span) {
        facts.framesRate = span->frameRate.toStdString();
        facts.framesStart = media::SecondsText(span->start);
        // ffmpeg rounds the length to the frames' time base: K frames are K / rate, cut to the
        // microsecond below (beyond the arithmetic's own error), so that not even a comparison
        // of exact times takes one more.
        if (const double rate = FrameRateValue(span->frameRate); span->partFrames > 0 && rate > 0)
            facts.framesLength = media::SecondsText(std::floor(span->partFrames / rate * 1e6 + 1e-3) / 1e6);
        facts.framesFilters = FramePictureFilters(span->fieldOrder, span->colours).toStdString();
        // The sound is kept for the picture's span once the frames are counted.
        if (span->length > 0) {
            facts.soundStart = facts.framesStart;
            facts.soundLength = media::SecondsText(span->length);
        }
    } else if (!options.part.IsWhole()) {
        facts.soundStart = media::SecondsText(std::max(0.0, options.part.from));
        if (options.part.to >= 0)
            facts.soundLength = media::SecondsText(options.part.to - std::max(0.0, options.part.from));
    }
    return facts;
}

QStringList environmentOf(const media::ReversalFacts& facts)
{
    QStringList entries;
    for (const std::string& entry : media::ReversalEnvironment(facts))
        entries << QString::fromStdString(entry);
    return entries;
}

}  // namespace

double SpanStart(const QString& frameRate, double pictureStart)
{
    const double rate = FrameRateValue(frameRate);
    return rate > 0 ? std::round(pictureStart * rate) / rate : pictureStart;
}

ReversalSpan SpanFor(const SourceFacts& facts, const FilmPart& part)
{
    ReversalSpan span;
    span.frameRate = facts.frameRate;
    span.start = SpanStart(facts.frameRate, std::max(facts.pictureStart, part.from));
    if (part.to >= 0) {
        const double rate = FrameRateValue(facts.frameRate);
        span.partFrames =
            static_cast<int>(std::max<long long>(1, std::llround((part.to - span.start) * rate)));
    }
    return span;
}

int IntermediateFrames(int frames, bool boomerang)
{
    return boomerang && frames > 0 ? 2 * frames - 1 : frames;
}

RenumberedPlaces RenumberedPlacesOf(int position, int count, bool boomerang)
{
    RenumberedPlaces places;
    places.backward = (boomerang ? count - 1 : 0) + position + 1;
    places.forward = boomerang && position > 0 ? count - position : 0;
    return places;
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
    return QString::fromStdString(
        media::FrameFilterChain(FramePictureFilters(span.fieldOrder, span.colours).toStdString(),
                                span.frameRate.toStdString(), media::SecondsText(span.start)));
}

QString FrameExtractionBatch(const QString& quotedTool, const QString& source)
{
    const QString X =
        QStringLiteral("-i ") + quotedForBatch(source) + QStringLiteral(" -an -qscale 1 %%06d.jpg");
    return forBatch(quotedTool) + QLatin1Char(' ') + X + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString FrameRebuildBatch(const QString& quotedTool, const QString& rebuilt)
{
    const QString Y = QStringLiteral("-f image2 ") +
                      QStringLiteral(" -i Renamed/image%%d.jpg -vcodec mpeg4 ") + quotedForBatch(rebuilt);
    return forBatch(quotedTool) + QLatin1Char(' ') + Y + QStringLiteral("\r\n") +
           QStringLiteral("del jpg2avi.tmp");
}

QString SoundExtractionCommandLine(const QString& quotedTool, const QString& source, const QString& audio)
{
    return quotedTool + QStringLiteral(" -i ") + QuoteForCommandLine(source) + QStringLiteral(" -vn -ac 2 ") +
           QuoteForCommandLine(audio);
}

QStringList StepEnvironment(const ReversalSpan* span, const ReversalOptions& options)
{
    return environmentOf(stepFacts(span, options));
}

QStringList JoinEnvironment(const ReversalSpan* span, const ReversalOptions& options,
                            const ReversalPaths& paths)
{
    if (!options.boomerang)
        return {};
    media::ReversalFacts facts = stepFacts(span, options);
    facts.forwardSound = paths.audio.toStdString();
    return environmentOf(facts);
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

FilmForRoom RoomQuestion(const QString& S, const SourceFacts& source, const ReversalSpan& span,
                         const ReversalOptions& options)
{
    // The frames are measured after a seek, from which ffmpeg counts the time anew.
    ReversalSpan fromSeek = span;
    fromSeek.start = 0;
    FilmForRoom film;
    film.source = S;
    film.facts = source;
    film.spanStart = span.start;
    if (const double rate = FrameRateValue(span.frameRate); span.partFrames > 0 && rate > 0)
        film.spanLength = span.partFrames / rate;
    film.boomerang = options.boomerang;
    film.sourceChannels = options.keepSoundChannels;
    film.frameFilters = FrameFilterChain(fromSeek);
    film.frameWriterOptions = FrameWriterOptions(framesQualityOf(options));
    return film;
}

}  // namespace tarnivo
