// Starting outside programs and waiting for them while the application keeps handling its
// events (timer ticks, button presses). Nothing here goes through a shell: command lines are
// split into argument vectors (CommandLine.h) and the program is started directly. Every
// program started belongs to the caller's RunningTools, so that the caller's cancel reaches it.
#pragma once

#include "ChildProcess.h"

#include <QString>
#include <QStringList>

namespace tarnivo {

// What a program run by RunProgramAndWait did.
struct ProgramRun {
    int exitStatus = 0;      // or kFailureBase + error number when it could not be started
    QByteArray output;       // standard output
    QStringList errorLines;  // the last lines of standard error
};

// Starts a program with an argument vector (no command line, no shell) and waits for it.
ProgramRun RunProgramAndWait(const QString& program, const QStringList& arguments, RunningTools& tools,
                             const QString& workingFolder = QString(), const QStringList& environment = {});

// The last line of a tool's standard error that says something: progress lines ("frame=",
// "size=") and blank lines are passed over. Empty when there is none.
QString LastMeaningfulLine(const QStringList& errorLines);

// A path or value between double quotes for a command line, escaped so that the splitting
// gives it back exactly (QuoteArgument); an ordinary path comes out as DQ + path + DQ.
QString QuoteForCommandLine(const QString& text);

// Starts a command line (split by SplitCommandLine; the first argument is the program, looked
// up on PATH when it holds no "/") and waits for it. Returns its exit status, or kFailureBase
// plus an error number when it cannot be started. When errorLines is given it receives the
// last lines the program wrote to standard error. environment: "NAME=value" entries the
// program gets on top of this process's environment.
int ShellAndWait(const QString& commandLine, RunningTools& tools, QStringList* errorLines = nullptr,
                 const QStringList& environment = {});

// Opens a file as GShell does with currentFolder as the current folder, and waits for the
// process it started. Returns the exit status, 0 for a document opened by another program, or
// kFailureBase plus an error number when nothing could be started. When errorLines is given it
// receives the last lines that the started process (a batch file's programs included) wrote to
// standard error.
int ShellExecuteAndWait(const QString& file, const QString& currentFolder, RunningTools& tools,
                        QStringList* errorLines = nullptr);

// The folder that holds Tarnivo's helper programs (the batch runner, the ffmpeg front end,
// the sox launcher): the program's own folder, or the build's output folder.
QString HelperProgramFolder();
QString BatchRunnerPath();

}  // namespace tarnivo
