#include "ConvertFLV.h"

#include "AVC.h"
#include "ChildProcess.h"
#include "FileRoutines.h"
#include "InputFacts.h"
#include "ReversalFacts.h"
#include "MediaContainers.h"
#include "MessageSink.h"
#include "OutputCheck.h"
#include "OutputFolder.h"
#include "OutputName.h"
#include "ProfileCatalogue.h"
#include "ProfileTable.h"

#include <QFile>
#include <QTimer>

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
    kPublishLine = 7
};

QString fromText(const char* text) { return QString::fromUtf8(text); }

// A box that reads "Same as source" sets nothing, so the result keeps the source's value.
std::string unlessSameAsSource(const QString& text)
{
    return MeansSameAsSource(text.toStdString()) ? std::string() : text.toStdString();
}

// "Custom Format": the panel's texts go to the engine exactly as they stand.
ConversionSettings customSettings(const CustomFormatValues& custom)
{
    ConversionSettings settings;
    settings.videoSize = unlessSameAsSource(custom.videoSize);
    settings.videoFrameRate = unlessSameAsSource(custom.videoFrameRate);
    settings.videoBitrate = custom.videoBitrate.toStdString();
    settings.videoCodec = custom.videoCodec.toStdString();
    settings.audioCodec = custom.audioCodec.toStdString();
    if (custom.mono)
        settings.audioChannels = "1";
    if (custom.stereo)
        settings.audioChannels = "2";
    settings.audioBitrate = custom.audioBitrate.toStdString();
    settings.audioSamples = unlessSameAsSource(custom.audioSamples);
    // Only the checked state counts; the greyed state (2) does not.
    settings.sameQuality = custom.sameQualityState == 1;
    settings.deInterlace = custom.deInterlaceState == 1;
    return settings;
}

// Applies the profile and gives its extension; nothing when the name is not a profile.
std::optional<QString> applyProfile(AVC& AVC1, const QString& ProfileName, const CustomFormatValues& custom)
{
    const std::optional<ProfileChoice> choice = ChoiceFor(ProfileName, custom);
    if (!choice)
        return std::nullopt;
    AVC1.ApplySettings(choice->settings);
    return choice->extension;
}

// The profile's extension; nothing when the name is not a profile.
std::optional<QString> extensionOf(const QString& ProfileName, const CustomFormatValues& custom)
{
    const std::optional<ProfileChoice> choice = ChoiceFor(ProfileName, custom);
    return choice ? std::optional<QString>(choice->extension) : std::nullopt;
}

// The colours the intermediate's pictures are read in, as the front end's environment entries;
// every entry is given, empty where nothing is known (no picture), so that nothing the job was
// started with counts.
QStringList intermediateFacts(const IntermediatePicture& picture)
{
    media::InputFacts facts;
    if (picture.frames > 0) {
        facts.matrix = picture.colours.matrix.toStdString();
        facts.primaries = picture.colours.primaries.toStdString();
        facts.transfer = picture.colours.transfer.toStdString();
        // Told only for full range: a lossless result then keeps the values as they are.
        if (picture.colours.fullRange)
            facts.range = "pc";
    }
    QStringList entries;
    for (const std::string& entry : media::ColourEnvironment(facts))
        entries << QString::fromStdString(entry);
    // A conversion is no step of the reversal: none of their facts counts for it.
    for (const std::string& entry : media::ReversalEnvironment(media::ReversalFacts()))
        entries << QString::fromStdString(entry);
    return entries;
}

// The ending of the hidden file ffmpeg writes into: the extension, so that ffmpeg picks the
// container from it. A result named like an animated GIF ("mygif", for an empty extension)
// whose extension does not end so itself gets ".gif": the engine then takes the animated-GIF
// form for the hidden name, as it does for the final one.
QString temporaryEnding(const QString& base, const QString& extension)
{
    const bool gifName = media::IsAnimatedGifName((base + extension).toStdString());
    return gifName && !media::IsAnimatedGifName(extension.toStdString()) ? QStringLiteral(".gif") : extension;
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

}  // namespace

