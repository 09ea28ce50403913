// The built front end run end to end with the system's ffmpeg on small generated clips.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "DialectTranslation.h"
#include "InputFile.h"
#include "ProfileTable.h"
#include "ProgramRun.h"

namespace {

using tarnivo::test::MediaStream;
using tarnivo::test::ProbeStreams;
using tarnivo::test::ProgramFolder;
using tarnivo::test::ProgramResult;
using tarnivo::test::RunProgram;
using tarnivo::test::TemporaryFolder;
using Arguments = std::vector<std::string>;
namespace fs = std::filesystem;

std::string FrontEnd() { return ProgramFolder() + "/tarnivo-ffmpeg"; }

// What the output file must hold; an empty codec means no stream of that kind.
struct Expected {
    const char* videoCodec;
    int width;
    int height;
    const char* audioCodec;
    int sampleRate;
    int channels;
};

using tarnivo::ProfileRow;

// What each named profile writes from a 320x240 source with 44100 Hz stereo sound.
// Substitutes: libxvid writes "mpeg4"; the AVI container's default sound is mp3, ASF's
// wmav2, RealMedia's ac3, MPEG-PS's mp2; AAC in MPEG-PS becomes mp2.
const std::map<std::string, Expected>& ExpectedOfNamedProfiles()
{
    // clang-format off
    static const std::map<std::string, Expected> expected = {
        {"AVI (MPEG4-DivX-Compatible)", {"mpeg4", 320, 240, "mp3", 22050, 2}},
        {"AVI (MPEG4-DivX-Best Quality)", {"mpeg4", 320, 240, "mp3", 44100, 2}},
        {"AVI (MPEG4-XviD-Compatible)", {"mpeg4", 320, 240, "mp3", 22050, 2}},
        {"AVI (MPEG4-XviD-Best Quality)", {"mpeg4", 320, 240, "mp3", 44100, 2}},
        {"Animated GIF (64x48) GIF", {"gif", 64, 48, "", 0, 0}},
        {"Animated GIF (160x120) GIF", {"gif", 160, 120, "", 0, 0}},
        {"Animated GIF (320x240) GIF", {"gif", 320, 240, "", 0, 0}},
        {"Animated GIF (Same as Input) GIF", {"gif", 320, 240, "", 0, 0}},
        {"iPOD Video (320x240) MPEG4", {"mpeg4", 320, 240, "mp2", 44100, 2}},
        {"iPOD Video2 (640x480) MPEG4", {"mpeg4", 640, 480, "mp2", 44100, 2}},
        {"iPhone Video", {"mpeg4", 320, 240, "mp2", 44100, 2}},
        {"iPOD Nano (MP3)", {"", 0, 0, "mp3", 44100, 2}},
        {"iPOD Mini (MP3)", {"", 0, 0, "mp3", 44100, 2}},
        {"iPOD Shuffle (MP3)", {"", 0, 0, "mp3", 44100, 2}},
        {"MPEG (Max Compatible)", {"mpeg1video", 320, 240, "mp2", 44100, 2}},
        {"MPEG (Best Quality)", {"mpeg1video", 320, 240, "mp2", 44100, 2}},
        {"WMV(WindowsMedia-Compatible)", {"wmv2", 320, 240, "wmav2", 44100, 2}},
        {"WMV(WindowsMedia-Best Quality)", {"wmv2", 320, 240, "wmav2", 44100, 2}},
        {"RM (RealONE/RealPlayer)", {"rv20", 320, 240, "ac3", 44100, 2}},
        {"QuickTime MOV", {"h264", 320, 240, "aac", 44100, 2}},
        {"FLV (Flash Live Video)", {"flv1", 352, 288, "mp3", 22050, 1}},
        {"Sony PSP (Normal)", {"mpeg4", 368, 208, "aac", 24000, 2}},
        {"Sony PSP (Excellent Quality)", {"mpeg4", 368, 208, "aac", 24000, 2}},
        {"Sony PSP (Minimal Size)", {"mpeg4", 160, 112, "aac", 24000, 2}},
        {"Sony PSP (PSP AVC)", {"h264", 368, 208, "aac", 48000, 2}},
        {"Zune MPEG-4 Video", {"mpeg4", 320, 240, "aac", 48000, 2}},
        {"Zune MPEG-4 AVC", {"h264", 320, 240, "aac", 48000, 2}},
        {"Zune WMV", {"wmv2", 320, 240, "mp3", 48000, 2}},
        {"3GP (for Mobile)", {"h263", 176, 144, "amr_nb", 8000, 1}},
        {"3G2 (for Mobile)", {"mpeg4", 176, 144, "amr_nb", 8000, 1}},
        {"WAVE Sound (WAV)", {"", 0, 0, "pcm_s16le", 41000, 2}},
        {"MP3 Sound (MP3)", {"", 0, 0, "mp3", 44100, 2}},
        {"MP4 (H.264/AAC, same size as source)", {"h264", 320, 240, "aac", 44100, 2}},
        {"MP4 (H.265/HEVC/AAC, same size as source)", {"hevc", 320, 240, "aac", 44100, 2}},
        {"WebM (VP9/Opus, same size as source)", {"vp9", 320, 240, "opus", 48000, 2}},
        {"MOV (ProRes 422 HQ/PCM, for editing)", {"prores", 320, 240, "pcm_s16le", 44100, 2}},
        {"MKV (FFV1/FLAC, lossless)", {"ffv1", 320, 240, "flac", 44100, 2}},
        // ffprobe reads no size of an animated WebP (ffmpeg 5.1 decodes no WebP animation).
        {"Animated WebP (same size as source)", {"webp", 0, 0, "", 0, 0}},
    };
    // clang-format on
    return expected;
}

const ProfileRow& NamedProfile(const std::string& name)
{
    const ProfileRow* row = tarnivo::FindProfileRow(name);
    if (!row)
        throw std::invalid_argument("no profile " + name);
    return *row;
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The argument vector the conversion engine builds: after the source, "-y", then the
// profile's settings as the engine gives them, the GIF form's extra switches for a
// destination ending in "gif", and the destination.
Arguments EngineArguments(const ProfileRow& profile, const std::string& source,
                          const std::string& destination)
{
    Arguments arguments = {"-i", source, "-y"};
    const Arguments settings = tarnivo::SettingArguments(profile.settings);
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    const std::string lowered = Lowered(destination);
    if (lowered.size() >= 3 && lowered.compare(lowered.size() - 3, 3, "gif") == 0) {
        arguments.insert(arguments.end(), {"-pix_fmt", "rgb24", "-loop_output", "0", "-r", "2"});
    }
    arguments.push_back(destination);
    return arguments;
}

std::string Joined(const Arguments& arguments)
{
    std::string line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? "" : " ") + argument;
    return line;
}

std::string SafeFileName(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return safe;
}

// Runs the front end and checks that ffmpeg wrote a file that holds what `expected` says.
void ConvertAndCheck(const Arguments& arguments, const std::string& destination, const Expected& expected)
{
    SCOPED_TRACE(Joined(arguments));
    Arguments command = {FrontEnd(), "-nostdin", "-hide_banner", "-v", "error"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ProgramResult run = RunProgram(command);
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    ASSERT_TRUE(fs::exists(destination));
    const std::vector<MediaStream> streams = ProbeStreams(destination);
    ASSERT_FALSE(streams.empty()) << "ffprobe cannot read " << destination;

    std::vector<MediaStream> video;
    std::vector<MediaStream> audio;
    for (const MediaStream& stream : streams) {
        (stream.type == "video" ? video : audio).push_back(stream);
    }
    ASSERT_EQ(video.size(), std::string(expected.videoCodec).empty() ? 0u : 1u);
    ASSERT_EQ(audio.size(), std::string(expected.audioCodec).empty() ? 0u : 1u);
    if (!video.empty()) {
        EXPECT_EQ(video[0].codec, expected.videoCodec);
        EXPECT_EQ(video[0].width, expected.width);
        EXPECT_EQ(video[0].height, expected.height);
    }
    if (!audio.empty()) {
        EXPECT_EQ(audio[0].codec, expected.audioCodec);
        EXPECT_EQ(audio[0].sampleRate, expected.sampleRate);
        EXPECT_EQ(audio[0].channels, expected.channels);
    }
}

class FfmpegFrontEnd : public testing::Test {
protected:
    static void SetUpTestSuite() { folder_ = new TemporaryFolder; }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    // A two-second clip with a 440 Hz stereo tone, made like the reversed intermediate: an AVI
    // with mpeg4 video and 16-bit PCM sound.
    static std::string Clip(int width, int height)
    {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const std::string path = folder_->File("clip-" + size + ".avi");
        if (!fs::exists(path)) {
            // clang-format off
            const ProgramResult made = RunProgram(
                {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=" + size + ":r=25:d=2",
                 "-f", "lavfi", "-i", "sine=f=440:r=44100:d=2", "-ac", "2", "-vcodec", "mpeg4", "-acodec",
                 "pcm_s16le", path});
            // clang-format on
            EXPECT_EQ(made.exitStatus, 0) << made.standardError;
        }
        return path;
    }

    static std::string Output(const std::string& name) { return folder_->File(name); }

    void ConvertWithProfile(const ProfileRow& profile, const std::string& source, const Expected& expected)
    {
        SCOPED_TRACE(profile.name);
        const std::string destination = Output(SafeFileName(profile.name) + profile.extension);
        ConvertAndCheck(EngineArguments(profile, source, destination), destination, expected);
    }

    static TemporaryFolder* folder_;
};

TemporaryFolder* FfmpegFrontEnd::folder_ = nullptr;

TEST_F(FfmpegFrontEnd, EveryNamedProfileWritesItsStreams)
{
    ASSERT_EQ(tarnivo::NamedProfileRows().size(), ExpectedOfNamedProfiles().size());
    const std::string source = Clip(320, 240);
    for (const ProfileRow& profile : tarnivo::NamedProfileRows()) {
        ConvertWithProfile(profile, source, ExpectedOfNamedProfiles().at(profile.name));
        // Today's profiles are written in today's switches: the front end hands them on as they
        // are, but for their filters, which it gathers into its one chain before the output.
        const Arguments line = EngineArguments(profile, source, Output("x" + std::string(profile.extension)));
        if (!profile.settings.outputOptions.empty()) {
            Arguments expected = line;
            const auto filters = std::find(expected.begin(), expected.end(), "-vf");
            if (filters != expected.end() && filters + 1 != expected.end()) {
                const Arguments chain(filters, filters + 2);
                expected.erase(filters, filters + 2);
                expected.insert(expected.end() - 1, chain.begin(), chain.end());
            }
            EXPECT_EQ(tarnivo::ffmpeg_front_end::TranslateArguments(line), expected) << profile.name;
        }
    }
}

// 722x406 is even but not a multiple of 4: rv20 crops it to one, the others keep it.
TEST_F(FfmpegFrontEnd, ProfilesKeepingTheSourceSizeTakeAnAwkwardSize)
{
    const std::string source = Clip(722, 406);
    const std::vector<std::pair<const char*, Expected>> cases = {
        {"MPEG (Max Compatible)", {"mpeg1video", 722, 406, "mp2", 44100, 2}},
        {"MPEG (Best Quality)", {"mpeg1video", 722, 406, "mp2", 44100, 2}},
        {"WMV(WindowsMedia-Compatible)", {"wmv2", 722, 406, "wmav2", 44100, 2}},
        {"WMV(WindowsMedia-Best Quality)", {"wmv2", 722, 406, "wmav2", 44100, 2}},
        {"RM (RealONE/RealPlayer)", {"rv20", 720, 404, "ac3", 44100, 2}},
        {"Animated GIF (Same as Input) GIF", {"gif", 722, 406, "", 0, 0}},
    };
    for (const auto& [name, expected] : cases) {
        ConvertWithProfile(NamedProfile(name), source, expected);
    }
}

// Lines as "Custom Format" builds them (no -f; the container follows the extension).
TEST_F(FfmpegFrontEnd, CustomFormatLinesTakeOddSizes)
{
    struct Custom {
        int sourceWidth;
        int sourceHeight;
        ProfileRow profile;
        Expected expected;
    };
    // clang-format off
    const std::vector<Custom> customs = {
            {723, 405, {"xvid source size", ".avi", "xvid", "", "360", "29.97", "mp2", "128", "44100", "2", "", true, true}, {"mpeg4", 722, 404, "mp2", 44100, 2}},
            {723, 405, {"wmv2 odd size", ".wmv", "wmv2", "321x241", "360", "25", "mp2", "128", "44100", "1", "", false, false}, {"wmv2", 322, 242, "mp2", 44100, 1}},
            {723, 405, {"rv20 odd size", ".rm", "rv20", "321x241", "360", "25", "ac3", "128", "44100", "2", "", true, false}, {"rv20", 320, 240, "ac3", 44100, 2}},
            {723, 405, {"h264 source size", ".mp4", "h264", "", "1000", "25", "aac", "128", "48000", "2", "", true, false}, {"h264", 722, 404, "aac", 48000, 2}},
            {723, 405, {"gif odd size", ".gif", "", "321x241", "", "11", "", "", "", "", "", false, true}, {"gif", 321, 241, "", 0, 0}},
            {723, 405, {"mpeg aac", ".mpg", "mpeg1video", "", "1000", "25", "aac", "128", "48000", "2", "", false, false}, {"mpeg1video", 723, 405, "mp2", 48000, 2}},
            {320, 240, {"h263 custom size", ".3gp", "h263", "320x240", "360", "25", "amr_nb", "128", "44100", "2", "", false, false}, {"h263", 352, 288, "amr_nb", 8000, 1}},
            {722, 406, {"h263 source size", ".avi", "h263", "", "512", "25", "mp3", "128", "44100", "2", "", true, false}, {"h263", 704, 576, "mp3", 44100, 2}},
            {723, 405, {"h263 small size", ".3gp", "h263", "160x120", "120", "11", "amr_nb", "48", "8000", "1", "", false, false}, {"h263", 176, 144, "amr_nb", 8000, 1}},
    };
    // clang-format on
    for (const Custom& custom : customs) {
        ConvertWithProfile(custom.profile, Clip(custom.sourceWidth, custom.sourceHeight), custom.expected);
    }
}

// The reversal's own command lines, with their paths made absolute, work through the front end.
TEST_F(FfmpegFrontEnd, ReversalLinesRun)
{
    const std::string frames = Output("frames");
    fs::create_directory(frames);
    const std::string source = Clip(320, 240);
    const std::string video = Output("tvideo.avi");
    const std::string sound = Output("audio.wav");
    const std::string joined = Output("rvideo.avi");
    const std::vector<Arguments> lines = {
        {"-i", source, "-an", "-qscale", "1", frames + "/%06d.jpg"},
        {"-f", "image2", "-framerate", "30/1", "-i", frames + "/%06d.jpg", "-vcodec", "mpeg4", video},
        {"-i", source, "-vn", "-ac", "2", sound},
        {"-i", video, "-i", sound, "-c", "copy", "-map", "0:v:0", "-map", "1:a:0", "-shortest", joined},
    };
    for (const Arguments& line : lines) {
        Arguments command = {FrontEnd(), "-nostdin", "-v", "error", "-y"};
        command.insert(command.end(), line.begin(), line.end());
        const ProgramResult run = RunProgram(command);
        ASSERT_EQ(run.exitStatus, 0) << Joined(line) << "\n" << run.standardError;
    }
    EXPECT_TRUE(fs::exists(frames + "/000050.jpg"));
    const std::vector<MediaStream> streams = ProbeStreams(joined);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "mpeg4");
    EXPECT_EQ(streams[1].codec, "pcm_s16le");
}

// The rate the front end reads from an intermediate made as the reversal makes it (JPEG frames
// read at a rate and copied, then joined with the sound): the header's, exactly.
TEST_F(FfmpegFrontEnd, ReadsThePictureRateFromTheIntermediatesHeader)
{
    const std::string frames = Output("rate-frames");
    fs::create_directory(frames);
    const std::string sound = Output("rate.wav");
    ASSERT_EQ(RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc=s=64x48:r=25:d=0.12", frames + "/image%d.jpg"})
                  .exitStatus,
              0);
    ASSERT_EQ(RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=0.5", "-ac",
                          "2", sound})
                  .exitStatus,
              0);
    for (const std::string rate : {"30000/1001", "1/1", "400/19"}) {
        const std::string rebuilt = Output("rate-tvideo.avi");
        const std::string joined = Output("rate-rvideo.avi");
        ASSERT_EQ(RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "image2", "-framerate", rate,
                              "-i", frames + "/image%d.jpg", "-vcodec", "copy", rebuilt})
                      .exitStatus,
                  0);
        ASSERT_EQ(RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", rebuilt, "-i", sound, "-c",
                              "copy", "-map", "0:v:0", "-map", "1:a:0", "-shortest", joined})
                      .exitStatus,
                  0);
        EXPECT_EQ(tarnivo::ffmpeg_front_end::AviPictureRate(joined), rate);
        EXPECT_EQ(tarnivo::ffmpeg_front_end::LastInput({"-i", sound, "-i", joined, "-y", "o.rm"}), joined);
    }
    EXPECT_EQ(tarnivo::ffmpeg_front_end::AviPictureRate(sound), "");
    EXPECT_EQ(tarnivo::ffmpeg_front_end::AviPictureRate(Output("missing.avi")), "");
    EXPECT_EQ(tarnivo::ffmpeg_front_end::AviPictureRate(frames), "");
}

