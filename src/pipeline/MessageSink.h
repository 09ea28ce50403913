// How the pipeline tells the user things without knowing about windows.
#pragma once

#include <QString>

namespace tarnivo {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A plain message with an OK button, titled with the application title.
    virtual void ShowMessage(const QString& text) = 0;
    // The standard error report: a warning titled "Application Error" (see StandardErrorReportText).
    virtual void ShowErrorReport(const QString& text) = 0;
};

constexpr const char* kSupportAddress = "support@tarnivo.app";

// The text of the standard error report for an error in module.procedure at a line.
QString StandardErrorReportText(const QString& description, const QString& module, const QString& procedure,
                                int line);

}  // namespace tarnivo
