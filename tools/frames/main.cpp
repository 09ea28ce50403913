// tarnivo-frames: Tarnivo's frame writer. It runs the system's ffmpeg with the arguments it is
// given, which decode a film into 8-bit YUV pictures, takes those pictures from a pipe and
// writes each as a JPEG file with libjpeg-turbo, on every core, in the film's order:
//
//   tarnivo-frames [--finest|--exact] PATTERN -- FFMPEG-ARGUMENT...   frames named by PATTERN
//   tarnivo-frames [--finest|--exact] --sizes -- FFMPEG-ARGUMENT...   each frame's size, a line each
//
// (--finest: as fine as a baseline JPEG file goes; --exact: lossless JPEG files; see
// JpegPicture.h.)
//
// ffmpeg is given the arguments, then "-f yuv4mpegpipe pipe:1"; its standard error is the
// writer's. ffmpeg ends with the writer (ProgramStart.h), and a writer stopped by SIGTERM, SIGINT
// or SIGHUP writes no frame more and removes its unfinished one. The exit status is ffmpeg's when
// ffmpeg failed, 1 when the writer failed (its reason on standard error), 2 for a wrong command
// line, otherwise 0.
#include "FrameMaking.h"
#include "FrameWriter.h"
#include "PictureStream.h"
#include "ProgramStart.h"
#include "Stopping.h"
#include "ToolNames.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tarnivo::frames;

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;
constexpr int kCannotRunFfmpeg = 127;

pid_t g_ffmpeg = -1;

struct Request {
    JpegOptions jpeg;
    bool sizes = false;
    std::string pattern;
    std::vector<std::string> ffmpegArguments;
};

bool parse(int argc, char** argv, Request* request)
{
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string argument = argv[i];
        if (argument == tarnivo::media::kFinestFramesOption) {
            request->jpeg.finest = true;
        } else if (argument == tarnivo::media::kExactFramesOption) {
            request->jpeg.exact = true;
        } else if (argument == "--sizes") {
            request->sizes = true;
        } else if (request->pattern.empty() && !argument.empty() && argument[0] != '-') {
            request->pattern = argument;
        } else {
            return false;
        }
    }
    if (i >= argc || request->sizes == !request->pattern.empty())
        return false;
    request->ffmpegArguments.assign(argv + i + 1, argv + argc);
    return request->sizes || IsFramePattern(request->pattern);
}

// ffmpeg with the pictures on a pipe; returns the pipe's end to read, or -1.
int startFfmpeg(const std::vector<std::string>& arguments)
{
    int pictures[2];
    if (::pipe2(pictures, O_CLOEXEC) != 0)
        return -1;
    std::vector<std::string> all = {tarnivo::media::kFfmpegProgram};
    all.insert(all.end(), arguments.begin(), arguments.end());
    all.insert(all.end(), {"-f", "yuv4mpegpipe", "pipe:1"});
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    tarnivo::ProgramStart how;
    how.streams[1] = pictures[1];
    how.searchPath = true;
    int error = 0;
    g_ffmpeg = tarnivo::StartTiedToParent(tarnivo::media::kFfmpegProgram, argv.data(), how, &error);
    ::close(pictures[1]);
    if (g_ffmpeg < 0) {
        ::close(pictures[0]);
        std::fprintf(stderr, "tarnivo-frames: cannot run ffmpeg: %s\n", std::strerror(error));
        return -1;
    }
    return pictures[0];
}

// ffmpeg's exit status: 128 + the signal that ended it, as a shell tells it.
int waitForFfmpeg()
{
    int status = 0;
    while (::waitpid(g_ffmpeg, &status, 0) < 0) {
        if (errno != EINTR)
            return kCannotRunFfmpeg;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The library failed: ffmpeg goes too, so that the writer's reason is the last line.
void jpegFailed(const char*)
{
    if (g_ffmpeg > 0)
        ::kill(g_ffmpeg, SIGKILL);
}

// Ends as the signal that stopped the writer would have ended it.
[[noreturn]] void endByStopSignal()
{
    const int signal = StopSignal();
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    std::_Exit(128 + signal);
}

}  // namespace

int main(int argc, char** argv)
{
    Request request;
    if (!parse(argc, argv, &request)) {
        std::fprintf(stderr,
                     "usage: tarnivo-frames [--finest|--exact] PATTERN|--sizes -- FFMPEG-ARGUMENT...\n"
                     "  PATTERN: frame names with one %%d or %%0Nd, such as %%06d.jpg\n");
        return kUsageStatus;
    }
    StopOnSignals();
    OnJpegFailure(jpegFailed);
    const int pictures = startFfmpeg(request.ffmpegArguments);
    if (pictures < 0)
        return kCannotRunFfmpeg;

    std::string error;
    bool ffmpegGone = false;
    {
        PictureStream stream(pictures);
        std::unique_ptr<FrameSink> sink;
        if (request.sizes)
            sink = std::make_unique<FrameSizes>(STDOUT_FILENO);
        else
            sink = std::make_unique<FrameFiles>(request.pattern);
        if (stream.ReadHeader(&error))
            WriteFrames(stream, request.jpeg, *sink, EncodingThreads(), &error);
        ffmpegGone = stream.InputEnded();
    }
    // After a failure of the writer's own ffmpeg is ended: it would wait on a pipe nobody reads.
    if (!error.empty() && !ffmpegGone && StopSignal() == 0)
        ::kill(g_ffmpeg, SIGKILL);
    ::close(pictures);
    const int ffmpegStatus = waitForFfmpeg();
    if (StopSignal() != 0)
        endByStopSignal();
    // Pictures that ended early because ffmpeg failed: its status and its own last line tell
    // why, so the writer adds none of its own after it.
    if (ffmpegStatus != 0 && (error.empty() || ffmpegGone))
        return ffmpegStatus;
    if (!error.empty()) {
        std::fprintf(stderr, "tarnivo-frames: %s\n", error.c_str());
        return kFailureStatus;
    }
    return 0;
}
