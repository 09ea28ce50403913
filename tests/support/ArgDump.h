// Reads what the tarnivo-test-argdump helper recorded.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include "ProcessRunner.h"

namespace tarnivo::test {

inline QString ArgDumpProgram() { return HelperProgramFolder() + "/tarnivo-test-argdump"; }

struct ArgDump {
    QString folder;
    QStringList arguments;
    bool found = false;
};

inline ArgDump ReadArgDump(const QString& file)
{
    ArgDump dump;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return dump;
    QList<QByteArray> parts = in.readAll().split('\0');
    if (!parts.isEmpty())
        parts.removeLast();  // every entry ends with NUL
    dump.found = !parts.isEmpty();
    if (dump.found)
        dump.folder = QString::fromUtf8(parts.takeFirst());
    for (const QByteArray& part : parts)
        dump.arguments << QString::fromUtf8(part);
    return dump;
}

}  // namespace tarnivo::test
