#include "ConvertFLV.h"

#include "AVC.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "ProfileCatalogue.h"
#include "ProfileTable.h"

#include <QFileInfo>

#include <exception>
#include <functional>
#include <optional>

namespace tarnivo {
namespace {

// The counter of numbered names is 16 bits wide: clip0 ... clip32767.
constexpr int kLastNumber = 32767;

// The error report's line numbers of ConvertFLV's steps.
enum Line { kClearLine = 1, kProfileLine = 2, kNameLine = 3, kSourceLine = 4, kConvertLine = 5 };

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

// A folder leaves the name free. Anything else blocks it, also a file the user cannot read and
// a link to nothing: ffmpeg would overwrite the one and create the other's target.
bool nameIsTaken(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return true;
    return info.exists() && !info.isDir();
}

// The first free candidate: the base name, then the base name followed by 0, 1, ... 32767.
std::optional<QString> freeCandidate(const QString& folder, const QString& base, const QString& extension)
{
    if (!nameIsTaken(folder + base + extension))
        return base;
    for (int counter = 0; counter <= kLastNumber; ++counter) {
        const QString candidate = base + QString::number(counter);
        if (!nameIsTaken(folder + candidate + extension))
            return candidate;
    }
    return std::nullopt;
}

QString noFreeNameMessage(const QString& folder, const QString& base, const QString& extension)
{
    return QStringLiteral("No free output name is left in the folder \"%1\": \"%2\" and \"%3\" to \"%4\" "
                          "all exist. Nothing was converted.")
        .arg(folder, base + extension, base + QStringLiteral("0") + extension,
             base + QString::number(kLastNumber) + extension);
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

    attempt.destination = folder + *candidate + *extension;
    report.Run(kSourceLine, [&] {
        AVC1.SourceFile(SourcePath);
        AVC1.DestFile(attempt.destination);
    });
    report.Run(kConvertLine, [&] { AVC1.ConvertMedia(true); });
    attempt.result = ConversionAttempt::Result::Started;
    return attempt;
}

}  // namespace tarnivo
