// The batch runner: runs the small batch files Tarnivo writes, one command a line.
//
// A line is taken as written but for "%%", which stands for one "%". A line "del NAME"
// deletes NAME (relative to the current folder). Every other line is split into arguments
// (CommandLine.h) and its program is started directly, without a shell, and waited for.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

struct BatchCommand {
    bool isDelete = false;
    std::vector<std::string> arguments;  // program and arguments, or the names to delete
};

// The commands of a batch file's text; blank lines are left out, CR LF and LF both end a line.
std::vector<BatchCommand> ParseBatchText(const std::string& text);

// Runs the commands in order; each program is waited for before the next line, also after a
// failure. Returns 0 when every program ended with status 0 (or none ran), otherwise the status
// of the first that did not: its exit status, 128 + the signal that ended it, or 127 when it
// could not start.
int RunBatchCommands(const std::vector<BatchCommand>& commands);

}  // namespace tarnivo
