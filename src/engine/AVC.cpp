#include "AVC.h"

#include "CommandLine.h"
#include "ConversionViews.h"
#include "FileRoutines.h"
#include "MediaContainers.h"
#include "ProcessRunner.h"
#include "ToolRun.h"
#include "WorkFolder.h"

#include <limits>
#include <utility>

namespace tarnivo {

namespace {

bool CanBePassedOn(const QString& path) { return CanBeCarriedOnCommandLine(path.toStdString()); }

}  // namespace

QString ConversionToolPath()
{
    return WorkFolder() + QLatin1Char('/') + QLatin1String(media::kFfmpegToolName);
}

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

AVC::~AVC()
{
    disconnect(m_tickConnection);
    if (m_tickSource && m_running > 0)
        m_tickSource->stop();
    // A tool that still runs is left to finish its file; its run goes once it has ended (and
    // collects it), hearing no engine any more.
    for (ToolRun* run : findChildren<ToolRun*>(Qt::FindDirectChildrenOnly)) {
        run->disconnect(this);
        if (!run->IsRunning())
            continue;
        run->setParent(nullptr);
        connect(run, &ToolRun::Finished, run, &QObject::deleteLater);
    }
}

void AVC::RateControlBuffer(QString StrValue) { m_settings.rateControlBuffer = StrValue.toStdString(); }
void AVC::VideoBitrateTolerance(QString StrValue)
{
    m_settings.videoBitrateTolerance = StrValue.toStdString();
}
void AVC::TargetFormat(QString StrValue) { m_settings.targetFormat = StrValue.toStdString(); }
void AVC::GroupOfPictureSize(QString StrValue) { m_settings.groupOfPictureSize = StrValue.toStdString(); }
void AVC::VideoQuantiserScale(QString StrValue) { m_settings.videoQuantiserScale = StrValue.toStdString(); }
void AVC::MaxVideoBitrate(QString StrValue) { m_settings.maxVideoBitrate = StrValue.toStdString(); }
void AVC::SourceFile(QString StrValue) { m_SourceFile = std::move(StrValue); }
void AVC::DestFile(QString StrValue) { m_DestFile = std::move(StrValue); }
void AVC::DeInterlace(bool StrValue) { m_settings.deInterlace = StrValue; }
void AVC::SameQuality(bool StrValue) { m_settings.sameQuality = StrValue; }
void AVC::VideoSize(QString StrValue) { m_settings.videoSize = StrValue.toStdString(); }
void AVC::VideoBitrate(QString StrValue) { m_settings.videoBitrate = StrValue.toStdString(); }
void AVC::VideoFrameRate(QString StrValue) { m_settings.videoFrameRate = StrValue.toStdString(); }
void AVC::VideoCodec(QString StrValue) { m_settings.videoCodec = StrValue.toStdString(); }
void AVC::VideoFourCCTag(QString StrValue) { m_settings.videoFourCCTag = StrValue.toStdString(); }
void AVC::VideoAspectRatio(QString StrValue) { m_settings.videoAspectRatio = StrValue.toStdString(); }
void AVC::ForceFormat(QString StrValue) { m_settings.forceFormat = StrValue.toStdString(); }
void AVC::AudioBitrate(QString StrValue) { m_settings.audioBitrate = StrValue.toStdString(); }
void AVC::AudioCodec(QString StrValue) { m_settings.audioCodec = StrValue.toStdString(); }
void AVC::AudioFourCCTag(QString StrValue) { m_settings.audioFourCCTag = StrValue.toStdString(); }
void AVC::AudioSamples(QString StrValue) { m_settings.audioSamples = StrValue.toStdString(); }
void AVC::AudioChannels(QString StrValue) { m_settings.audioChannels = StrValue.toStdString(); }
void AVC::ToolEnvironment(QStringList entries) { m_toolEnvironment = std::move(entries); }
void AVC::ApplySettings(const ConversionSettings& given) { ApplyGivenSettings(m_settings, given); }

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
    // Animated GIF output is recognised by the last three characters of the destination alone.
    if (media::IsAnimatedGifName(m_DestFile.toStdString())) {
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
    QString options = OverWrite ? QStringLiteral("-y ") : QString();
    for (const std::string& argument : SettingArguments(m_settings))
        options += QString::fromStdString(argument) + QLatin1Char(' ');
    return options;
}

void AVC::RunConversion(const QString& commandLine)
{
    if (m_tickSource) {
        m_tickSource->setInterval(kTickIntervalMs);
        m_tickSource->start();
    }
    auto* run = new ToolRun(this);
    ++m_running;
    connect(run, &ToolRun::Line, this, &AVC::ToolLine);
    connect(run, &ToolRun::Finished, this, [this, run](const ToolOutcome& outcome) {
        run->deleteLater();
        --m_running;
        if (m_tickSource && m_running == 0)
            m_tickSource->stop();
        m_lastRun.ran = true;
        m_lastRun.exitStatus = outcome.status;
        m_lastRun.errorLines = outcome.errorLines;
        ClearSettings();
        emit Complete();
    });
    run->StartCommandLine(m_tools, commandLine, m_toolEnvironment);
}

void AVC::ClearSettings()
{
    m_SourceFile.clear();
    m_DestFile.clear();
    m_toolEnvironment.clear();
    m_settings = ConversionSettings();
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
