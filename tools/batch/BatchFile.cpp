#include "BatchFile.h"

#include <csignal>

#include "CommandLine.h"
#include "ProgramStart.h"

#include <cctype>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnivo {

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    lines.push_back(line);
    for (std::string& each : lines) {
        if (!each.empty() && each.back() == '\r')
            each.pop_back();
    }
    return lines;
}

bool isDeleteCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments.front().size() != 3)
        return false;
    std::string word = arguments.front();
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "del";
}

int runProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The runner ignores SIGTERM and SIGINT (see RunBatchCommands); its programs take them as
    // usual, stay in the runner's process group (a cancel signals the group) and end with the
    // runner when it is killed.
    ProgramStart how;
    const std::string& program = arguments.front();
    how.searchPath = program.find('/') == std::string::npos;
    int error = 0;
    const pid_t pid = StartTiedToParent(program.c_str(), argv.data(), how, &error);
    if (pid < 0)
        return 127;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 127;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

}  // namespace

std::vector<BatchCommand> ParseBatchText(const std::string& text)
{
    std::vector<BatchCommand> commands;
    for (const std::string& line : splitLines(text)) {
        BatchCommand command;
        command.arguments = SplitCommandLine(UnescapePercent(line));
        if (command.arguments.empty())
            continue;
        command.isDelete = isDeleteCommand(command.arguments);
        if (command.isDelete)
            command.arguments.erase(command.arguments.begin());
        commands.push_back(std::move(command));
    }
    return commands;
}

int RunBatchCommands(const std::vector<BatchCommand>& commands)
{
    // A cancel signals the runner's whole process group. The runner stays until its program has
    // ended on that signal, so that whoever waits for the runner knows the program is gone too.
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGINT, SIG_IGN);
    // The first failure is the batch's status: a later line that succeeds (or a deletion) must
    // not hide that a program before it failed or was killed.
    int firstFailure = 0;
    for (const BatchCommand& command : commands) {
        if (command.isDelete) {
            for (const std::string& name : command.arguments)
                ::unlink(name.c_str());
        } else {
            const int status = runProgram(command.arguments);
            if (firstFailure == 0)
                firstFailure = status;
        }
    }
    return firstFailure;
}

}  // namespace tarnivo
