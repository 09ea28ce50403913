#include "AVC.h"

#include "CommandLine.h"
#include "ConversionViews.h"
#include "FileRoutines.h"
#include "ProcessRunner.h"
#include "WorkFolder.h"

#include <limits>
#include <utility>

namespace tarnivo {

namespace {

bool CanBePassedOn(const QString& path) { return CanBeCarriedOnCommandLine(path.toStdString()); }

// Animated GIF output is recognised by the last three characters of the destination alone.
bool IsGifDestination(const QString& destination)
{
    return destination.right(3).toLower() == QLatin1String("gif");
}

void AppendSetting(QString& options, const char* switchText, const QString& value)
{
    if (!value.isEmpty())
        options += QLatin1String(switchText) + value + QLatin1Char(' ');
}

void AppendFlag(QString& options, const char* switchText, bool set)
{
    if (set)
        options += QLatin1String(switchText) + QLatin1Char(' ');
}

}  // namespace

QString ConversionToolPath() { return WorkFolder() + QStringLiteral("/ffmpeg.exe"); }

QString ProgramToken(const QString& toolPath)
{
    const std::string path = toolPath.toStdString();
    if (SplitCommandLine(path) == std::vector<std::string>{path})
        return toolPath;
    return QuoteForCommandLine(toolPath);
}

qint32 AVC::WaitCounter = 0;

AVC::AVC(QTimer* tickSource, ProgressBarView* progressBar, QObject* parent)
    : QObject(parent), m_tickSource(tickSource), m_progressBar(progressBar)
{
    if (tickSource)
        m_tickConnection = connect(tickSource, &QTimer::timeout, this, &AVC::OnTick);
}

AVC::~AVC() { disconnect(m_tickConnection); }

void AVC::RateControlBuffer(QString StrValue) { m_RateControlBuffer = std::move(StrValue); }
void AVC::VideoBitrateTolerance(QString StrValue) { m_VideoBitrateTolerance = std::move(StrValue); }
void AVC::TargetFormat(QString StrValue) { m_TargetFormat = std::move(StrValue); }
void AVC::GroupOfPictureSize(QString StrValue) { m_GroupOfPictureSize = std::move(StrValue); }
void AVC::VideoQuantiserScale(QString StrValue) { m_VideoQuantiserScale = std::move(StrValue); }
void AVC::MaxVideoBitrate(QString StrValue) { m_MaxVideoBitrate = std::move(StrValue); }
void AVC::SourceFile(QString StrValue) { m_SourceFile = std::move(StrValue); }
void AVC::DestFile(QString StrValue) { m_DestFile = std::move(StrValue); }
void AVC::DeInterlace(bool StrValue) { m_DeInterlace = StrValue; }
void AVC::SameQuality(bool StrValue) { m_SameQuality = StrValue; }
void AVC::VideoSize(QString StrValue) { m_VideoSize = std::move(StrValue); }
void AVC::VideoBitrate(QString StrValue) { m_VideoBitrate = std::move(StrValue); }
void AVC::VideoFrameRate(QString StrValue) { m_VideoFrameRate = std::move(StrValue); }
void AVC::VideoCodec(QString StrValue) { m_VideoCodec = std::move(StrValue); }
void AVC::VideoFourCCTag(QString StrValue) { m_VideoFourCCTag = std::move(StrValue); }
void AVC::VideoAspectRatio(QString StrValue) { m_VideoAspectRatio = std::move(StrValue); }
void AVC::ForceFormat(QString StrValue) { m_ForceFormat = std::move(StrValue); }
void AVC::AudioBitrate(QString StrValue) { m_AudioBitrate = std::move(StrValue); }
void AVC::AudioCodec(QString StrValue) { m_AudioCodec = std::move(StrValue); }
void AVC::AudioFourCCTag(QString StrValue) { m_AudioFourCCTag = std::move(StrValue); }
void AVC::AudioSamples(QString StrValue) { m_AudioSamples = std::move(StrValue); }
void AVC::AudioChannels(QString StrValue) { m_AudioChannels = std::move(StrValue); }

void AVC::ConvertMedia(bool OverWrite)
{
    m_lastRun = RunRecord();
    if (m_SourceFile.isEmpty()) {
        Refuse(kNoSourceMessage);
        return;
    }
    if (m_DestFile.isEmpty()) {
        Refuse(kNoDestinationMessage);
        return;
    }
    const QString unusable = UnusableFileName();
    if (!unusable.isEmpty()) {
        Refuse(kUnusableFileNameMessage + unusable);
        return;
    }
    const QString commandLine = BuildCommandLine(OverWrite);
    if (!IsFile(ConversionToolPath())) {
        Refuse(kToolMissingMessage);
        return;
    }
    RunConversion(commandLine);
}

void AVC::Refuse(const QString& message)
{
    m_lastRun.refusal = message;
    emit ErrorEvent(message);
}

QString AVC::UnusableFileName() const
{
    for (const QString* path : {&m_SourceFile, &m_DestFile}) {
        if (!CanBePassedOn(*path))
            return *path;
    }
    return QString();
}

QString AVC::BuildCommandLine(bool OverWrite) const
{
    QString commandLine = ProgramToken(ConversionToolPath()) + QStringLiteral(" -i ") +
                          QuoteForCommandLine(m_SourceFile) + QLatin1Char(' ') + OptionText(OverWrite);
    if (IsGifDestination(m_DestFile)) {
        // Each piece brings its own spaces, so two stand between neighbouring pieces.
        commandLine += QStringLiteral(" -pix_fmt rgb24 ");
        commandLine += QStringLiteral(" -loop_output 0 ");
        commandLine += QStringLiteral(" -r 2 ");
    }
    return commandLine + QuoteForCommandLine(m_DestFile);
}

// Every switch in its fixed order, each followed by one space; values go in unchanged.
QString AVC::OptionText(bool OverWrite) const
{
    QString options;
    AppendFlag(options, "-y", OverWrite);
    AppendSetting(options, "-b ", m_VideoBitrate);
    AppendSetting(options, "-r ", m_VideoFrameRate);
    AppendSetting(options, "-s ", m_VideoSize);
    AppendSetting(options, "-vcodec ", m_VideoCodec);
    AppendSetting(options, "-vtag ", m_VideoFourCCTag);
    AppendSetting(options, "-aspect ", m_VideoAspectRatio);
    AppendSetting(options, "-bt ", m_VideoBitrateTolerance);
    AppendSetting(options, "-f ", m_ForceFormat);
    AppendSetting(options, "-target ", m_TargetFormat);
    AppendSetting(options, "-bufsize ", m_RateControlBuffer);
    AppendSetting(options, "-g ", m_GroupOfPictureSize);
    AppendSetting(options, "-qscale ", m_VideoQuantiserScale);
    AppendSetting(options, "-maxrate ", m_MaxVideoBitrate);
    AppendFlag(options, "-deinterlace", m_DeInterlace);
    AppendFlag(options, "-sameq", m_SameQuality);
    AppendSetting(options, "-acodec ", m_AudioCodec);
    AppendSetting(options, "-atag ", m_AudioFourCCTag);
    AppendSetting(options, "-ab ", m_AudioBitrate);
    AppendSetting(options, "-ar ", m_AudioSamples);
    AppendSetting(options, "-ac ", m_AudioChannels);
    return options;
}

void AVC::RunConversion(const QString& commandLine)
{
    // The wait lets the application handle its events, so the window may release this
    // engine meanwhile: then the timer is still switched off, but nothing else is left to do.
    const QPointer<AVC> self(this);
    const QPointer<QTimer> timer = m_tickSource;
    if (timer) {
        timer->setInterval(kTickIntervalMs);
        timer->start();
    }
    QStringList errorLines;
    const int exitStatus = ShellAndWait(commandLine, m_tools, &errorLines);
    if (timer)
        timer->stop();
    if (!self)
        return;
    m_lastRun.ran = true;
    m_lastRun.exitStatus = exitStatus;
    m_lastRun.errorLines = errorLines;
    ClearSettings();
    emit Complete();
}

void AVC::ClearSettings()
{
    m_SourceFile.clear();
    m_DestFile.clear();
    m_VideoBitrate.clear();
    m_VideoFrameRate.clear();
    m_VideoSize.clear();
    m_VideoCodec.clear();
    m_VideoFourCCTag.clear();
    m_VideoAspectRatio.clear();
    m_ForceFormat.clear();
    m_RateControlBuffer.clear();
    m_GroupOfPictureSize.clear();
    m_VideoQuantiserScale.clear();
    m_VideoBitrateTolerance.clear();
    m_MaxVideoBitrate.clear();
    m_AudioCodec.clear();
    m_AudioFourCCTag.clear();
    m_AudioBitrate.clear();
    m_AudioSamples.clear();
    m_AudioChannels.clear();
    m_TargetFormat.clear();
    m_DeInterlace = false;
    m_SameQuality = false;
}

void AVC::CancelConvert() { m_tools.Cancel(); }

void AVC::OnTick()
{
    if (WaitCounter < std::numeric_limits<qint32>::max())
        ++WaitCounter;
    if (m_progressBar)
        m_progressBar->SetProgressText(kProgressPrefix + QString::number(WaitCounter));
    emit Converting();
}

}  // namespace tarnivo
