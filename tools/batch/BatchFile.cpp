#include "BatchFile.h"

#include "CommandLine.h"

#include <cctype>
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

    pid_t pid = -1;
    const std::string& program = arguments.front();
    const bool hasFolder = program.find('/') != std::string::npos;
    const int started = hasFolder
                            ? posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                            : posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (started != 0)
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
    int lastStatus = 0;
    for (const BatchCommand& command : commands) {
        if (command.isDelete) {
            for (const std::string& name : command.arguments)
                ::unlink(name.c_str());
        } else {
            lastStatus = runProgram(command.arguments);
        }
    }
    return lastStatus;
}

}  // namespace tarnivo
