// Each rule of the dialect: an argument vector in, the argument vector ffmpeg gets out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "DialectTranslation.h"

namespace {

using tarnivo::ffmpeg_front_end::TranslateArguments;
using Arguments = std::vector<std::string>;

// Splits at single spaces; the cases below hold no argument with a space of its own.
Arguments Args(const std::string& line)
{
    Arguments arguments;
    std::istringstream words(line);
    std::string word;
    while (words >> word)
        arguments.push_back(word);
    return arguments;
}

struct RuleCase {
    std::string name;
    std::string in;
    std::string out;
};

// Test listings show the case's arguments rather than its bytes.
void PrintTo(const RuleCase& rule, std::ostream* out) { *out << rule.in; }

class DialectRule : public testing::TestWithParam<RuleCase> {};

TEST_P(DialectRule, TranslatesAsDocumented)
{
    EXPECT_EQ(TranslateArguments(Args(GetParam().in)), Args(GetParam().out));
}

// The source's own size kept, cropped to whole multiples of two or four.
const char* const kEvenSourceSize =
    "scale=w='max(iw,2)':h='max(ih,2)',crop=w='floor(iw/2)*2':h='floor(ih/2)*2'";
const std::string kFourSourceSize =
    "scale=w='max(iw,4)':h='max(ih,4)',crop=w='floor(iw/4)*4':h='floor(ih/4)*4'";
const char* const kPalette =
    "split[tv_a][tv_b];[tv_a]palettegen=stats_mode=single[tv_p];[tv_b][tv_p]paletteuse=new=1";
// "-deinterlace": a picture too small for the deinterlacer enlarged first, then only frames
// that are interlaced deinterlaced.
const std::string kDeinterlace = "scale=w='max(iw,3)':h='max(ih,3)',yadif=deint=interlaced";
// Every RealMedia output caps its pictures under the muxer's packet limit.
const std::string kRealMediaCap = "-maxrate 100000k -bufsize 400k";
const std::string kWmaRates = "aformat=sample_rates=8000|11025|12000|16000|22050|24000|32000|44100|48000";

std::string With(const std::string& line, const std::string& filter)
{
    const size_t at = line.find("%F");
    return line.substr(0, at) + filter + line.substr(at + 2);
}

INSTANTIATE_TEST_SUITE_P(
    Bitrates, DialectRule,
    testing::Values(RuleCase{"VideoInKiloBits", "-i a.avi -b 360 o.avi", "-i a.avi -b:v 360k o.avi"},
                    RuleCase{"AudioInKiloBits", "-i a.avi -ab 48 o.avi", "-i a.avi -b:a 48k o.avi"},
                    RuleCase{"RateControlInKiloBits", "-i a.avi -bt 60 -maxrate 1500 -bufsize 128 o.avi",
                             "-i a.avi -bt 60k -maxrate 1500k -bufsize 128k o.avi"},
                    RuleCase{"ValuesWithUnitsKept", "-i a.avi -b 360k -ab 1M o.avi",
                             "-i a.avi -b:v 360k -b:a 1M o.avi"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    SameQuality, DialectRule,
    testing::Values(
        RuleCase{"QuantiserWinsOverBitrate", "-i a.avi -b 360 -vcodec mpeg4 -sameq o.avi",
                 "-i a.avi -vcodec mpeg4 -q:v 2 o.avi"},
        RuleCase{"RateFactorForH264", "-i a.avi -vcodec h264 -sameq o.mp4",
                 With("-i a.avi -vcodec libx264 -crf 18 -vf %F o.mp4", kEvenSourceSize)},
        RuleCase{"DroppedWithoutNamedCodec", "-i a.avi -b 360 -sameq o.mov", "-i a.avi -b:v 360k o.mov"},
        RuleCase{"DroppedForGif", "-i a.avi -vcodec gif -sameq o.gif", "-i a.avi -vcodec gif -an o.gif"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Filters, DialectRule,
    testing::Values(
        RuleCase{"DeinterlaceOnlyInterlacedFrames", "-i a.avi -vcodec mpeg4 -deinterlace o.avi",
                 "-i a.avi -vcodec mpeg4 -vf " + kDeinterlace + " o.avi"},
        RuleCase{"DeinterlaceBeforeScale", "-i a.avi -s 320x240 -vcodec mpeg4 -deinterlace o.avi",
                 "-i a.avi -vcodec mpeg4 -vf " + kDeinterlace + ",scale=320:240 o.avi"},
        RuleCase{"GifFormOfTheEngine", "-i a.avi -y -s 64x48 -f gif -pix_fmt rgb24 -loop_output 0 -r 2 o.gif",
                 With("-i a.avi -y -f gif -loop 0 -an -vf fps=2,scale=64:48,%F o.gif", kPalette)},
        RuleCase{"GifNamedWithoutDotGetsItsMuxer", "-i a.avi -pix_fmt rgb24 clipgif",
                 With("-i a.avi -f gif -an -vf %F clipgif", kPalette)},
        RuleCase{"ChainOrderYadifScalePalette",
                 "-i a.avi -s 64x48 -deinterlace -pix_fmt rgb24 -loop_output 0 o.gif",
                 With("-i a.avi -loop 0 -an -vf " + kDeinterlace + ",scale=64:48,%F o.gif", kPalette)},
        RuleCase{"Rgb24KeptOutsideGif", "-i a.avi -pix_fmt rgb24 o.avi", "-i a.avi -pix_fmt rgb24 o.avi"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Codecs, DialectRule,
    testing::Values(
        RuleCase{"XvidIsLibxvid", "-i a.avi -vcodec xvid o.avi",
                 With("-i a.avi -vcodec libxvid -vf %F o.avi", kEvenSourceSize)},
        RuleCase{"H263InFlvIsSorenson", "-i a.avi -s 352x288 -vcodec h263 o.flv",
                 "-i a.avi -vcodec flv -vf scale=352:288 o.flv"},
        RuleCase{"H263InForcedFlv", "-i a.avi -s 320x240 -vcodec h263 -f flv o",
                 "-i a.avi -vcodec flv -f flv -vf scale=320:240 o"},
        RuleCase{"Mp3IsLame", "-i a.avi -acodec mp3 o.mp3", "-i a.avi -acodec libmp3lame o.mp3"},
        // WMA encoders fail above 48 kHz and state no rates of their own.
        RuleCase{"WmaOfferedRatesUpTo48kHz", "-i a.avi -acodec wmav2 o.mkv",
                 "-i a.avi -acodec wmav2 -af " + kWmaRates + " o.mkv"},
        RuleCase{"AsfSoundOfferedRatesUpTo48kHz", "-i a.avi -f asf o",
                 "-i a.avi -f asf -af " + kWmaRates + " o"},
        RuleCase{"WmaAtItsOwnRate", "-i a.avi -ar 44100 o.wma", "-i a.avi -ar 44100 o.wma"},
        RuleCase{"WmaWithItsOwnSoundFilters", "-i a.avi -af volume=2 o.wmv", "-i a.avi -af volume=2 o.wmv"},
        RuleCase{"AsfWithAnotherSound", "-i a.avi -acodec mp3 o.wmv", "-i a.avi -acodec libmp3lame o.wmv"},
        RuleCase{"OtherNamesUnchanged", "-i a.avi -vcodec theora -acodec flac o.ogg",
                 "-i a.avi -vcodec theora -acodec flac o.ogg"},
        RuleCase{"H264QscaleIsRateFactor", "-i a.avi -b 400 -vcodec h264 -qscale 25 o.avi",
                 With("-i a.avi -vcodec libx264 -crf 25 -bf 0 -vf %F o.avi", kEvenSourceSize)},
        RuleCase{"RateFactorClamped", "-i a.avi -vcodec h264 -qscale 60 o.avi",
                 With("-i a.avi -vcodec libx264 -crf 51 -bf 0 -vf %F o.avi", kEvenSourceSize)},
        RuleCase{"UnreadableQscaleKept", "-i a.avi -vcodec h264 -qscale high -qscale 25 o.avi",
                 With("-i a.avi -vcodec libx264 -qscale high -crf 25 -bf 0 -vf %F o.avi", kEvenSourceSize)},
        RuleCase{
            "EachCodecSwitchByItsOwnName",
            "-i a.avi -vcodec xvid -s 64x48 -vcodec mpeg4 -acodec mp3 -acodec aac o.mpg",
            "-i a.avi -vcodec libxvid -vcodec mpeg4 -acodec libmp3lame -acodec mp2 -vf scale=64:48 o.mpg"},
        // AVI keeps no presentation times: H.264 pictures stay in their own order there.
        RuleCase{"H264InAviOrH264WithItsOwnBFrames", "-i a.avi -vcodec h264 -bf 2 -f avi o",
                 With("-i a.avi -vcodec libx264 -bf 2 -f avi -vf %F o", kEvenSourceSize)},
        RuleCase{"QscaleKeptForQuantiserCodecs", "-i a.avi -vcodec mpeg4 -qscale 1 o.avi",
                 "-i a.avi -vcodec mpeg4 -qscale 1 o.avi"}),
    [](const auto& info) { return info.param.name; });

// The input's stated colours head the chain; an output read by its size gets the matrix that
// size is read in, one that carries its tags keeps the input's.
const std::string kBt709Input = "-colorspace bt709 -color_primaries bt709 -color_trc bt709 -i a.avi";
const std::string kBt709Tags = "setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709";
INSTANTIATE_TEST_SUITE_P(
    Colours, DialectRule,
    testing::Values(
        RuleCase{"TaggedCodecKeepsTheMatrix", kBt709Input + " -s 320x240 -vcodec h264 o.avi",
                 kBt709Input + " -vcodec libx264 -bf 0 -vf " + kBt709Tags + ",scale=320:240 o.avi"},
        RuleCase{"SmallerUntaggedOutputIsBt601", kBt709Input + " -s 320x240 -vcodec xvid -deinterlace o.avi",
                 kBt709Input + " -vcodec libxvid -vf " + kBt709Tags + "," + kDeinterlace +
                     ",scale=320:240:out_color_matrix=bt601,setparams=colorspace=smpte170m "
                     "o.avi"},
        RuleCase{"LargerUntaggedOutputIsBt709",
                 "-colorspace smpte170m -i a.avi -s 1408x1152 -vcodec h263 o.3gp",
                 "-colorspace smpte170m -i a.avi -vcodec h263 -vf setparams=colorspace=smpte170m,"
                 "scale=1408:1152:out_color_matrix=bt709,setparams=colorspace=bt709 o.3gp"},
        RuleCase{"ContainerCarriesTheTags", kBt709Input + " -s 320x240 -vcodec mpeg4 o.mp4",
                 kBt709Input + " -vcodec mpeg4 -vf " + kBt709Tags + ",scale=320:240 o.mp4"},
        RuleCase{"SourceSizeKeptAsItIs", "-colorspace bt709 -i a.avi -vcodec wmv2 o.wmv",
                 With("-colorspace bt709 -i a.avi -vcodec wmv2 -af " + kWmaRates +
                          " -vf setparams=colorspace=bt709,%F o.wmv",
                      kEvenSourceSize)},
        RuleCase{"JpegIsAlwaysBt601", "-colorspace bt709 -i a.avi -vcodec mjpeg o.avi",
                 "-colorspace bt709 -i a.avi -vcodec mjpeg -vf setparams=colorspace=bt709,"
                 "scale=out_color_matrix=bt601,setparams=colorspace=smpte170m o.avi"},
        RuleCase{"GifReadsTheTagsItself", "-colorspace bt709 -i a.avi -s 64x48 -pix_fmt rgb24 o.gif",
                 With("-colorspace bt709 -i a.avi -an -vf setparams=colorspace=bt709,scale=64:48,%F o.gif",
                      kPalette)},
        RuleCase{"OwnFiltersJoinTheChain", "-i a.avi -vf hflip -s 64x48 -deinterlace o.avi",
                 "-i a.avi -vf " + kDeinterlace + ",hflip,scale=64:48 o.avi"},
        RuleCase{"RateAfterTheColoursAndDeinterlacingBeforeTheScale",
                 kBt709Input + " -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace o.avi",
                 kBt709Input + " -b:v 360k -r 29.97 -vcodec libxvid -vf " + kBt709Tags + "," + kDeinterlace +
                     ",fps=29.97,scale=320:240:out_color_matrix=bt601,setparams=colorspace=smpte170m o.avi"},
        RuleCase{"RateThatIsNoNumberLeftToFfmpeg", "-i a.avi -r 25,hflip -r ntsc o.avi",
                 "-i a.avi -r 25,hflip -r ntsc o.avi"}),
    [](const auto& info) { return info.param.name; });

// Containers that take only some codecs get one they take, whatever the custom panel says.
INSTANTIATE_TEST_SUITE_P(
    FixedContainers, DialectRule,
    testing::Values(
        RuleCase{
            "GifTakesGifPicturesAndNoSound",
            "-i a.avi -y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -acodec mp2 -ab 128 -ar 44100 -ac 2 "
            "-pix_fmt rgb24 -loop_output 0 -r 2 o.gif",
            With("-i a.avi -y -b:v 360k -vcodec gif -loop 0 -an -vf fps=2,scale=320:240,%F o.gif", kPalette)},
        RuleCase{"WebmTakesVp8AndVorbis",
                 "-i a.avi -y -b 360 -vcodec mpeg4 -acodec mp2 -ab 128 -ar 44100 o.webm",
                 "-i a.avi -y -b:v 360k -vcodec libvpx -acodec libvorbis -b:a 128k -ar 44100 o.webm"},
        RuleCase{"WebmKeepsVp9AndOpus", "-i a.avi -vcodec vp9 -acodec opus -ar 44100 o.webm",
                 "-i a.avi -vcodec libvpx-vp9 -acodec libopus -ar 48000 o.webm"},
        RuleCase{"VorbisIsTheLibraryEncoder", "-i a.avi -acodec vorbis o.ogg",
                 "-i a.avi -acodec libvorbis o.ogg"},
        RuleCase{"OpusTakesItsNearestRate", "-i a.avi -acodec opus -ar 22050 o.opus",
                 "-i a.avi -acodec libopus -ar 24000 o.opus"},
        RuleCase{"RealMediaPicturesCappedUnderItsPacketLimit",
                 "-i a.avi -y -vcodec rv20 -deinterlace -sameq -ar 44100 -ac 2 o.rm",
                 "-i a.avi -y -vcodec rv20 -b:v 8000k -ar 44100 -ac 2 " + kRealMediaCap + " -vf " +
                     kDeinterlace + "," + kFourSourceSize + " o.rm"},
        // The encoder takes at most one buffer (400 kbit) per picture of its rate.
        RuleCase{
            "RealMediaSameQualityFitsTheBufferAtTheInputsRate", "-r 10 -i a.avi -vcodec rv20 -sameq o.rm",
            "-r 10 -i a.avi -vcodec rv20 -b:v 4000k " + kRealMediaCap + " -vf " + kFourSourceSize + " o.rm"},
        RuleCase{"RealMediaSameQualityAtAFractionalRate",
                 "-r 30000/1001 -i a.avi -s 64x48 -vcodec rv20 -sameq o.rm",
                 "-r 30000/1001 -i a.avi -vcodec rv20 -b:v 8000k " + kRealMediaCap + " -vf scale=64:48 o.rm"},
        RuleCase{"RealMediaRateOfTheOutputCounts", "-r 60 -i a.avi -r 2.5 -b 1500 -sameq -f rm o",
                 "-r 60 -i a.avi -r 2.5 -b:v 1000k -f rm " + kRealMediaCap + " -vf fps=2.5 o"},
        RuleCase{"RealMediaBitrateCappedAtOnePicturePerBuffer",
                 "-r 1 -i a.avi -b 1500 -s 64x48 -vcodec rv20 o.rm",
                 "-r 1 -i a.avi -b:v 400k -vcodec rv20 " + kRealMediaCap + " -vf scale=64:48 o.rm"},
        RuleCase{"RealMediaKeepsAGivenBuffer", "-i a.avi -b 300 -bufsize 200 -f rm o",
                 "-i a.avi -b:v 300k -bufsize 200k -f rm -maxrate 100000k o"},
        RuleCase{"FrameRateMadeInTheChainAndStated", "-i a.avi -r 25 o.avi",
                 "-i a.avi -r 25 -vf fps=25 o.avi"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    AmrNarrowBand, DialectRule,
    testing::Values(RuleCase{"RateChannelsAndNearestBitrate",
                             "-i a.avi -acodec amr_nb -ab 48 -ar 22050 -ac 2 o.3gp",
                             "-i a.avi -acodec libopencore_amrnb -b:a 12200 -ar 8000 -ac 1 o.3gp"},
                    RuleCase{"MissingRateAndChannelsAdded", "-i a.avi -acodec amr_nb -ab 5 o.3gp",
                             "-i a.avi -acodec libopencore_amrnb -b:a 5150 -ar 8000 -ac 1 o.3gp"},
                    RuleCase{"DecimalKiloBits", "-i a.avi -acodec amr_nb -ab 7.4k -ar 8000 -ac 1 o.3gp",
                             "-i a.avi -acodec libopencore_amrnb -b:a 7400 -ar 8000 -ac 1 o.3gp"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Containers, DialectRule,
    testing::Values(
        RuleCase{"AacInMpegProgramStreamIsMp2", "-i a.avi -acodec aac -ab 64 o.mpg",
                 "-i a.avi -acodec mp2 -b:a 64k o.mpg"},
        // MPEG-4 Visual in MPEG-PS is read right only at a whole rate.
        RuleCase{"Mpeg4InMpegProgramStreamAtTheInputsRateMadeWhole",
                 "-r 30000/1001 -i a.avi -s 320x240 -vcodec mpeg4 o.mpg",
                 "-r 30000/1001 -i a.avi -vcodec mpeg4 -r 30 -vf fps=30,scale=320:240 o.mpg"},
        RuleCase{"Mpeg4InMpegProgramStreamAtItsOwnRateMadeWhole", "-i a.avi -r 23.976 -vcodec xvid o.mpeg",
                 With("-i a.avi -r 24 -vcodec libxvid -vf fps=24,%F o.mpeg", kEvenSourceSize)},
        RuleCase{"WholeRatesAndOtherCodecsKeepTheirRate",
                 "-r 30000/1001 -i a.avi -vcodec mpeg1video -r 25 -vcodec mpeg4 o.mpg",
                 "-r 30000/1001 -i a.avi -vcodec mpeg1video -r 25 -vcodec mpeg4 -vf fps=25 o.mpg"},
        RuleCase{"FractionalRateKeptInOtherContainers", "-r 30000/1001 -i a.avi -vcodec mpeg4 o.avi",
                 "-r 30000/1001 -i a.avi -vcodec mpeg4 o.avi"},
        RuleCase{"UpperCaseMpegName", "-i a.avi -acodec aac o.MPEG", "-i a.avi -acodec mp2 o.MPEG"},
        RuleCase{"Mp3CarriedByMpegProgramStream", "-i a.avi -acodec mp3 o.mpg",
                 "-i a.avi -acodec libmp3lame o.mpg"},
        RuleCase{"AacKeptInMp4", "-i a.avi -acodec aac o.mp4", "-i a.avi -acodec aac o.mp4"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    FrameSizes, DialectRule,
    testing::Values(RuleCase{"Rv20RoundsToFour", "-i a.avi -s 321x241 -vcodec rv20 o.rm",
                             "-i a.avi -vcodec rv20 " + kRealMediaCap + " -vf scale=320:240 o.rm"},
                    RuleCase{"Rv20HalvesRoundUp", "-i a.avi -s 322x242 -vcodec rv20 o.rm",
                             "-i a.avi -vcodec rv20 " + kRealMediaCap + " -vf scale=324:244 o.rm"},
                    RuleCase{"XvidRoundsToEven", "-i a.avi -s 321x241 -vcodec xvid o.avi",
                             "-i a.avi -vcodec libxvid -vf scale=322:242 o.avi"},
                    RuleCase{"H263NearestInScaleUp", "-i a.avi -s 320x240 -vcodec h263 o.3gp",
                             "-i a.avi -vcodec h263 -vf scale=352:288 o.3gp"},
                    RuleCase{"H263NearestInScaleDown", "-i a.avi -s 160x120 -vcodec h263 o.3gp",
                             "-i a.avi -vcodec h263 -vf scale=176:144 o.3gp"},
                    RuleCase{"H263Smallest", "-i a.avi -s 100x80 -vcodec h263 o.3gp",
                             "-i a.avi -vcodec h263 -vf scale=128:96 o.3gp"},
                    RuleCase{"H263Largest", "-i a.avi -s 1920x1080 -vcodec h263 o.3gp",
                             "-i a.avi -vcodec h263 -vf scale=1408:1152 o.3gp"},
                    RuleCase{"AnySizeCodecKeepsOddSize", "-i a.avi -s 321x241 -vcodec mpeg4 o.avi",
                             "-i a.avi -vcodec mpeg4 -vf scale=321:241 o.avi"},
                    RuleCase{"SizeNameLeftToFfmpeg", "-i a.avi -s vga -vcodec xvid o.avi",
                             "-i a.avi -s vga -vcodec libxvid o.avi"},
                    RuleCase{"SourceSizeToMultipleOfFour", "-i a.avi -vcodec rv20 o.rm",
                             "-i a.avi -vcodec rv20 " + kRealMediaCap + " -vf " + kFourSourceSize + " o.rm"},
                    RuleCase{"SourceSizeToH263Size", "-i a.avi -vcodec h263 o.3gp",
                             "-i a.avi -vcodec h263 -vf "
                             "scale=w='if(lt(iw*ih,17647),128,if(lt(iw*ih,50688),176,if(lt(iw*ih,202752),352,"
                             "if(lt(iw*ih,811008),704,1408))))':h='if(lt(iw*ih,17647),96,if(lt(iw*ih,50688),"
                             "144,if(lt(iw*ih,202752),288,if(lt(iw*ih,811008),576,1152))))' o.3gp"},
                    RuleCase{"SourceSizeKeptForAnySizeCodec", "-i a.avi -vcodec mpeg1video o.mpg",
                             "-i a.avi -vcodec mpeg1video o.mpg"}),
    [](const auto& info) { return info.param.name; });

// Lines that are not of the dialect, or parts of a line that are not the output's options,
// reach ffmpeg exactly as they are.
INSTANTIATE_TEST_SUITE_P(
    PassThrough, DialectRule,
    testing::Values(
        RuleCase{"OneJpegPicture", "-i /w/in.avi -an -frames:v 1 -qscale 1 still.jpg",
                 "-i /w/in.avi -an -frames:v 1 -qscale 1 still.jpg"},
        RuleCase{"Reassembly", "-f image2 -framerate 30/1 -i Renamed/image%d.jpg -vcodec mpeg4 /w/tvideo.avi",
                 "-f image2 -framerate 30/1 -i Renamed/image%d.jpg -vcodec mpeg4 /w/tvideo.avi"},
        RuleCase{"Joining",
                 "-i /w/tvideo.avi -i /w/reversed.wav -c copy -map 0:v:0 -map 1:a:0 -shortest /w/rvideo.avi",
                 "-i /w/tvideo.avi -i /w/reversed.wav -c copy -map 0:v:0 -map 1:a:0 -shortest /w/rvideo.avi"},
        RuleCase{"SoundExtraction", "-i /w/in.avi -vn -ac 2 /w/audio.wav",
                 "-i /w/in.avi -vn -ac 2 /w/audio.wav"},
        RuleCase{"InputOptionsUntouched", "-s 320x240 -f rawvideo -i in.raw -b 360 o.avi",
                 "-s 320x240 -f rawvideo -i in.raw -b:v 360k o.avi"},
        RuleCase{"SwitchWithoutValue", "-i a.avi -ac", "-i a.avi -ac"},
        RuleCase{"NoInput", "-hide_banner -encoders", "-hide_banner -encoders"}),
    [](const auto& info) { return info.param.name; });

// Facts given about the input (the job's environment, the intermediate's header) count where
// the line's input options state nothing; no picture filter reaches an output without pictures.
struct FactsCase {
    std::string name;
    tarnivo::media::InputFacts facts;
    std::string in;
    std::string out;
};

void PrintTo(const FactsCase& rule, std::ostream* out) { *out << rule.in; }

class DialectRuleWithFacts : public testing::TestWithParam<FactsCase> {};

TEST_P(DialectRuleWithFacts, TranslatesAsDocumented)
{
    EXPECT_EQ(TranslateArguments(Args(GetParam().in), GetParam().facts), Args(GetParam().out));
}

const tarnivo::media::InputFacts kBt709Facts{"bt709", "bt709", "bt709", "", ""};
tarnivo::media::InputFacts AtRate(const std::string& rate) { return {"", "", "", "", rate}; }

INSTANTIATE_TEST_SUITE_P(
    Facts, DialectRuleWithFacts,
    testing::Values(
        FactsCase{"ColoursOfTheEnvironment", kBt709Facts, "-i a.avi -y -b 360 -s 320x240 -vcodec xvid o.avi",
                  "-i a.avi -y -b:v 360k -vcodec libxvid -vf " + kBt709Tags +
                      ",scale=320:240:out_color_matrix=bt601,setparams=colorspace=smpte170m o.avi"},
        FactsCase{"TheLinesOwnColoursCount", kBt709Facts,
                  "-colorspace smpte170m -i a.avi -vcodec mjpeg o.avi",
                  "-colorspace smpte170m -i a.avi -vcodec mjpeg -vf "
                  "setparams=colorspace=smpte170m:color_primaries=bt709:color_trc=bt709 o.avi"},
        FactsCase{"NoPictureFilterOnSound", kBt709Facts,
                  "-i a.avi -y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 o.mp3",
                  "-i a.avi -y -f mp3 -acodec libmp3lame -b:a 128k -ar 44100 -ac 2 o.mp3"},
        FactsCase{"RealMediaAtTheHeadersRate", AtRate("10/1"), "-i a.avi -y -vcodec rv20 -sameq o.rm",
                  "-i a.avi -y -vcodec rv20 -b:v 4000k " + kRealMediaCap + " -vf " + kFourSourceSize +
                      " o.rm"},
        FactsCase{"TheLinesOwnRateCounts", AtRate("10/1"), "-r 30 -i a.avi -vcodec rv20 -sameq o.rm",
                  "-r 30 -i a.avi -vcodec rv20 -b:v 8000k " + kRealMediaCap + " -vf " + kFourSourceSize +
                      " o.rm"},
        FactsCase{"Mpeg4InMpegProgramStreamAtTheHeadersRate", AtRate("30000/1001"),
                  "-i a.avi -y -b 512 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac o.mpg",
                  "-i a.avi -y -b:v 512k -vcodec mpeg4 -aspect 4:3 -acodec mp2 -r 30 -vf "
                  "fps=30,scale=320:240 o.mpg"},
        // A GIF's pictures take the input's colours before their palette; AV1 is one of WebM's own
        // codecs; FLV refuses MPEG-4 Visual as it refuses H.263; WMA takes no rate above 48 kHz.
        FactsCase{"GifFormWithColours", kBt709Facts, "-i a.avi -y -pix_fmt rgb24 -loop_output 0 -r 2 my.gif",
                  With("-i a.avi -y -loop 0 -an -vf " + kBt709Tags + ",fps=2,%F my.gif", kPalette)},
        FactsCase{"Av1KeptInWebm",
                  {},
                  "-i a.avi -vcodec av1 -acodec opus o.webm",
                  "-i a.avi -vcodec libaom-av1 -acodec libopus o.webm"},
        // WebP and VP8 pictures are read as BT.601, whatever their film's matrix.
        FactsCase{"WebPInBt601", kBt709Facts, "-i a.avi -y -c:v libwebp_anim -pix_fmt yuv420p -an o.webp",
                  "-i a.avi -y -c:v libwebp_anim -pix_fmt yuv420p -an -vf " + kBt709Tags +
                      ",scale=out_color_matrix=bt601,setparams=colorspace=smpte170m o.webp"},
        FactsCase{"Vp8InBt601", kBt709Facts, "-i a.avi -y -vcodec vp8 o.webm",
                  "-i a.avi -y -vcodec libvpx -vf " + kBt709Tags +
                      ",scale=out_color_matrix=bt601,setparams=colorspace=smpte170m o.webm"},
        FactsCase{"Mpeg4InFlvIsSorenson", {}, "-i a.avi -vcodec mpeg4 o.flv", "-i a.avi -vcodec flv o.flv"},
        FactsCase{"WmaAtTheNearestRateItTakes",
                  {},
                  "-i a.avi -acodec wmav2 -ar 96000 o.wmv",
                  "-i a.avi -acodec wmav2 -ar 48000 o.wmv"}),
    [](const auto& info) { return info.param.name; });

// The reversal's lines are the designed ones; what today's ffmpeg needs beyond them comes from
// the facts the job gives beside them, each for its shape. Without facts they stay as they are.
struct ReversalCase {
    std::string name;
    tarnivo::media::ReversalFacts facts;
    std::string in;
    std::string out;
};

void PrintTo(const ReversalCase& rule, std::ostream* out) { *out << rule.in; }

class ReversalLine : public testing::TestWithParam<ReversalCase> {};

TEST_P(ReversalLine, TakesWhatItsShapeNeedsFromTheFacts)
{
    EXPECT_EQ(TranslateArguments(Args(GetParam().in), {}, GetParam().facts), Args(GetParam().out));
}

tarnivo::media::ReversalFacts Facts(const std::string& rate, const std::string& start,
                                    const std::string& length, const std::string& filters,
                                    const std::string& soundStart, const std::string& soundLength)
{
    tarnivo::media::ReversalFacts facts;
    facts.framesRate = rate;
    facts.framesStart = start;
    facts.framesLength = length;
    facts.framesFilters = filters;
    facts.soundStart = soundStart;
    facts.soundLength = soundLength;
    return facts;
}

// A boomerang's join: the forward sound a.wav, the frames at rate (none for a sound alone).
tarnivo::media::ReversalFacts Boomerang(const std::string& rate)
{
    tarnivo::media::ReversalFacts facts;
    facts.framesRate = rate;
    facts.forwardSound = "a.wav";
    return facts;
}

tarnivo::media::ReversalFacts SourceChannels(tarnivo::media::ReversalFacts facts)
{
    facts.soundChannels = tarnivo::media::kSourceChannels;
    return facts;
}

const tarnivo::media::ReversalFacts kSpan =
    Facts("30000/1001", "0.500500", "", "yadif=deint=0", "0.500500", "2.002000");

tarnivo::media::ReversalFacts Finest(tarnivo::media::ReversalFacts facts,
                                     const char* quality = tarnivo::media::kFinestFrames)
{
    facts.framesQuality = quality;
    return facts;
}

// The frame writer's pixel formats, which end the frames' chain.
const std::string kWriterFormats = "format=yuv420p|yuvj420p|yuv422p|yuvj422p|yuv444p|yuvj444p";

INSTANTIATE_TEST_SUITE_P(
    Facts, ReversalLine,
    testing::Values(
        // The frame writer takes the extraction over: its options and the line's names, then
        // ffmpeg's line, which decodes the pictures through the chain into the writer's formats.
        ReversalCase{"FramesAtTheSpansRateInItsColours", kSpan, "-i s.mp4 -an -qscale 1 %06d.jpg",
                     "%06d.jpg -- -i s.mp4 -an -vf yadif=deint=0,fps=fps=30000/1001:start_time=0.500500,"
                     "setpts=PTS-STARTPTS," +
                         kWriterFormats},
        ReversalCase{"FramesOfAPartSoughtToItsStart", Facts("25", "3.000000", "2.000000", "", "", ""),
                     "-i s.mp4 -an -qscale 1 %06d.jpg",
                     "%06d.jpg -- -ss 3.000000 -i s.mp4 -an -t 2.000000 -vf "
                     "fps=fps=25:start_time=0,setpts=PTS-STARTPTS," +
                         kWriterFormats},
        ReversalCase{"FinestFrames", Finest(Facts("25", "0.000000", "", "", "", "")),
                     "-i s.mp4 -an -qscale 1 /w/%06d.jpg",
                     "--finest /w/%06d.jpg -- -i s.mp4 -an -vf "
                     "fps=fps=25:start_time=0.000000,setpts=PTS-STARTPTS," +
                         kWriterFormats},
        ReversalCase{"ExactFrames",
                     Finest(Facts("25", "0.000000", "", "", "", ""), tarnivo::media::kExactFrames),
                     "-i s.mp4 -an -qscale 1 /w/%06d.jpg",
                     "--exact /w/%06d.jpg -- -i s.mp4 -an -vf "
                     "fps=fps=25:start_time=0.000000,setpts=PTS-STARTPTS," +
                         kWriterFormats},
        ReversalCase{"SoundOfAPartToTheEndWithoutAPicture", Facts("", "", "", "", "4.000000", ""),
                     "-i s.mp3 -vn -ac 2 a.wav",
                     "-i s.mp3 -vn -ac 2 -af aresample=async=1:first_pts=0,atrim=start=4.000000,"
                     "asetpts=PTS-STARTPTS a.wav"},
        ReversalCase{"BoomerangJoinTurnsTheSoundWithThePicture", Boomerang("25"),
                     "-i t.avi -i b.wav -c copy -map 0:v:0 -map 1:a:0 -shortest v.avi",
                     "-i t.avi -i b.wav -i a.wav -filter_complex [1:a]atrim=start=0.040000,"
                     "asetpts=PTS-STARTPTS[back];[2:a][back]concat=n=2:v=0:a=1[sound] -c:v copy -c:a "
                     "pcm_s16le -map 0:v:0 -map [sound] -shortest v.avi"},
        ReversalCase{"BoomerangJoinOfASoundAlone", Boomerang(""),
                     "-i b.wav -c copy -map 0:a:0 -shortest v.avi",
                     "-i b.wav -i a.wav -filter_complex [1:a][0:a]concat=n=2:v=0:a=1[sound] -c:v copy -c:a "
                     "pcm_s16le -map [sound] -shortest v.avi"},
        ReversalCase{"DesignedJoinWithoutABoomerang", kSpan,
                     "-i t.avi -i b.wav -c copy -map 0:v:0 -map 1:a:0 -shortest v.avi",
                     "-i t.avi -i b.wav -c copy -map 0:v:0 -map 1:a:0 -shortest v.avi"},
        ReversalCase{"RebuildAtTheFramesRateCopied", kSpan,
                     "-f image2 -i Renamed/image%d.jpg -vcodec mpeg4 t.avi",
                     "-f image2 -framerate 30000/1001 -i Renamed/image%d.jpg -vcodec copy t.avi"},
        ReversalCase{
            "SoundCutAndPaddedToTheSpan", kSpan, "-i s.mp4 -vn -ac 2 a.wav",
            "-i s.mp4 -vn -ac 2 -af aresample=async=1:first_pts=0,atrim=start=0.500500:duration=2.002000,"
            "apad=whole_dur=2.002000,asetpts=PTS-STARTPTS a.wav"},
        ReversalCase{"WholeSoundWithoutASpan", {}, "-i s.mp4 -vn -ac 2 a.wav", "-i s.mp4 -vn -ac 2 a.wav"},
        ReversalCase{"SoundInTheSourcesChannels", SourceChannels(kSpan), "-i s.mp4 -vn -ac 2 a.wav",
                     "-i s.mp4 -vn -af aresample=async=1:first_pts=0,atrim=start=0.500500:duration=2.002000,"
                     "apad=whole_dur=2.002000,asetpts=PTS-STARTPTS a.wav"},
        ReversalCase{"WholeSoundInTheSourcesChannels", SourceChannels({}), "-i s.mp4 -vn -ac 2 a.wav",
                     "-i s.mp4 -vn a.wav"},
        ReversalCase{"FramesWithoutFactsAsTheLineSays",
                     {},
                     "-i s.mp4 -an -qscale 1 %06d.jpg",
                     "%06d.jpg -- -i s.mp4 -an -vf " + kWriterFormats}),
    [](const auto& info) { return info.param.name; });

TEST(DialectTranslation, PathsReachFfmpegUnchanged)
{
    const std::string source = "/tmp/my \"film\" $HOME %06d \\ \xC3\xBC -b.avi";
    const std::string destination = "/out/it's 100% -s \xE6\x98\xA0.avi";
    const Arguments translated = TranslateArguments({"-i", source, "-y", "-b", "360", destination});
    EXPECT_EQ(translated, (Arguments{"-i", source, "-y", "-b:v", "360k", destination}));
}

}  // namespace
