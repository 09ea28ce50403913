#include "ToolRun.h"

#include "CommandLine.h"
#include "ShellOpen.h"

#include <QSocketNotifier>
#include <QTimer>

#include <string>
#include <vector>

namespace tarnivo {

namespace {

// Where the kernel gives no descriptor for a child's end, the end is looked for this often.
constexpr int kEndPollMs = 100;
// No line is that long: what has no line end by then is not text worth telling.
constexpr int kLongestLine = 16384;

}  // namespace

ToolRun::ToolRun(QObject* parent) : QObject(parent) { qRegisterMetaType<ToolOutcome>(); }

ToolRun::~ToolRun() = default;

void ToolRun::Start(RunningTools& tools, const QString& program, const QStringList& arguments,
                    const QString& folder, const QStringList& environment)
{
    qint32 errorNumber = 0;
    ChildProcess child =
        tools.Start(program, arguments, folder, &errorNumber, ChildProcess::Output::Keep, environment);
    if (!child.isValid()) {
        FailToStart(kFailureBase + errorNumber);
        return;
    }
    Watch(std::move(child));
}

void ToolRun::StartCommandLine(RunningTools& tools, const QString& commandLine,
                               const QStringList& environment)
{
    const std::vector<std::string> parts = SplitCommandLine(commandLine.toStdString());
    if (parts.empty()) {
        FailToStart(kFailureBase + kErrorFileNotFound);
        return;
    }
    QStringList arguments;
    for (size_t i = 1; i < parts.size(); ++i)
        arguments << QString::fromStdString(parts[i]);
    Start(tools, QString::fromStdString(parts.front()), arguments, QString(), environment);
}

void ToolRun::StartBatchFile(RunningTools& tools, const QString& batchFile, const QString& folder,
                             const QStringList& environment)
{
    ChildProcess child;
    const int result = GShell(batchFile, folder, tools, &child, environment);
    if (result <= 32) {
        FailToStart(FailureForShellResult(result));
        return;
    }
    if (!child.isValid()) {
        FailToStart(0);  // opened by another program: there is no process of ours to watch
        return;
    }
    Watch(std::move(child));
}

void ToolRun::Stop()
{
    if (IsRunning())
        StopGroup(m_child.pid());
}

void ToolRun::FailToStart(int status)
{
    // Told from the event loop, as any other end: the caller is never re-entered from its start.
    QTimer::singleShot(0, this, [this, status] {
        m_finished = true;
        ToolOutcome outcome;
        outcome.status = status;
        emit Finished(outcome);
    });
}

void ToolRun::Watch(ChildProcess child)
{
    m_child = std::move(child);
    auto watch = [this](int fd, void (ToolRun::*handle)()) {
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, handle);
        return notifier;
    };
    if (m_child.outputDescriptor() >= 0)
        m_outputNotifier = watch(m_child.outputDescriptor(), &ToolRun::ReadOutputs);
    if (m_child.errorDescriptor() >= 0)
        m_errorNotifier = watch(m_child.errorDescriptor(), &ToolRun::ReadOutputs);
    if (m_child.endDescriptor() >= 0) {
        m_endNotifier = watch(m_child.endDescriptor(), &ToolRun::CheckEnd);
    } else {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &ToolRun::CheckEnd);
        poll->start(kEndPollMs);
    }
}

void ToolRun::ReadOutputs()
{
    m_unendedLine += m_child.readAvailableOutput();
    // A stream at its end is watched no more (its descriptor is closed).
    if (m_outputNotifier && m_child.outputDescriptor() < 0)
        m_outputNotifier.reset();
    if (m_errorNotifier && m_child.errorDescriptor() < 0)
        m_errorNotifier.reset();
    qsizetype start = 0;
    for (qsizetype end = 0; end < m_unendedLine.size(); ++end) {
        const char c = m_unendedLine[end];
        if (c != '\r' && c != '\n')
            continue;
        if (end > start)
            emit Line(QString::fromUtf8(m_unendedLine.constData() + start, end - start));
        start = end + 1;
    }
    m_unendedLine.remove(0, start);
    if (m_unendedLine.size() > kLongestLine)
        m_unendedLine.clear();
}

void ToolRun::CheckEnd()
{
    if (m_finished || !m_child.hasEnded())
        return;
    Finish();
}

void ToolRun::Finish()
{
    ReadOutputs();
    if (!m_unendedLine.isEmpty())
        emit Line(QString::fromUtf8(m_unendedLine));
    m_unendedLine.clear();
    m_endNotifier.reset();
    m_outputNotifier.reset();
    m_errorNotifier.reset();
    m_finished = true;
    ToolOutcome outcome;
    outcome.status = m_child.exitStatus();
    outcome.output = m_child.standardOutput();
    outcome.errorLines = m_child.lastErrorLines();
    emit Finished(outcome);
}

}  // namespace tarnivo
