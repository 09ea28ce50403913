#include "ConvertFLV.h"

#include "AVC.h"
#include "ChildProcess.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "OutputCheck.h"
#include "OutputFolder.h"
#include "OutputName.h"
#include "ProfileCatalogue.h"
#include "ProfileTable.h"

#include <QFile>

#include <exception>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnivo {
namespace {

// The error report's line numbers of ConvertFLV's steps.
enum Line {
    kClearLine = 1,
    kProfileLine = 2,
    kNameLine = 3,
    kSourceLine = 4,
    kConvertLine = 5,
    kCheckLine = 6,
    kPublishLine = 7
};

QString fromText(const char* text) { return QString::fromUtf8(text); }

// Sets the settings of one named profile; empty texts and false switches stay unset.
void applyRow(AVC& AVC1, const ProfileRow& row) { AVC1.ApplySettings(row.settings); }

// A box that reads "Same as source" sets nothing, so the result keeps the source's value.
QString unlessSameAsSource(const QString& text)
{
    return MeansSameAsSource(text.toStdString()) ? QString() : text;
}

// "Custom Format": the panel's texts go to the engine exactly as they stand.
void applyCustom(AVC& AVC1, const CustomFormatValues& custom)
{
    AVC1.VideoSize(unlessSameAsSource(custom.videoSize));
    AVC1.VideoFrameRate(unlessSameAsSource(custom.videoFrameRate));
    AVC1.VideoBitrate(custom.videoBitrate);
    AVC1.VideoCodec(custom.videoCodec);
    AVC1.AudioCodec(custom.audioCodec);
    if (custom.mono)
        AVC1.AudioChannels(QStringLiteral("1"));
    if (custom.stereo)
        AVC1.AudioChannels(QStringLiteral("2"));
    AVC1.AudioBitrate(custom.audioBitrate);
    AVC1.AudioSamples(unlessSameAsSource(custom.audioSamples));
    // Only the checked state counts; the greyed state (2) does not.
    if (custom.sameQualityState == 1)
        AVC1.SameQuality(true);
    if (custom.deInterlaceState == 1)
        AVC1.DeInterlace(true);
}

// The profile's extension; nothing when the name is not a profile.
std::optional<QString> extensionOf(const QString& ProfileName, const CustomFormatValues& custom)
{
    if (ProfileName == QLatin1String(kCustomFormat))
        return custom.extension;
    const ProfileRow* row = FindProfileRow(ProfileName.toStdString());
    if (!row)
        return std::nullopt;
    return fromText(row->extension);
}

// Applies the profile and gives its extension; nothing when the name is not a profile.
std::optional<QString> applyProfile(AVC& AVC1, const QString& ProfileName, const CustomFormatValues& custom)
{
    if (ProfileName == QLatin1String(kCustomFormat)) {
        applyCustom(AVC1, custom);
        return custom.extension;
    }
    const ProfileRow* row = FindProfileRow(ProfileName.toStdString());
    if (!row)
        return std::nullopt;
    applyRow(AVC1, *row);
    return fromText(row->extension);
}

// The file name of InputPath without its last extension; a name without "." is kept whole.
QString baseNameOf(const QString& InputPath)
{
    const QString fileName = FileNameOf(InputPath);
    const int lastDot = fileName.lastIndexOf(QLatin1Char('.'));
    return lastDot < 0 ? fileName : fileName.left(lastDot);
}

// Leading and trailing spaces (only spaces) removed.
QString withoutOuterSpaces(const QString& text)
{
    int first = 0;
    int end = text.size();
    while (first < end && text.at(first) == QLatin1Char(' '))
        ++first;
    while (end > first && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(first, end - first);
}

// Any entry blocks a name: a file of any kind, a link to nothing, and also a folder, since the
// result can only be given a name that nothing holds.
bool nameIsTaken(const OutputFolder& folder, const QString& name)
{
    struct stat entry {};
    return ::fstatat(folder.Descriptor(), QFile::encodeName(name).constData(), &entry, AT_SYMLINK_NOFOLLOW) ==
           0;
}

// The first free name of the order: the base name, then the base name followed by 0, 1, ...
std::optional<QString> freeCandidate(const OutputFolder& folder, const QString& base,
                                     const QString& extension)
{
    for (int counter = -1; counter <= kLastOutputNumber; ++counter) {
        const QString name = CandidateName(folder.Policy(), base, counter, extension).name;
        if (!name.isEmpty() && !nameIsTaken(folder, name))
            return name;
    }
    return std::nullopt;
}

QString noFreeNameMessage(const QString& folder, const QString& base, const QString& extension)
{
    return QStringLiteral("No free output name is left in the folder \"%1\": \"%2\" and \"%3\" to \"%4\" "
                          "all exist. Nothing was converted.")
        .arg(folder, base + extension, base + QStringLiteral("0") + extension,
             base + QString::number(kLastOutputNumber) + extension);
}

// The temporary file, deleted through the held folder. When the folder's path leads elsewhere
// now, ffmpeg may have opened its output there after the move: a file of this job's unique
// temporary name is removed there too.
void removeTemporary(const OutputFolder& folder, const QString& temporaryName, bool folderMoved)
{
    ::unlinkat(folder.Descriptor(), QFile::encodeName(temporaryName).constData(), 0);
    if (!folderMoved)
        return;
    const QByteArray elsewhere = QFile::encodeName(folder.Prefix() + temporaryName);
    struct stat entry {};
    if (::lstat(elsewhere.constData(), &entry) == 0 && S_ISREG(entry.st_mode))
        ::unlink(elsewhere.constData());
}

// After the run into the temporary file: the result when it is whole, under its final name;
// otherwise the temporary file is deleted and the attempt says why.
void finishAttempt(const AVC& AVC1, const QString& SourcePath, const IntermediatePicture& sourcePicture,
                   const OutputFolder& folder, const QString& base, const QString& extension,
                   const QString& shownName, const QString& temporaryName, ConversionAttempt& attempt,
                   const StepErrorReporter& report)
{
    const AVC::RunRecord& run = AVC1.LastRun();
    if (!run.ran)
        attempt.failure =
            run.refusal.isEmpty() ? QStringLiteral("the conversion did not start") : run.refusal;
    // Read back and named only where the folder that was checked still is.
    const QString moved = folder.MovedProblem();
    if (!moved.isEmpty() && attempt.failure.isEmpty())
        attempt.failure = moved + QStringLiteral(" during the conversion");
    report.Run(kCheckLine, [&] {
        // The read-back is short and runs after the conversion's own tool has ended.
        RunningTools readBack;
        if (attempt.failure.isEmpty())
            attempt.failure = CheckConversionIsWhole(attempt.temporary, shownName, folder.Name(), SourcePath,
                                                     KnownPictureLength(sourcePicture), run.exitStatus,
                                                     run.errorLines, readBack);
    });
    report.Run(kPublishLine, [&] {
        if (!attempt.failure.isEmpty())
            return;
        const FittedName published = PublishOutput(folder, temporaryName, base, extension, &attempt.failure);
        if (published.name.isEmpty())
            return;
        attempt.destination = folder.Prefix() + published.name;
        if (published.shortened)
            attempt.note += (attempt.note.isEmpty() ? QString() : QStringLiteral("; ")) +
                            ShortenedNameNote(folder.Policy());
    });
    if (attempt.destination.isEmpty()) {
        removeTemporary(folder, temporaryName, !moved.isEmpty());
        if (attempt.failure.isEmpty())
            attempt.failure = QStringLiteral("the result could not be checked");
    }
}

}  // namespace

ConversionAttempt ConvertFLV(AVC& AVC1, const QString& SourcePath, const QString& ProfileName,
                             const QString& InputPath, const OutputFolder& outputFolder,
                             const CustomFormatValues& custom, MessageSink& sink,
                             const IntermediatePicture& sourcePicture)
{
    const StepErrorReporter report(sink, QStringLiteral("Form1"), QStringLiteral("ConvertFLV"));
    ConversionAttempt attempt;

    // The profiles set only what they need, so nothing may be left from an earlier call,
    // also not from one the engine refused (a refusal keeps the settings).
    report.Run(kClearLine, [&] { AVC1.ClearSettings(); });

    std::optional<QString> extension;
    report.Run(kProfileLine, [&] { extension = applyProfile(AVC1, ProfileName, custom); });
    if (!extension) {
        sink.ShowWarning(QStringLiteral("Not Supported"),
                         QStringLiteral("Error: ") + ProfileName + QStringLiteral(" is not defined."));
        attempt.result = ConversionAttempt::Result::ProfileNotDefined;
        return attempt;
    }

    std::optional<QString> candidate;
    QString base;
    report.Run(kNameLine, [&] {
        base = withoutOuterSpaces(baseNameOf(InputPath));
        attempt.failure = OutputProblem(outputFolder, InputPath, ProfileName, custom);
        if (!attempt.failure.isEmpty())
            return;
        // Every name is made from the folder's policy: a character its file system refuses
        // (" * : < > ? \ | on a USB stick's FAT or exFAT) is made _ in the result's name and in
        // the hidden one alike, so neither can fail after the work.
        const QString named = NameBase(outputFolder.Policy(), base);
        if (named != base)
            attempt.note = RefusedCharactersNote(outputFolder.Policy());
        base = named;
        candidate = freeCandidate(outputFolder, base, *extension);
    });
    if (!attempt.failure.isEmpty()) {
        AVC1.ClearSettings();
        attempt.result = ConversionAttempt::Result::Refused;
        return attempt;
    }
    if (!candidate) {
        AVC1.ClearSettings();
        sink.ShowMessage(noFreeNameMessage(outputFolder.Prefix(), base, *extension));
        attempt.result = ConversionAttempt::Result::NoFreeName;
        return attempt;
    }

    // ffmpeg writes a file of this job's own; the free name is only taken once the result is
    // whole, so nothing that appears under it meanwhile is ever written over.
    const QString temporaryName = CreateTemporaryOutput(outputFolder, base, *extension, &attempt.failure);
    if (temporaryName.isEmpty()) {
        AVC1.ClearSettings();
        attempt.result = ConversionAttempt::Result::Refused;
        return attempt;
    }
    attempt.temporary = outputFolder.Prefix() + temporaryName;
    report.Run(kSourceLine, [&] {
        AVC1.SourceFile(SourcePath);
        const FrameColours& colours = sourcePicture.colours;
        AVC1.SourceColours(colours.matrix, colours.primaries, colours.transfer);
        AVC1.SourceFrameRate(sourcePicture.frameRate);
        AVC1.DestFile(attempt.temporary);
    });
    report.Run(kConvertLine, [&] { AVC1.ConvertMedia(true); });
    attempt.result = ConversionAttempt::Result::Started;
    finishAttempt(AVC1, SourcePath, sourcePicture, outputFolder, base, *extension,
                  outputFolder.Prefix() + candidate.value_or(base + *extension), temporaryName, attempt,
                  report);
    return attempt;
}

QString OutputProblem(const OutputFolder& outputFolder, const QString& InputPath, const QString& ProfileName,
                      const CustomFormatValues& custom)
{
    const QString moved = outputFolder.MovedProblem();
    if (!moved.isEmpty())
        return moved;
    const std::optional<QString> extension = extensionOf(ProfileName, custom);
    if (!extension)
        return QString();
    return OutputNamesProblem(outputFolder.Policy(), withoutOuterSpaces(baseNameOf(InputPath)), *extension);
}

}  // namespace tarnivo
