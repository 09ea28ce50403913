#include "ToolLineReader.h"

#include <QRegularExpression>

#include <algorithm>

namespace tarnivo {

namespace {

// "HH:MM:SS.xx" in seconds; -1 when the text is no such time.
double secondsOf(const QString& hours, const QString& minutes, const QString& seconds)
{
    bool ok = true;
    const double value = hours.toInt(&ok) * 3600.0 + minutes.toInt() * 60.0 + seconds.toDouble();
    return ok ? value : -1;
}

const QRegularExpression& durationPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*Duration: (\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    return pattern;
}

const QRegularExpression& streamRatePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*Stream #\\d+:\\d+.*: Video: .*, (\\d+(?:\\.\\d+)?)(k?) fps"));
    return pattern;
}

const QRegularExpression& framePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^frame=\\s*(\\d+)\\s+fps=\\s*(\\d+(?:\\.\\d+)?)"));
    return pattern;
}

const QRegularExpression& timePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("time=\\s*(-?)(\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    return pattern;
}

}  // namespace

bool ToolLineReader::Read(const QString& line)
{
    if (line.startsWith(QLatin1String("frame=")) || line.startsWith(QLatin1String("size="))) {
        const QRegularExpressionMatch frame = framePattern().match(line);
        if (frame.hasMatch()) {
            m_frames = frame.captured(1).toLongLong();
            m_framesPerSecond = frame.captured(2).toDouble();
        }
        const QRegularExpressionMatch time = timePattern().match(line);
        if (time.hasMatch())
            m_seconds = time.captured(1).isEmpty()
                            ? secondsOf(time.captured(2), time.captured(3), time.captured(4))
                            : 0;
        return frame.hasMatch() || time.hasMatch();
    }
    if (line.startsWith(QLatin1String("Output #"))) {
        m_inOutputSection = true;
        return false;
    }
    if (m_inputSeconds <= 0) {
        const QRegularExpressionMatch duration = durationPattern().match(line);
        if (duration.hasMatch())
            m_inputSeconds = secondsOf(duration.captured(1), duration.captured(2), duration.captured(3));
    }
    if (m_inOutputSection && m_outputRate <= 0) {
        const QRegularExpressionMatch stream = streamRatePattern().match(line);
        if (stream.hasMatch())
            m_outputRate = stream.captured(1).toDouble() * (stream.captured(2).isEmpty() ? 1 : 1000);
    }
    return false;
}

double ToolLineReader::InputSeconds() const
{
    if (m_inputLimit <= 0)
        return m_inputSeconds;
    return m_inputSeconds > 0 ? std::min(m_inputSeconds, m_inputLimit) : m_inputLimit;
}

double ToolLineReader::Fraction() const
{
    const double input = InputSeconds();
    if (input <= 0)
        return 0;
    double fraction = 0;
    if (m_frames >= 0 && m_outputRate > 0)
        fraction = m_frames / (input * m_outputRate);
    else if (m_seconds >= 0)
        fraction = m_seconds / input;
    return std::clamp(fraction, 0.0, 1.0);
}

double ToolLineReader::FramesToWrite() const
{
    const double input = InputSeconds();
    return input > 0 && m_outputRate > 0 ? input * m_outputRate : 0;
}

}  // namespace tarnivo
