// Running programs from the tests with an argument vector (never a shell), and reading the
// streams of a media file with ffprobe.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnivo::test {

struct ProgramResult {
    int exitStatus = -1;  // the exit status, or 128 + the signal that ended the program
    std::string standardOutput;
    std::string standardError;
};

// Environment entries ("NAME=value") replace or add to this process's environment.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// Starts the program with its output thrown away; WaitForProgram collects it.
pid_t StartProgram(const std::vector<std::string>& argv);
int WaitForProgram(pid_t pid);

struct MediaStream {
    std::string type;   // "video" or "audio"
    std::string codec;  // ffprobe's codec_name
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
};

// The streams of a file as ffprobe reads them; empty when ffprobe cannot read it.
std::vector<MediaStream> ProbeStreams(const std::string& path);

// A fresh private folder under the system's temporary folder, removed by its destructor.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The folder of the running test program: every executable of the build lands there.
std::string ProgramFolder();

}  // namespace tarnivo::test
