// What the starting of outside programs shares: the last telling line of a tool's standard
// error, quoting for command lines, and where Tarnivo's helper programs are. The programs
// themselves are started and watched by ToolRun (ToolRun.h); nothing goes through a shell.
#pragma once

#include <QString>
#include <QStringList>

namespace tarnivo {

// The last line of a tool's standard error that says something: progress lines ("frame=",
// "size=") and blank lines are passed over. Empty when there is none.
QString LastMeaningfulLine(const QStringList& errorLines);

// A path or value between double quotes for a command line, escaped so that the splitting
// gives it back exactly (QuoteArgument); an ordinary path comes out as DQ + path + DQ.
QString QuoteForCommandLine(const QString& text);

// The folder that holds Tarnivo's helper programs (the batch runner, the ffmpeg front end,
// the sox launcher): the program's own folder, or the build's output folder.
QString HelperProgramFolder();
QString BatchRunnerPath();

}  // namespace tarnivo
