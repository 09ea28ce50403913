// One run of an outside program, watched from the event loop: the start returns at once, every
// line the program writes to standard error is told as it comes, and one Finished tells how it
// ended. Nothing waits: the application goes on handling its events while the tool works.
#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSocketNotifier;

namespace tarnivo {

// How a tool run ended.
struct ToolOutcome {
    int status = 0;          // exit status, or kFailureBase + an error number when it did not start
    QByteArray output;       // standard output
    QStringList errorLines;  // the last lines of standard error
    bool Succeeded() const { return status == 0; }
};

class ToolRun : public QObject {
    Q_OBJECT

public:
    explicit ToolRun(QObject* parent = nullptr);
    // A run still under way ends with its owner: its group is killed and collected.
    ~ToolRun() override;

    // Starts program with arguments in folder (empty: this process's own), with environment
    // entries ("NAME=value") on top of ours; the program belongs to tools, so their cancel
    // reaches it. Returns at once; Finished follows from the event loop, also when the program
    // could not be started.
    void Start(RunningTools& tools, const QString& program, const QStringList& arguments,
               const QString& folder = QString(), const QStringList& environment = {});
    // A command line, split as the original platform splits it (CommandLine.h): its first
    // argument is the program.
    void StartCommandLine(RunningTools& tools, const QString& commandLine,
                          const QStringList& environment = {});
    // A batch file (with or without surrounding double quotes), run by the batch runner in
    // folder, as the shell's "open" runs it (ShellOpen.h); the programs of its lines inherit the
    // environment entries.
    void StartBatchFile(RunningTools& tools, const QString& batchFile, const QString& folder,
                        const QStringList& environment = {});

    bool IsRunning() const { return m_child.isValid() && !m_finished; }
    pid_t Pid() const { return m_child.pid(); }
    // Asks the program (its whole group) to stop, and kills the group after the grace period.
    void Stop();

signals:
    // One line of standard error (ffmpeg ends its progress lines with CR, the others with LF).
    void Line(const QString& line);
    void Finished(const tarnivo::ToolOutcome& outcome);

private:
    void Watch(ChildProcess child);
    void FailToStart(int status);
    void ReadOutputs();
    void CheckEnd();
    void Finish();

    ChildProcess m_child;
    std::unique_ptr<QSocketNotifier> m_endNotifier;
    std::unique_ptr<QSocketNotifier> m_outputNotifier;
    std::unique_ptr<QSocketNotifier> m_errorNotifier;
    QByteArray m_unendedLine;
    bool m_finished = false;
};

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::ToolOutcome)
