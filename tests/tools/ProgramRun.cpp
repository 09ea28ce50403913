#include "ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tarnivo::test {
namespace {

std::vector<char*> PointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes)
{
    std::map<std::string, std::string> entries;
    auto add = [&](const std::string& entry) { entries[entry.substr(0, entry.find('='))] = entry; };
    for (char** entry = environ; *entry != nullptr; ++entry)
        add(*entry);
    for (const std::string& entry : changes)
        add(entry);
    std::vector<std::string> merged;
    for (const auto& [name, entry] : entries)
        merged.push_back(entry);
    return merged;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::string& outputPath, const std::string& errorPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables = MergedEnvironment(environment);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, arguments.front().c_str(), &actions, nullptr,
                                    PointersTo(arguments).data(), PointersTo(variables).data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + argv.front());
    return pid;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int IntegerOrZero(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() ? static_cast<int>(value) : 0;
}

// One line of ffprobe's "compact" output: key=value pairs separated by "|".
MediaStream ParseStreamLine(const std::string& line)
{
    MediaStream stream;
    std::istringstream pairs(line);
    std::string pair;
    while (std::getline(pairs, pair, '|')) {
        const size_t equals = pair.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = pair.substr(0, equals);
        const std::string value = pair.substr(equals + 1);
        if (key == "codec_type")
            stream.type = value;
        if (key == "codec_name")
            stream.codec = value;
        if (key == "width")
            stream.width = IntegerOrZero(value);
        if (key == "height")
            stream.height = IntegerOrZero(value);
        if (key == "sample_rate")
            stream.sampleRate = IntegerOrZero(value);
        if (key == "channels")
            stream.channels = IntegerOrZero(value);
    }
    return stream;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    TemporaryFolder capture;
    const pid_t pid = Spawn(argv, environment, capture.File("out"), capture.File("err"));
    ProgramResult result;
    result.exitStatus = WaitForProgram(pid);
    result.standardOutput = ReadWholeFile(capture.File("out"));
    result.standardError = ReadWholeFile(capture.File("err"));
    return result;
}

pid_t StartProgram(const std::vector<std::string>& argv) { return Spawn(argv, {}, "/dev/null", "/dev/null"); }

int WaitForProgram(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::vector<MediaStream> ProbeStreams(const std::string& path)
{
    const ProgramResult probe = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                            "stream=codec_type,codec_name,width,height,sample_rate,channels",
                                            "-of", "compact=p=0", path});
    std::vector<MediaStream> streams;
    if (probe.exitStatus != 0)
        return streams;
    std::istringstream lines(probe.standardOutput);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty())
            streams.push_back(ParseStreamLine(line));
    }
    return streams;
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnivo-ffmpeg-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ProgramFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

}  // namespace tarnivo::test
