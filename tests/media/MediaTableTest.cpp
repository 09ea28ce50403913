// The media table's rules, one table of cases each: which container a line writes, what stands
// in for a codec a container cannot carry, which codec a file extension cannot hold, the
// encoders a translated line uses, rates, and the facts the front end is told in its environment.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "InputFacts.h"
#include "MediaCodecs.h"
#include "MediaContainers.h"
#include "MediaRates.h"

namespace {

using namespace tarnivo::media;
using Strings = std::vector<std::string>;

Strings Words(const std::string& line)
{
    Strings words;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

TEST(MediaTable, ContainerOfAnOutput)
{
    struct Case {
        const char* format;
        const char* destination;
        const char* container;  // "" for none the table knows
    };
    const Case cases[] = {
        {"", "/out/clip.mpg", "mpeg"},   {"", "/out/CLIP.MPEG", "mpeg"},
        {"vob", "/out/x", "mpeg"},       {"", "/out/clip.gif", "gif"},
        {"", "/out/mygif", "gif"},       {"", "/out/giffy.avi", "avi"},
        {"", "/out/clip.m4v", "ipod"},   {"", "/out/clip.mkv", "matroska"},
        {"avi", "/out/clip.mp4", "avi"}, {"", "/out/clip.xyz", ""},
        {"nosuch", "/out/clip.avi", ""}, {"", "/out/.clip.tarnivo-1-ab.gif", "gif"},
    };
    for (const Case& c : cases) {
        const ContainerRow* row = ContainerFor(c.format, c.destination);
        EXPECT_EQ(row ? row->name : "", std::string(c.container)) << c.format << " " << c.destination;
    }
    EXPECT_FALSE(NameTellsContainer(*ContainerFor("", "/out/mygif"), "/out/mygif"));
    EXPECT_TRUE(NameTellsContainer(*ContainerFor("", "/out/a.GIF"), "/out/a.GIF"));
}

TEST(MediaTable, CodecsAContainerCannotCarryAreReplaced)
{
    struct Case {
        const char* container;
        const char* given;  // a codec's name as a line writes it
        bool video;
        const char* written;
    };
    const Case cases[] = {
        {"flv", "h263", true, "flv"},         {"flv", "mpeg4", true, "flv"},
        {"flv", "h264", true, "libx264"},     {"gif", "mpeg4", true, "gif"},
        {"gif", "copy", true, "copy"},        {"webm", "mpeg4", true, "libvpx"},
        {"webm", "av1", true, "libaom-av1"},  {"webm", "libsvtav1", true, "libsvtav1"},
        {"avi", "xvid", true, "libxvid"},     {"mpeg", "aac", false, "mp2"},
        {"mpeg", "mp3", false, "libmp3lame"}, {"webm", "mp2", false, "libvorbis"},
        {"webm", "opus", false, "libopus"},   {"mp4", "amr_nb", false, "libopencore_amrnb"},
    };
    for (const Case& c : cases) {
        const ContainerRow* row = ContainerFor(c.container, "");
        ASSERT_NE(row, nullptr) << c.container;
        EXPECT_EQ(c.video ? VideoEncoderIn(row, VideoEncoderOf(c.given))
                          : AudioEncoderIn(row, AudioEncoderOf(c.given)),
                  c.written)
            << c.given << " in " << c.container;
    }
}

TEST(MediaTable, CodecsPlayersReadOnlyInSomeContainers)
{
    struct Case {
        const char* video;
        const char* audio;
        const char* extension;
        const char* kind;    // "" when it fits
        Strings extensions;  // those that fit
    };
    const Case cases[] = {
        {"hevc", "aac", ".avi", "video", {".mp4", ".mov", ".qt", ".mkv"}},
        // ffmpeg writes ".m4v" with its iPod muxer, which refuses H.265.
        {"libx265", "", ".m4v", "video", {".mp4", ".mov", ".qt", ".mkv"}},
        {"HEVC", "", ".MKV", "", {}},
        {"prores", "pcm_s16le", ".mp4", "video", {".mov", ".qt", ".mkv"}},
        {"vp9", "opus", ".webm", "", {}},
        {"mpeg4", "opus", ".avi", "sound", {".webm", ".mkv", ".mp4", ".ogg", ".opus"}},
        {"libsvtav1", "", "mkv", "video", {".webm", ".mkv", ".mp4", ".ivf"}},
        {"mpeg4", "mp2", ".avi", "", {}},
        {"", "", "", "", {}},
    };
    for (const Case& c : cases) {
        const auto misfit = CodecThatDoesNotFit(c.video, c.audio, c.extension);
        EXPECT_EQ(misfit ? misfit->kind : "", std::string(c.kind))
            << c.video << " " << c.audio << c.extension;
        EXPECT_EQ(misfit ? misfit->extensions : Strings(), c.extensions) << c.video << " " << c.audio;
    }
}

// The translated lines of designed profiles, as the front end writes them.
TEST(MediaTable, EncodersATranslatedLineUses)
{
    const std::map<std::string, Strings> cases = {
        {"-i v.avi -y -b:v 360k -vcodec libxvid -q:v 2 -ac 2 -vf scale=320:240 o.avi",
         {"libxvid", "libmp3lame"}},
        {"-i v.avi -y -f mp3 -acodec libmp3lame -b:a 128k -ar 44100 -ac 2 o.mp3", {"libmp3lame"}},
        {"-i v.avi -y -f wav -acodec pcm_s16le -b:a 128k -ar 41000 -ac 2 o.wav", {"pcm_s16le"}},
        {"-i v.avi -y -vcodec libx264 -crf 25 -acodec aac -bf 0 o.avi", {"libx264", "aac"}},
        {"-i v.avi -y -f gif -loop 0 -an -vf fps=2 o.gif", {"gif"}},
        {"-i v.avi -y -b:v 360k -r 29.97 -b:a 48k o.mov", {"libx264", "aac"}},
        {"-i v.avi -y -vcodec wmv2 -q:v 2 -ac 2 o.wmv", {"wmv2", "wmav2"}},
        {"-i v.avi -y -vcodec h263 -acodec libopencore_amrnb o.3gp", {"h263", "libopencore_amrnb"}},
        {"-i v.avi -c:v libx265 -c:a aac -movflags +faststart o.mp4", {"libx265", "aac"}},
        {"-i v.avi -vcodec rv20 -f rm o", {"rv20", "ac3"}},
        {"-i v.avi -c copy o.mkv", {}},
        {"-i v.avi -vn o.3gp", {"libopencore_amrnb"}},
        {"-i v.avi o.xyz", {}},
        {"-hide_banner -encoders", {}},
    };
    for (const auto& [line, encoders] : cases)
        EXPECT_EQ(EncodersUsed(Words(line)), encoders) << line;
}

TEST(MediaTable, Rates)
{
    const std::map<std::string, double> values = {{"30000/1001", 30000.0 / 1001},
                                                  {"29.97", 29.97},
                                                  {"25", 25},
                                                  {"1.5/2", 0.75},
                                                  {"0", 0},
                                                  {"30/0", 0},
                                                  {"N/A", 0},
                                                  {"25,hflip", 0},
                                                  {"", 0},
                                                  {"/25", 0},
                                                  {"2.", 0},
                                                  {"ntsc", 0}};
    for (const auto& [text, value] : values)
        EXPECT_DOUBLE_EQ(RateValue(text), value) << text;
    EXPECT_EQ(NearestOf({8000, 12000, 16000, 24000, 48000}, 22050), 24000);
    EXPECT_EQ(NearestOf({8000, 12000}, 10000), 8000);  // of two as near, the lower
}

// Every colour entry is given, those not known empty; a value that is not a colour name (it
// would end a filter's option) is not known.
TEST(MediaTable, FactsInTheEnvironment)
{
    const InputFacts facts{"bt709", "", "arib-std-b67", "tv,hflip", ""};
    const Strings entries = ColourEnvironment(facts);
    EXPECT_EQ(entries, (Strings{"TARNIVO_INPUT_COLOR_MATRIX=bt709", "TARNIVO_INPUT_COLOR_PRIMARIES=",
                                "TARNIVO_INPUT_COLOR_TRANSFER=arib-std-b67", "TARNIVO_INPUT_COLOR_RANGE="}));
    const std::map<std::string, std::string> environment = {{kInputMatrixVariable, "bt709"},
                                                            {kInputPrimariesVariable, ""},
                                                            {kInputTransferVariable, "bt709:in_range=pc"},
                                                            {kInputRangeVariable, "tv"}};
    const InputFacts read = ColourFactsFrom([&](const char* name) {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    });
    EXPECT_EQ(read, (InputFacts{"bt709", "", "", "tv", ""}));
    EXPECT_EQ(Merged({"smpte170m", "", "", "", "30/1"}, read),
              (InputFacts{"smpte170m", "", "", "tv", "30/1"}));
}

}  // namespace
