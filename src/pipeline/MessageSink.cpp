#include "MessageSink.h"

namespace tarnivo {

QString StandardErrorReportText(const QString& description, const QString& module, const QString& procedure,
                                int line)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in Klemvar2017/04/05.") + module +
           QLatin1Char('.') + procedure + QLatin1Char(' ') + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + QLatin1String(kSupportAddress);
}

}  // namespace tarnivo
