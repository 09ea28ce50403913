#include "JobPlan.h"

#include "ToolNames.h"
#include "DialectTranslation.h"
#include "FrameMaking.h"
#include "MediaCodecs.h"
#include "ProbeClient.h"
#include "ProfileCatalogue.h"
#include "StepCosts.h"

#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include <string>
#include <vector>

namespace tarnivo {

namespace {

// The size names ffmpeg takes for "-s" besides WIDTHxHEIGHT.
const QSet<QString>& sizeNames()
{
    static const QSet<QString> names = {
        "ntsc",   "pal",    "qntsc",  "qpal",    "sntsc",  "spal",   "film",    "ntsc-film", "sqcif",
        "qcif",   "cif",    "4cif",   "16cif",   "qqvga",  "qvga",   "vga",     "svga",      "xga",
        "uxga",   "qxga",   "sxga",   "qsxga",   "hsxga",  "wvga",   "wxga",    "wsxga",     "wuxga",
        "woxga",  "wqsxga", "wquxga", "whsxga",  "whuxga", "cga",    "ega",     "hd480",     "hd720",
        "hd1080", "2k",     "2kflat", "2kscope", "4k",     "4kflat", "4kscope", "nhd",       "hqvga",
        "wqvga",  "fwqvga", "hvga",   "qhd",     "2kdci",  "4kdci",  "uhd2160", "uhd4320"};
    return names;
}

// The rate names ffmpeg takes for "-r" besides a number.
const QSet<QString>& rateNames()
{
    static const QSet<QString> names = {"ntsc", "pal", "qntsc", "qpal", "sntsc", "spal", "film", "ntsc-film"};
    return names;
}

std::optional<double> numberOf(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(?:") + pattern + ")$").match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

// A bitrate as the boxes take it: kbit/s as bare digits, or a number with its own unit.
bool isBitrate(const QString& text, double mostKilobits)
{
    const std::optional<double> kilobits = numberOf(text, QStringLiteral("([0-9]+(?:\\.[0-9]+)?)"));
    if (kilobits)
        return *kilobits > 0 && *kilobits <= mostKilobits;
    const std::optional<double> withUnit = numberOf(text, QStringLiteral("([0-9]+(?:\\.[0-9]+)?)[kKmM]"));
    return withUnit && *withUnit > 0;
}

bool isFrameRate(const QString& text)
{
    if (rateNames().contains(text))
        return true;
    const double rate = FrameRateValue(text);
    return rate > 0 && rate <= kHighestFrameRate;
}

bool isFrameSize(const QString& text)
{
    if (sizeNames().contains(text))
        return true;
    static const QRegularExpression size(QStringLiteral("^([0-9]{1,5})x([0-9]{1,5})$"));
    const QRegularExpressionMatch match = size.match(text);
    return match.hasMatch() && match.captured(1).toInt() > 0 && match.captured(2).toInt() > 0 &&
           match.captured(1).toInt() <= 16384 && match.captured(2).toInt() <= 16384;
}

bool isSampleRate(const QString& text)
{
    const std::optional<double> rate = numberOf(text, QStringLiteral("([0-9]+)"));
    return rate && *rate >= 1000 && *rate <= 768000;
}

// What a missing encoder needs, where Debian has it in another package.
QString installHint(const QString& encoder)
{
    if (encoder == QLatin1String("libopencore_amrnb"))
        return QStringLiteral(
            " (Debian's package libavcodec-extra brings it: sudo apt install libavcodec-extra)");
    return QString();
}

bool isPictureOnly(const ProfileChoice& choice)
{
    const QString extension = choice.extension.toLower();
    return choice.settings.forceFormat == "gif" || extension.endsWith(QLatin1String("gif")) ||
           extension == QLatin1String(".webp");
}

}  // namespace

QSet<QString> ParseEncoderList(const QByteArray& output)
{
    // " V....D libx264              libx264 H.264 ...": the flags, then the name. The legend
    // above the list ends with a line of dashes.
    QSet<QString> encoders;
    bool listing = false;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (!listing) {
            listing = line.trimmed().startsWith("------");
            continue;
        }
        if (words.size() >= 2 && words[0].size() == 6)
            encoders.insert(QString::fromUtf8(words[1]));
    }
    return encoders;
}

QStringList EncodersUsed(const ConversionSettings& settings, const QString& extension)
{
    // The engine's line as it will be, from the source to the destination.
    std::vector<std::string> arguments{"-i", "rvideo.avi"};
    for (const std::string& argument : SettingArguments(settings))
        arguments.push_back(argument);
    if (extension.right(3).toLower() == QLatin1String("gif"))
        arguments.insert(arguments.end(), {"-pix_fmt", "rgb24", "-loop_output", "0", "-r", "2"});
    arguments.push_back("result" + extension.toStdString());
    QStringList encoders;
    for (const std::string& encoder : media::EncodersUsed(ffmpeg_front_end::TranslateArguments(arguments)))
        encoders << QString::fromStdString(encoder);
    return encoders;
}

// Read once per program run: the system's ffmpeg does not change while Tarnivo runs.
static std::optional<QSet<QString>>& knownEncoders()
{
    static std::optional<QSet<QString>> known;
    return known;
}

EncoderCatalogue::EncoderCatalogue(QObject* parent) : QObject(parent) {}

const std::optional<QSet<QString>>& EncoderCatalogue::Known() { return knownEncoders(); }

void EncoderCatalogue::Request()
{
    if (Known()) {
        QTimer::singleShot(0, this, &EncoderCatalogue::Ready);
        return;
    }
    if (m_run)
        return;
    m_run = new ToolRun(this);
    connect(m_run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        m_run->deleteLater();
        m_run = nullptr;
        const QSet<QString> encoders = ParseEncoderList(outcome.output);
        // An ffmpeg that lists nothing is not known to lack anything: its failures come later.
        if (outcome.Succeeded() && !encoders.isEmpty())
            knownEncoders() = encoders;
        emit Ready();
    });
    m_run->Start(m_tools, QLatin1String(media::kFfmpegProgram),
                 {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
}

PlanReading::PlanReading(ProbeClient& probes, QObject* parent) : QObject(parent), m_probes(probes)
{
    connect(&m_probes, &ProbeClient::Probed, this, &PlanReading::Probed);
    connect(&m_encoders, &EncoderCatalogue::Ready, this, [this] {
        m_encodersKnown = true;
        ReadyIfDone();
    });
}

void PlanReading::Start(std::vector<Row> rows)
{
    m_rows = std::move(rows);
    m_reading = true;
    m_encodersKnown = false;
    m_encoders.Request();
    for (Row& row : m_rows) {
        row.read = !row.problem.isEmpty() || row.finished;
        if (!row.read)
            m_probes.Request(row.source);
    }
}

void PlanReading::Probed(const QString& path, const SourceFacts& facts)
{
    if (!m_reading)
        return;
    for (Row& row : m_rows) {
        if (!row.read && row.source == path) {
            row.facts = facts;
            row.read = true;
        }
    }
    ReadyIfDone();
}

void PlanReading::ReadyIfDone()
{
    if (!m_reading || !m_encodersKnown)
        return;
    for (const Row& row : m_rows) {
        if (!row.read)
            return;
    }
    m_reading = false;
    emit Ready();
}

QString CustomNumbersProblem(const CustomFormatValues& custom)
{
    struct Box {
        const QString& text;
        bool (*fits)(const QString&);
        const char* what;
    };
    const Box boxes[] = {
        {custom.videoBitrate, [](const QString& text) { return isBitrate(text, 1000000); },
         "video bitrate \"%1\" is no bitrate in kbit/s (such as 1200)"},
        {custom.videoFrameRate, isFrameRate,
         "frame rate \"%1\" is no number of frames per second (such as 25 or 29.97)"},
        {custom.videoSize, isFrameSize, "size \"%1\" is no picture size (such as 640x480)"},
        {custom.audioBitrate, [](const QString& text) { return isBitrate(text, 10000); },
         "audio bitrate \"%1\" is no bitrate in kbit/s (such as 128)"},
        {custom.audioSamples, isSampleRate,
         "sample rate \"%1\" is no number of samples per second (such as 44100)"},
    };
    for (const Box& box : boxes) {
        if (box.text.isEmpty() || MeansSameAsSource(box.text.toStdString()) || box.fits(box.text))
            continue;
        return QStringLiteral("Custom Format: the ") + QString::fromLatin1(box.what).arg(box.text) +
               QStringLiteral(". Please correct it.");
    }
    return QString();
}

QString ChoicesProblem(const QString& ProfileName, const CustomFormatValues& custom,
                       const std::optional<QSet<QString>>& encoders)
{
    const std::optional<ProfileChoice> choice = ChoiceFor(ProfileName, custom);
    if (!choice) {
        if (ProfileName.isEmpty())
            return QStringLiteral("No output profile is chosen. Please choose one in the Profile list.");
        return QStringLiteral("The profile \"%1\" is not defined. Please choose one in the Profile list.")
            .arg(ProfileName);
    }
    if (ProfileName == QLatin1String(kCustomFormat)) {
        const std::string container = CustomContainerProblem(
            custom.videoCodec.toStdString(), custom.audioCodec.toStdString(), custom.extension.toStdString());
        if (!container.empty())
            return QString::fromStdString(container);
        if (const QString numbers = CustomNumbersProblem(custom); !numbers.isEmpty())
            return numbers;
    }
    if (!encoders)
        return QString();
    for (const QString& encoder : EncodersUsed(choice->settings, choice->extension)) {
        if (!encoders->contains(encoder))
            return QStringLiteral(
                       "The ffmpeg of this system cannot write \"%1\": it has no encoder of that name%2. "
                       "Please choose another %3.")
                .arg(encoder, installHint(encoder),
                     ProfileName == QLatin1String(kCustomFormat) ? QStringLiteral("codec")
                                                                 : QStringLiteral("profile"));
    }
    return QString();
}

QString FileProblem(const SourceFacts& facts, const ProfileChoice& choice, const QString& outputProblem)
{
    if (!facts.readable)
        return facts.problem.isEmpty() ? QStringLiteral("it cannot be read") : facts.problem;
    if (!facts.hasPicture && !facts.hasSound)
        return QStringLiteral("it holds neither a picture nor a sound that could be reversed");
    if (!ConversionWorkOf(choice.settings, choice.extension.toStdString()).picture && !facts.hasSound)
        return QStringLiteral("it has no sound, and the profile makes a sound file");
    if (isPictureOnly(choice) && !facts.hasPicture)
        return QStringLiteral("it has no picture, and the profile makes a picture");
    return outputProblem;
}

QString PartProblem(const SourceFacts& facts, const FilmPart& part)
{
    if (part.IsWhole())
        return QString();
    if (const QString problem = FilmPartProblem(part); !problem.isEmpty())
        return problem;
    if (facts.statedEnd > 0 && part.from >= facts.statedEnd)
        return QStringLiteral("the part %1 lies outside the film, which ends at %2")
            .arg(FilmPartText(part), FilmTimeText(facts.statedEnd));
    if (facts.hasPicture && part.to >= 0 && part.to <= facts.pictureStart)
        return QStringLiteral("the part %1 lies outside the film, whose picture starts at %2")
            .arg(FilmPartText(part), FilmTimeText(facts.pictureStart));
    return QString();
}

// Whether the choice's encoder keeps every detail of its pictures (editing, lossless).
static bool keepsEveryDetail(const ProfileChoice& choice)
{
    const QStringList encoders = EncodersUsed(choice.settings, choice.extension);
    return std::any_of(encoders.begin(), encoders.end(),
                       [](const QString& encoder) { return media::KeepsEveryDetail(encoder.toStdString()); });
}

// Whether the choice's encoder wants the film's decoded pictures exactly: x264 at the source's
// own size (a profile of a size of its own scales the pictures anyway).
static bool wantsExactFrames(const ProfileChoice& choice)
{
    const QStringList encoders = EncodersUsed(choice.settings, choice.extension);
    return choice.settings.videoSize.empty() &&
           std::any_of(encoders.begin(), encoders.end(),
                       [](const QString& encoder) { return media::WantsExactFrames(encoder.toStdString()); });
}

ReversalOptions ReversalOptionsFor(const ProfileChoice& choice)
{
    ReversalOptions options;
    options.finestFrames = keepsEveryDetail(choice);
    options.exactFrames = wantsExactFrames(choice);
    // Today's formats (their options written whole) carry any channels: the sound keeps the
    // source's. The designed profiles get the two channels their lines make.
    options.keepSoundChannels = !choice.settings.outputOptions.empty();
    return options;
}

QString CannotBeMade(const QString& reason) { return QStringLiteral("cannot be made: ") + reason; }

}  // namespace tarnivo