TEST_F(FfmpegFrontEnd, PathsWithOddCharactersReachFfmpeg)
{
    const std::string source = Output("my \"film\" $HOME %d \\ \xC3\xBC.avi");
    fs::copy_file(Clip(320, 240), source, fs::copy_options::overwrite_existing);
    const std::string destination = Output("it's 100% -s \xE6\x98\xA0 .mp3");
    ConvertAndCheck(EngineArguments(NamedProfile("MP3 Sound (MP3)"), source, destination), destination,
                    {"", 0, 0, "mp3", 44100, 2});
}

TEST_F(FfmpegFrontEnd, ExitStatusIsFfmpegs)
{
    const Arguments line = {"-nostdin", "-i", Output("missing.avi"), "-y", "-b", "360", Output("x.avi")};
    Arguments direct = {"ffmpeg"};
    direct.insert(direct.end(), line.begin(), line.end());
    Arguments throughFrontEnd = {FrontEnd()};
    throughFrontEnd.insert(throughFrontEnd.end(), line.begin(), line.end());

    const int ffmpegStatus = RunProgram(direct).exitStatus;
    EXPECT_NE(ffmpegStatus, 0);
    EXPECT_EQ(RunProgram(throughFrontEnd).exitStatus, ffmpegStatus);
}

std::string ExecutableOf(pid_t pid)
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : executable.filename().string();
}

