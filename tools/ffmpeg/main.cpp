// tarnivo-ffmpeg: deployed as "ffmpeg.exe" in Tarnivo's working folder. It translates the
// switch dialect of Tarnivo's command lines and replaces itself with the system's ffmpeg, so
// the process that Tarnivo started (and may cancel) is ffmpeg itself and ffmpeg's exit
// status is this program's.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DialectTranslation.h"
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

    std::vector<char*> ffmpegArgv;
    static std::string programName = tarnivo::media::kFfmpegProgram;
    ffmpegArgv.push_back(programName.data());
    for (const std::string& argument : arguments) {
        ffmpegArgv.push_back(const_cast<char*>(argument.c_str()));
    }
    ffmpegArgv.push_back(nullptr);

    setenv(kStartedMarker, "1", 1);
    execvp(tarnivo::media::kFfmpegProgram, ffmpegArgv.data());
    std::fprintf(stderr, "tarnivo-ffmpeg: cannot run ffmpeg: %s\n", std::strerror(errno));
    return kCannotRunFfmpeg;
}
