// Recorders for the engine tests: what the engine and the window handlers did, in order.
#pragma once

#include "MediaTestSupport.h"

#include "AVC.h"
#include "ConversionViews.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tarnivo::test {

// Everything the engine emits and writes onto the bar, as one ordered log:
// "text:Please wait... 7", "Converting", "Complete", "ErrorEvent:No source filename defined".
class EngineLog : public ProgressBarView {
public:
    void SetProgressText(const QString& text) override { entries << "text:" + text; }
    void SetProgressValue(int value) override { entries << "value:" + QString::number(value); }

    void Attach(AVC& engine)
    {
        QObject::connect(&engine, &AVC::Converting, [this] { entries << "Converting"; });
        QObject::connect(&engine, &AVC::Complete, [this] { entries << "Complete"; });
        QObject::connect(&engine, &AVC::ErrorEvent,
                         [this](const QString& message) { entries << "ErrorEvent:" + message; });
    }

    int Count(const QString& entry) const { return static_cast<int>(entries.count(entry)); }
    int CountStartingWith(const QString& prefix) const
    {
        int count = 0;
        for (const QString& entry : entries)
            count += entry.startsWith(prefix) ? 1 : 0;
        return count;
    }
    // The numbers of the "Please wait... N" texts, in order.
    QList<qint64> WaitNumbers() const
    {
        QList<qint64> numbers;
        const QString prefix = "text:" + AVC::kProgressPrefix;
        for (const QString& entry : entries) {
            if (entry.startsWith(prefix))
                numbers << entry.mid(prefix.size()).toLongLong();
        }
        return numbers;
    }

    QStringList entries;
};

// Starts a conversion and lets the application handle its events until the engine's tool has
// ended (at once after a refusal), as the window goes on while it converts.
inline void ConvertAndWait(AVC& engine, bool overWrite)
{
    engine.ConvertMedia(overWrite);
    ProcessEventsUntil([&engine] { return !engine.IsConverting(); }, 600000);
}

}  // namespace tarnivo::test