// The front end replaces itself: the process Tarnivo started is ffmpeg, and ending it ends
// ffmpeg the way ffmpeg ends on SIGTERM (it finishes the file and exits with 255).
TEST_F(FfmpegFrontEnd, BecomesFfmpegAndStopsLikeIt)
{
    const std::string destination = Output("endless.avi");
    const pid_t pid = tarnivo::test::StartProgram({FrontEnd(), "-nostdin", "-re", "-f", "lavfi", "-i",
                                                   "testsrc=s=64x48:r=25", "-y", "-b", "100", destination});
    // ffmpeg catches SIGTERM from before it opens its output; wait for both signs. The source
    // has no end: ffmpeg runs until it is stopped, however long it took to start.
    std::string executable;
    for (int attempt = 0; attempt < 12000; ++attempt) {
        executable = ExecutableOf(pid);
        if (executable == "ffmpeg" && fs::exists(destination))
            break;
        usleep(25 * 1000);
    }
    EXPECT_EQ(executable, "ffmpeg");
    kill(pid, SIGTERM);
    EXPECT_EQ(tarnivo::test::WaitForProgram(pid), 255);
}

// An "ffmpeg" on PATH that is the front end itself must not exec itself for ever.
TEST_F(FfmpegFrontEnd, RefusesToRunItselfAsFfmpeg)
{
    const std::string bin = Output("loop-bin");
    fs::create_directory(bin);
    fs::create_symlink(FrontEnd(), bin + "/ffmpeg");
    const ProgramResult run = RunProgram({FrontEnd(), "-version"}, {"PATH=" + bin});
    EXPECT_EQ(run.exitStatus, 127);
}

}  // namespace
