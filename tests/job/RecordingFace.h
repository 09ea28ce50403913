#pragma once

// A face for jobs started from tests: the rows, the output folder and the profile are set by the
// test, and every message the job shows is kept in order.

#include "MessageSink.h"
#include "ReverseJob.h"

#include <QStringList>

namespace tarnivo::test {

class RecordingFace : public JobListSource, public JobChoices, public MessageSink {
public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    QString RowText(int row) const override { return rows.value(row - 1); }
    QString OutputFolderText() const override { return out; }
    QString ProfileName() const override { return profile; }
    CustomFormatValues CustomValues() const override { return {}; }
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowErrorReport(const QString& text) override { messages << text; }
    void ShowWarning(const QString&, const QString& text) override { messages << text; }

    QStringList rows;
    QString out;
    QString profile = QStringLiteral("AVI (MPEG4-XviD-Best Quality)");
    QStringList messages;
};

}  // namespace tarnivo::test
