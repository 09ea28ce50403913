#include "FilmPart.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace tarnivo {

std::optional<double> ParseFilmTime(const QString& text)
{
    // [[hours:]minutes:]seconds[.fraction]: the fields after the first take two digits.
    static const QRegularExpression time(
        QStringLiteral("^(?:(?:(\\d+):)?(\\d+):)?(\\d+)(?:\\.(\\d+))?$|^\\.(\\d+)$"));
    const QRegularExpressionMatch match = time.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    if (!match.captured(5).isEmpty())
        return QStringLiteral("0.%1").arg(match.captured(5)).toDouble();
    const bool clock = !match.captured(2).isEmpty();
    const double hours = match.captured(1).toDouble();
    const double minutes = match.captured(2).toDouble();
    const double seconds = match.captured(3).toDouble();
    const bool hoursGiven = !match.captured(1).isEmpty();
    if (hoursGiven && (minutes >= 60 || match.captured(2).size() != 2))
        return std::nullopt;
    if (clock && (seconds >= 60 || match.captured(3).size() != 2))
        return std::nullopt;
    const QString fraction = match.captured(4);
    return hours * 3600 + minutes * 60 + seconds +
           (fraction.isEmpty() ? 0.0 : QStringLiteral("0.%1").arg(fraction).toDouble());
}

QString FilmTimeText(double seconds)
{
    const qint64 milliseconds = std::llround(std::max(0.0, seconds) * 1000);
    const qint64 whole = milliseconds / 1000;
    const QLatin1Char zero('0');
    QString text = whole >= 3600 ? QStringLiteral("%1:%2:%3")
                                       .arg(whole / 3600)
                                       .arg(whole / 60 % 60, 2, 10, zero)
                                       .arg(whole % 60, 2, 10, zero)
                                 : QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, zero);
    if (const qint64 rest = milliseconds % 1000; rest != 0) {
        QString fraction = QStringLiteral("%1").arg(rest, 3, 10, zero);
        while (fraction.endsWith(zero))
            fraction.chop(1);
        text += QLatin1Char('.') + fraction;
    }
    return text;
}

QString FilmPartText(const FilmPart& part)
{
    return FilmTimeText(part.from) + QStringLiteral(" to ") +
           (part.to < 0 ? QStringLiteral("the end") : FilmTimeText(part.to));
}

QString FilmPartProblem(const FilmPart& part)
{
    if (part.from < 0)
        return QStringLiteral("the part starts before the film");
    if (part.to >= 0 && part.to <= part.from)
        return QStringLiteral("the part ends at %1, not after its start at %2")
            .arg(FilmTimeText(part.to), FilmTimeText(part.from));
    return QString();
}

}  // namespace tarnivo
