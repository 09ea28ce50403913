// How the pipeline tells the user things without knowing about windows.
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace tarnivo {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A plain message with an OK button, titled with the application title.
    virtual void ShowMessage(const QString& text) = 0;
    // The standard error report: a warning titled "Application Error" (see StandardErrorReportText).
    virtual void ShowErrorReport(const QString& text) = 0;
    // A warning with an exclamation icon, an OK button and a title of its own ("Not Supported").
    virtual void ShowWarning(const QString& title, const QString& text) = 0;
};

constexpr const char* kSupportAddress = "support@tarnivo.app";

// The text of the standard error report for an error in module.procedure at a line.
QString StandardErrorReportText(const QString& description, const QString& module, const QString& procedure,
                                int line);

// Reports the errors of a procedure's steps with the standard error report at the procedure's
// location ("Form1" and "PushButton5_Click" for the reverse job); the caller then goes on with
// its next step.
class StepErrorReporter {
public:
    StepErrorReporter(MessageSink& sink, QString module, QString procedure)
        : m_sink(sink), m_module(std::move(module)), m_procedure(std::move(procedure))
    {
    }
    void Report(const QString& description, int line) const
    {
        m_sink.ShowErrorReport(StandardErrorReportText(description, m_module, m_procedure, line));
    }
    MessageSink& Sink() const { return m_sink; }

    // Runs one step; an error it raises is reported at line and the caller goes on.
    void Run(int line, const std::function<void()>& step) const
    {
        try {
            step();
        } catch (const std::exception& error) {
            Report(QString::fromUtf8(error.what()), line);
        }
    }

private:
    MessageSink& m_sink;
    QString m_module;
    QString m_procedure;
};

}  // namespace tarnivo
