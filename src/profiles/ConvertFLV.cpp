#include "ConvertFLV.h"

#include "AVC.h"
#include "ChildProcess.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "OutputCheck.h"
#include "OutputName.h"
#include "ProfileCatalogue.h"
#include "ProfileTable.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <functional>
#include <optional>

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

// "Custom Format": the panel's texts go to the engine exactly as they stand.
void applyCustom(AVC& AVC1, const CustomFormatValues& custom)
{
    AVC1.VideoSize(custom.videoSize);
    AVC1.VideoFrameRate(custom.videoFrameRate);
    AVC1.VideoBitrate(custom.videoBitrate);
    AVC1.VideoCodec(custom.videoCodec);
    AVC1.AudioCodec(custom.audioCodec);
    if (custom.mono)
        AVC1.AudioChannels(QStringLiteral("1"));
    if (custom.stereo)
        AVC1.AudioChannels(QStringLiteral("2"));
    AVC1.AudioBitrate(custom.audioBitrate);
    AVC1.AudioSamples(custom.audioSamples);
    // Only the checked state counts; the greyed state (2) does not.
    if (custom.sameQualityState == 1)
        AVC1.SameQuality(true);
    if (custom.deInterlaceState == 1)
        AVC1.DeInterlace(true);
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

// The folder text with "/" after it when it lacks one; an empty text stays empty.
QString folderPrefix(const QString& outputFolderText)
{
    if (outputFolderText.isEmpty() || outputFolderText.endsWith(QLatin1Char('/')))
        return outputFolderText;
    return outputFolderText + QLatin1Char('/');
}

// Any entry blocks a name: a file of any kind, a link to nothing, and also a folder, since the
// result can only be given a name that nothing holds.
bool nameIsTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The first free name of the order: the base name, then the base name followed by 0, 1, ...
std::optional<QString> freeCandidate(const QString& folder, const QString& base, const QString& extension)
{
    for (int counter = -1; counter <= kLastOutputNumber; ++counter) {
        const QString name = CandidateName(base, counter, extension);
        if (!nameIsTaken(folder + name))
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

// The folder as a reason names it: without the "/" that joins it to a file name.
QString folderName(const QString& folder)
{
    return folder.size() > 1 && folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
}

// After the run into the temporary file: the result when it is whole, under its final name;
// otherwise the temporary file is deleted and the attempt says why.
void finishAttempt(const AVC& AVC1, const QString& SourcePath, const QString& folder, const QString& base,
                   const QString& extension, const QString& shownName, ConversionAttempt& attempt,
                   const StepErrorReporter& report)
{
    const AVC::RunRecord& run = AVC1.LastRun();
    if (!run.ran)
        attempt.failure =
            run.refusal.isEmpty() ? QStringLiteral("the conversion did not start") : run.refusal;
    report.Run(kCheckLine, [&] {
        // The read-back is short and runs after the conversion's own tool has ended.
        RunningTools readBack;
        if (run.ran)
            attempt.failure = CheckConversionIsWhole(attempt.temporary, shownName, folderName(folder),
                                                     SourcePath, run.exitStatus, run.errorLines, readBack);
    });
    report.Run(kPublishLine, [&] {
        if (attempt.failure.isEmpty())
            attempt.destination = PublishOutput(attempt.temporary, folder, base, extension, &attempt.failure);
    });
    if (attempt.destination.isEmpty()) {
        QFile::remove(attempt.temporary);  // a plain name: never read as a pattern
        if (attempt.failure.isEmpty())
            attempt.failure = QStringLiteral("the result could not be checked");
    }
}

}  // namespace

ConversionAttempt ConvertFLV(AVC& AVC1, const QString& SourcePath, const QString& ProfileName,
                             const QString& InputPath, const QString& outputFolderText,
                             const CustomFormatValues& custom, MessageSink& sink)
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

    const QString folder = folderPrefix(outputFolderText);
    std::optional<QString> candidate;
    QString base;
    report.Run(kNameLine, [&] {
        base = withoutOuterSpaces(baseNameOf(InputPath));
        candidate = freeCandidate(folder, base, *extension);
    });
    if (!candidate) {
        AVC1.ClearSettings();
        sink.ShowMessage(noFreeNameMessage(folder, base, *extension));
        attempt.result = ConversionAttempt::Result::NoFreeName;
        return attempt;
    }

    // ffmpeg writes a file of this job's own; the free name is only taken once the result is
    // whole, so nothing that appears under it meanwhile is ever written over.
    attempt.temporary = CreateTemporaryOutput(folder, base, *extension, &attempt.failure);
    if (attempt.temporary.isEmpty()) {
        AVC1.ClearSettings();
        attempt.result = ConversionAttempt::Result::Started;
        return attempt;
    }
    report.Run(kSourceLine, [&] {
        AVC1.SourceFile(SourcePath);
        AVC1.DestFile(attempt.temporary);
    });
    report.Run(kConvertLine, [&] { AVC1.ConvertMedia(true); });
    attempt.result = ConversionAttempt::Result::Started;
    finishAttempt(AVC1, SourcePath, folder, base, *extension, folder + *candidate, attempt, report);
    return attempt;
}

}  // namespace tarnivo
