// tarnivo-ffmpeg: deployed as "ffmpeg.exe" in Tarnivo's working folder. It translates the
// switch dialect of Tarnivo's command lines and replaces itself with the system's ffmpeg, so
// the process that Tarnivo started (and may cancel) is ffmpeg itself and ffmpeg's exit
// status is this program's. The frame extraction's line it hands to Tarnivo's frame writer
// instead, whose exit status is ffmpeg's when ffmpeg fails.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DialectTranslation.h"
#include "FrameExtraction.h"
#include "InputFile.h"
#include "ToolNames.h"

namespace {

// Set for the ffmpeg we start. Seeing it here means that "ffmpeg" on PATH is this program
// again, which would exec itself for ever.
constexpr const char* kStartedMarker = "TARNIVO_FFMPEG_FRONT_END";

constexpr int kCannotRunFfmpeg = 127;  // as a shell reports a command it cannot run

// The facts of the input's pictures: their colours as the job's environment states them, their
// rate as the input's own header does.
tarnivo::media::InputFacts InputFactsOf(const std::vector<std::string>& arguments)
{
    tarnivo::media::InputFacts facts =
        tarnivo::media::ColourFactsFrom([](const char* name) { return std::getenv(name); });
    facts.frameRate =
        tarnivo::ffmpeg_front_end::AviPictureRate(tarnivo::ffmpeg_front_end::LastInput(arguments));
    return facts;
}

// A program in this program's own folder.
std::string besideThisProgram(const char* name)
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return name;
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1) + name;
}

}  // namespace

int main(int argc, char** argv)
{
    if (std::getenv(kStartedMarker) != nullptr) {
        std::fprintf(stderr, "tarnivo-ffmpeg: \"ffmpeg\" on PATH is this front end itself\n");
        return kCannotRunFfmpeg;
    }
    const std::vector<std::string> given(argv + 1, argv + argc);
    const std::vector<std::string> arguments = tarnivo::ffmpeg_front_end::TranslateArguments(
        given, InputFactsOf(given),
        tarnivo::media::ReversalFactsFrom([](const char* name) { return std::getenv(name); }));
    // The frame extraction goes to the frame writer beside this program (in the working folder,
    // or where Tarnivo is installed or built), which runs ffmpeg in its turn.
    const bool writesFrames = tarnivo::ffmpeg_front_end::IsFrameExtraction(given);
    std::string program = writesFrames ? besideThisProgram(tarnivo::media::kFrameWriterProgram)
                                       : std::string(tarnivo::media::kFfmpegProgram);

    std::vector<char*> programArgv;
    programArgv.push_back(program.data());
    for (const std::string& argument : arguments) {
        programArgv.push_back(const_cast<char*>(argument.c_str()));
    }
    programArgv.push_back(nullptr);

    setenv(kStartedMarker, "1", 1);
    execvp(program.c_str(), programArgv.data());
    std::fprintf(stderr, "tarnivo-ffmpeg: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return kCannotRunFfmpeg;
}
