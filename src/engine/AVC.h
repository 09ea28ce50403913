// AVC, the conversion engine: the settings of one ffmpeg conversion, the command line built
// from them, the run with its progress pulse, cancelling, and the events that report the outcome.
//
// A caller fills in the settings, then calls ConvertMedia. The engine either refuses at once
// (ErrorEvent inside the call, settings kept) or starts W/ffmpeg.exe and returns; when the tool
// has ended, for whatever reason, it clears the settings and raises Complete from the event
// loop. The outcome is reported only through the three signals.
#pragma once

#include "ChildProcess.h"
#include "ConversionSettings.h"
#include "ToolNames.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>

namespace tarnivo {

class ProgressBarView;

// The refusal texts of ConvertMedia.
inline const QString kNoSourceMessage = QStringLiteral("No source filename defined");
inline const QString kNoDestinationMessage = QStringLiteral("No destination filename defined");
inline const QString kToolMissingMessage =
    QStringLiteral("Unable to locate ") + QLatin1String(media::kFfmpegToolName);
// Followed by the file name: a name holding a line break or a NUL cannot be passed on.
inline const QString kUnusableFileNameMessage = QStringLiteral(
    "This file name cannot be passed to ffmpeg because it holds a line break or a NUL character: ");

// The ffmpeg that conversions run: the working folder's "ffmpeg.exe".
QString ConversionToolPath();

// The tool path as the first token of a command line: unchanged when the command-line
// splitting gives it back as one argument, otherwise between double quotes and escaped.
QString ProgramToken(const QString& toolPath);

class AVC : public QObject {
    Q_OBJECT

public:
    static constexpr int kTickIntervalMs = 300;
    static inline const QString kProgressPrefix = QStringLiteral("Please wait... ");

    // Ticks of tickSource drive the progress pulse while the engine exists; the engine only
    // borrows the timer. progressBar receives the "Please wait... " texts; either may be null.
    AVC(QTimer* tickSource, ProgressBarView* progressBar, QObject* parent = nullptr);
    // Stops listening to the timer. A tool that is still running is left alone.
    ~AVC() override;

    // The settings (see ConversionSettings). Each stores its value as given, replacing the old one.
    void RateControlBuffer(QString StrValue);
    void VideoBitrateTolerance(QString StrValue);
    void TargetFormat(QString StrValue);
    void GroupOfPictureSize(QString StrValue);
    void VideoQuantiserScale(QString StrValue);
    void MaxVideoBitrate(QString StrValue);
    void SourceFile(QString StrValue);
    void DestFile(QString StrValue);
    void DeInterlace(bool StrValue);
    void SameQuality(bool StrValue);
    void VideoSize(QString StrValue);
    void VideoBitrate(QString StrValue);
    void VideoFrameRate(QString StrValue);
    void VideoCodec(QString StrValue);
    void VideoFourCCTag(QString StrValue);
    void VideoAspectRatio(QString StrValue);
    void ForceFormat(QString StrValue);
    void AudioBitrate(QString StrValue);
    void AudioCodec(QString StrValue);
    void AudioFourCCTag(QString StrValue);
    void AudioSamples(QString StrValue);
    void AudioChannels(QString StrValue);
    // What the tool is told besides its command line: "NAME=value" entries of its environment
    // (facts about the source's pictures that the ffmpeg front end acts on, media::InputFacts),
    // so that the command line stays as designed. Cleared with the settings.
    void ToolEnvironment(QStringList entries);
    // Every text of given that is not empty and every switch of it that is true; the other
    // settings keep their values.
    void ApplySettings(const ConversionSettings& given);

    // Builds and starts one conversion; "-y" (replace the destination) when OverWrite is true.
    // A refusal emits ErrorEvent before it returns; otherwise Complete follows once the tool
    // has ended.
    void ConvertMedia(bool OverWrite);
    bool IsConverting() const { return m_running > 0; }

    // Ends the tool this engine runs (SIGTERM, then SIGKILL after a grace period).
    // Emits nothing and leaves the timer alone: the run sees its tool end and completes as
    // usual.
    void CancelConvert();

    // How the last ConvertMedia call ended.
    struct RunRecord {
        bool ran = false;        // the tool was started (false after a refusal)
        int exitStatus = 0;      // the tool's exit status when it ran
        QStringList errorLines;  // the last lines the tool wrote to standard error
        QString refusal;         // the ErrorEvent text when the call was refused
    };
    const RunRecord& LastRun() const { return m_lastRun; }

    // Every setting back to empty (the two switches to false), as after a run.
    void ClearSettings();

    // The command line ConvertMedia would run with the current settings.
    QString BuildCommandLine(bool OverWrite) const;

    // The tools the engine runs (its conversions).
    RunningTools& Tools() { return m_tools; }

    // Ticks handled so far in this program run, by every engine; stops at INT32_MAX.
    static qint32 WaitCounter;

signals:
    void Converting();
    void Complete();
    void ErrorEvent(QString ErrorMessage);
    // A line the running tool wrote to standard error (its progress among them).
    void ToolLine(const QString& line);

private:
    QString OptionText(bool OverWrite) const;
    QString UnusableFileName() const;
    void RunConversion(const QString& commandLine);
    void OnTick();

    void Refuse(const QString& message);

    RunRecord m_lastRun;
    RunningTools m_tools;
    int m_running = 0;  // tools started and not yet ended
    QPointer<QTimer> m_tickSource;
    ProgressBarView* m_progressBar;
    QMetaObject::Connection m_tickConnection;

    ConversionSettings m_settings;
    QString m_SourceFile;
    QStringList m_toolEnvironment;
    QString m_DestFile;
};

}  // namespace tarnivo
