#include "MediaProbe.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace tarnivo {

namespace {

constexpr int kProbePollMilliseconds = 100;
constexpr int kProbeTimeLimitMilliseconds = 60000;

QString runProbe(const QString& source)
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        return QString();
    QProcess probe;
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                          QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                          QStringLiteral("stream=avg_frame_rate"), QStringLiteral("-of"),
                          QStringLiteral("csv=p=0"), QStringLiteral("file:") + source});
    if (!probe.waitForStarted())
        return QString();
    int waited = 0;
    while (!probe.waitForFinished(kProbePollMilliseconds)) {
        if (probe.state() == QProcess::NotRunning)
            break;
        waited += kProbePollMilliseconds;
        if (waited >= kProbeTimeLimitMilliseconds) {
            probe.kill();
            probe.waitForFinished();
            return QString();
        }
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    }
    return QString::fromUtf8(probe.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}

}  // namespace

bool IsUsableFrameRate(const QString& rate)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)(?:/([0-9]+(?:\\.[0-9]+)?))?$"));
    const QRegularExpressionMatch match = form.match(rate);
    if (!match.hasMatch())
        return false;
    if (match.captured(1).toDouble() <= 0)
        return false;
    return match.captured(2).isEmpty() || match.captured(2).toDouble() > 0;
}

QString SourceFrameRate(const QString& source)
{
    // "file:" keeps a source whose name looks like a protocol ("http:...") a plain file.
    const QString rate = runProbe(source);
    return IsUsableFrameRate(rate) ? rate : QString::fromLatin1(kDefaultFrameRate);
}

}  // namespace tarnivo
