// Runs of tools to their end for tests: the application handles its events meanwhile, as it
// does while the job's tools run.
#pragma once

#include "MediaProbe.h"
#include "ToolRun.h"

#include <QString>
#include <QStringList>

namespace tarnivo::test {

// Waits for a started run's Finished and returns how it ended.
ToolOutcome RunToEnd(ToolRun& run);

// A command line started as the job starts its tools, run to its end: its exit status, or
// kFailureBase plus an error number when it could not be started. errorLines receives the last
// lines of its standard error.
int ShellAndWait(const QString& commandLine, RunningTools& tools, QStringList* errorLines = nullptr,
                 const QStringList& environment = {});

// A batch file (or any file the shell's "open" takes) opened in currentFolder and run to its
// end, as the job runs its batch files.
int ShellExecuteAndWait(const QString& file, const QString& currentFolder, RunningTools& tools,
                        QStringList* errorLines = nullptr);

// A source's facts as the job's plan reads them.
SourceFacts ProbeAndWait(const QString& source);

}  // namespace tarnivo::test
