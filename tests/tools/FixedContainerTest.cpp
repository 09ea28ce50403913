// Containers that take only some codecs or sizes, end to end through the built front end with
// the system's ffmpeg: the file must be written and every picture must decode.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace {

using tarnivo::test::ProgramFolder;
using tarnivo::test::ProgramResult;
using tarnivo::test::RunProgram;
using tarnivo::test::TemporaryFolder;
using Arguments = std::vector<std::string>;

struct Decoded {
    std::string codec;
    int width = 0;
    int height = 0;
    int pictures = 0;
    std::string errors;  // what the decoder said; empty for a sound file
};

// The first video stream, every picture of it decoded.
Decoded DecodePictures(const std::string& path)
{
    const ProgramResult probe =
        RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                    "stream=codec_name,width,height,nb_read_frames", "-of", "csv=p=0", path});
    Decoded decoded;
    decoded.errors = probe.standardError;
    char codec[64] = {};
    std::sscanf(probe.standardOutput.c_str(), "%63[^,],%d,%d,%d", codec, &decoded.width, &decoded.height,
                &decoded.pictures);
    decoded.codec = codec;
    return decoded;
}

std::string SoundCodec(const std::string& path)
{
    return RunProgram({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                       "stream=codec_name", "-of", "csv=p=0", path})
        .standardOutput;
}

struct ContainerCase {
    const char* name;
    Arguments options;  // the engine's options between the source and the destination
    const char* destination;
    Decoded expected;        // errors unused
    const char* soundCodec;  // "" for none
};

class FixedContainer : public testing::TestWithParam<ContainerCase> {
protected:
    // Two seconds of a detailed, noisy 1280x720 picture at 30 fps with sound, as MJPEG like the
    // reversed intermediate: the hardest case for RealMedia's packet limit and the GIF palette.
    static void SetUpTestSuite()
    {
        folder_ = new TemporaryFolder;
        const ProgramResult made = RunProgram({"ffmpeg", "-nostdin",
                                               "-v",     "error",
                                               "-f",     "lavfi",
                                               "-i",     "testsrc2=s=1280x720:r=30:d=2",
                                               "-f",     "lavfi",
                                               "-i",     "sine=d=2",
                                               "-vf",    "noise=alls=30:allf=t",
                                               "-c:v",   "mjpeg",
                                               "-q:v",   "2",
                                               "-ac",    "2",
                                               "-c:a",   "pcm_s16le",
                                               Source()});
        ASSERT_EQ(made.exitStatus, 0) << made.standardError;
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string Source() { return folder_->File("detailed.avi"); }
    static TemporaryFolder* folder_;
};

TemporaryFolder* FixedContainer::folder_ = nullptr;

TEST_P(FixedContainer, WritesAFileThatDecodes)
{
    const ContainerCase& c = GetParam();
    const std::string destination = folder_->File(c.destination);
    Arguments command = {
        ProgramFolder() + "/tarnivo-ffmpeg", "-nostdin", "-v", "error", "-i", Source(), "-y"};
    command.insert(command.end(), c.options.begin(), c.options.end());
    command.push_back(destination);
    const ProgramResult run = RunProgram(command);
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;

    const Decoded decoded = DecodePictures(destination);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.codec, c.expected.codec);
    EXPECT_EQ(decoded.width, c.expected.width);
    EXPECT_EQ(decoded.height, c.expected.height);
    EXPECT_EQ(decoded.pictures, c.expected.pictures);
    EXPECT_EQ(SoundCodec(destination), c.soundCodec);
}

// The custom panel's first-start values with another extension typed in.
Arguments CustomDefaults(const std::vector<std::string>& codecs)
{
    return {"-b",      "360",     "-r",  "29.97", "-s",  "320x240", "-vcodec", codecs[0],
            "-acodec", codecs[1], "-ab", "128",   "-ar", "44100",   "-ac",     "2"};
}

Arguments Plus(Arguments arguments, const Arguments& more)
{
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

const Arguments kGifForm = {"-pix_fmt", "rgb24", "-loop_output", "0", "-r", "2"};

INSTANTIATE_TEST_SUITE_P(
    Outputs, FixedContainer,
    testing::Values(
        ContainerCase{"RealMedia",
                      {"-vcodec", "rv20", "-deinterlace", "-sameq", "-ar", "44100", "-ac", "2"},
                      "real.rm",
                      {"rv20", 1280, 720, 60, ""},
                      "ac3\n"},
        ContainerCase{
            "GifSameAsInput", Plus({"-f", "gif"}, kGifForm), "same.gif", {"gif", 1280, 720, 4, ""}, ""},
        ContainerCase{"CustomGif",
                      Plus(CustomDefaults({"mpeg4", "mp2"}), kGifForm),
                      "custom.gif",
                      {"gif", 320, 240, 4, ""},
                      ""},
        ContainerCase{"CustomWebm",
                      CustomDefaults({"mpeg4", "mp2"}),
                      "custom.webm",
                      {"vp8", 320, 240, 60, ""},
                      "vorbis\n"},
        ContainerCase{"CustomWebmOpus",
                      CustomDefaults({"vp9", "opus"}),
                      "opus.webm",
                      {"vp9", 320, 240, 60, ""},
                      "opus\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