std::optional<ProfileChoice> ChoiceFor(const QString& ProfileName, const CustomFormatValues& custom)
{
    if (ProfileName == QLatin1String(kCustomFormat))
        return ProfileChoice{customSettings(custom), custom.extension};
    const ProfileRow* row = FindProfileRow(ProfileName.toStdString());
    if (!row)
        return std::nullopt;
    return ProfileChoice{row->settings, fromText(row->extension)};
}

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
    const QString temporaryName =
        CreateTemporaryOutput(outputFolder, base, temporaryEnding(base, *extension), &attempt.failure);
    if (temporaryName.isEmpty()) {
        AVC1.ClearSettings();
        attempt.result = ConversionAttempt::Result::Refused;
        return attempt;
    }
    attempt.temporary = outputFolder.Prefix() + temporaryName;
    attempt.base = base;
    attempt.extension = *extension;
    attempt.shownName = outputFolder.Prefix() + candidate.value_or(base + *extension);
    attempt.temporaryName = temporaryName;
    report.Run(kSourceLine, [&] {
        AVC1.SourceFile(SourcePath);
        // The command line stays as designed: the front end is told the colours the
        // intermediate's pictures are read in through its environment, and reads their rate from
        // the intermediate's header.
        AVC1.ToolEnvironment(intermediateFacts(sourcePicture));
        AVC1.DestFile(attempt.temporary);
    });
    report.Run(kConvertLine, [&] { AVC1.ConvertMedia(true); });
    attempt.result = ConversionAttempt::Result::Started;
    if (!AVC1.IsConverting()) {
        // The engine refused: nothing runs, and nothing will be read back.
        const AVC::RunRecord& run = AVC1.LastRun();
        attempt.failure =
            run.refusal.isEmpty() ? QStringLiteral("the conversion did not start") : run.refusal;
        removeTemporary(outputFolder, temporaryName, false);
    }
    return attempt;
}

ConversionCheck::ConversionCheck(RunningTools& tools, MessageSink& sink, QObject* parent)
    : QObject(parent), m_tools(tools), m_sink(sink)
{
    qRegisterMetaType<ConversionAttempt>();
}

ConversionCheck::~ConversionCheck() = default;

void ConversionCheck::Start(const ConversionAttempt& attempt, const AVC& AVC1,
                            const OutputFolder& outputFolder, const QString& SourcePath,
                            const IntermediatePicture& sourcePicture)
{
    m_attempt = attempt;
    m_folder = &outputFolder;
    const AVC::RunRecord& run = AVC1.LastRun();
    if (!run.ran)
        m_attempt.failure =
            run.refusal.isEmpty() ? QStringLiteral("the conversion did not start") : run.refusal;
    // Read back and named only where the folder that was checked still is.
    m_moved = outputFolder.MovedProblem();
    if (!m_moved.isEmpty() && m_attempt.failure.isEmpty())
        m_attempt.failure = m_moved + QStringLiteral(" during the conversion");
    if (!m_attempt.failure.isEmpty()) {
        QTimer::singleShot(0, this, [this] { Publish(QString()); });
        return;
    }
    m_check = new ResultCheck(m_tools, this);
    connect(m_check, &ResultCheck::Finished, this, &ConversionCheck::Publish);
    m_check->Start(m_attempt.temporary, m_attempt.shownName, outputFolder.Name(), SourcePath,
                   KnownPictureLength(sourcePicture), run.exitStatus, run.errorLines);
}

void ConversionCheck::Stop()
{
    if (m_check)
        m_check->Stop();
}

void ConversionCheck::Publish(const QString& readBackProblem)
{
    const StepErrorReporter report(m_sink, QStringLiteral("Form1"), QStringLiteral("ConvertFLV"));
    const OutputFolder& folder = *m_folder;
    if (m_attempt.failure.isEmpty())
        m_attempt.failure = readBackProblem;
    report.Run(kPublishLine, [&] {
        if (!m_attempt.failure.isEmpty())
            return;
        const FittedName published = PublishOutput(folder, m_attempt.temporaryName, m_attempt.base,
                                                   m_attempt.extension, &m_attempt.failure);
        if (published.name.isEmpty())
            return;
        m_attempt.destination = folder.Prefix() + published.name;
        if (published.shortened)
            m_attempt.note += (m_attempt.note.isEmpty() ? QString() : QStringLiteral("; ")) +
                              ShortenedNameNote(folder.Policy());
    });
    if (m_attempt.destination.isEmpty()) {
        removeTemporary(folder, m_attempt.temporaryName, !m_moved.isEmpty());
        if (m_attempt.failure.isEmpty())
            m_attempt.failure = QStringLiteral("the result could not be checked");
    }
    emit Finished(m_attempt);
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
