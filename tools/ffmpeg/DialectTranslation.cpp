#include "DialectTranslation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <map>
#include <optional>

namespace tarnivo::ffmpeg_front_end {
namespace {

// ---------------------------------------------------------------------------------------------
// What the encoders accept
// ---------------------------------------------------------------------------------------------

struct FrameSize {
    int width = 0;
    int height = 0;
};

// The frame sizes an encoder takes: multiples of `multiple` in both directions, or, when
// `fixedSizes` is not empty, only those sizes (listed from the smallest up).
struct SizeRule {
    int multiple = 1;
    std::vector<FrameSize> fixedSizes;

    bool TakesAnySize() const { return multiple == 1 && fixedSizes.empty(); }
};

// How an encoder does constant quality, which is what "-sameq" asked for.
enum class QualityMode { None, Quantiser, RateFactor };

struct VideoCodecRule {
    const char* dialectName;  // the name the engine writes after "-vcodec"
    const char* encoder;      // the encoder that the system's ffmpeg knows
    SizeRule sizes;
    QualityMode quality;
};

// Video codecs whose name, size limits or quality switch need attention. Measured on
// ffmpeg 5.1: every other codec name passes through, sizes unchanged.
const std::vector<VideoCodecRule>& VideoCodecRules()
{
    static const SizeRule kAny{1, {}};
    static const SizeRule kEven{2, {}};
    static const SizeRule kMultipleOf4{4, {}};
    static const SizeRule kMultipleOf16{16, {}};
    static const SizeRule kH263{1, {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}};
    static const SizeRule kH261{1, {{176, 144}, {352, 288}}};
    static const std::vector<VideoCodecRule> rules = {
        {"mpeg4", "mpeg4", kAny, QualityMode::Quantiser},
        {"xvid", "libxvid", kEven, QualityMode::Quantiser},
        {"libxvid", "libxvid", kEven, QualityMode::Quantiser},
        {"h264", "libx264", kEven, QualityMode::RateFactor},
        {"libx264", "libx264", kEven, QualityMode::RateFactor},
        {"hevc", "libx265", kEven, QualityMode::RateFactor},
        {"libx265", "libx265", kEven, QualityMode::RateFactor},
        {"h263", "h263", kH263, QualityMode::Quantiser},
        {"h263p", "h263p", kMultipleOf4, QualityMode::Quantiser},
        {"h261", "h261", kH261, QualityMode::Quantiser},
        {"flv", "flv", kAny, QualityMode::Quantiser},
        {"rv10", "rv10", kMultipleOf16, QualityMode::Quantiser},
        {"rv20", "rv20", kMultipleOf4, QualityMode::Quantiser},
        {"wmv1", "wmv1", kEven, QualityMode::Quantiser},
        {"wmv2", "wmv2", kEven, QualityMode::Quantiser},
        {"mpeg1video", "mpeg1video", kAny, QualityMode::Quantiser},
        {"mpeg2video", "mpeg2video", kAny, QualityMode::Quantiser},
        {"msmpeg4", "msmpeg4", kAny, QualityMode::Quantiser},
        {"msmpeg4v2", "msmpeg4v2", kAny, QualityMode::Quantiser},
        {"mjpeg", "mjpeg", kAny, QualityMode::Quantiser},
        {"cinepak", "cinepak", kMultipleOf4, QualityMode::None},
        {"roqvideo", "roqvideo", kMultipleOf16, QualityMode::None},
        {"huffyuv", "huffyuv", kEven, QualityMode::None},
        {"gif", "gif", kAny, QualityMode::None},
        {"vp8", "libvpx", kAny, QualityMode::None},
        {"libvpx", "libvpx", kAny, QualityMode::None},
        {"vp9", "libvpx-vp9", kAny, QualityMode::None},
        {"libvpx-vp9", "libvpx-vp9", kAny, QualityMode::None},
    };
    return rules;
}

const VideoCodecRule* FindVideoCodecRule(const std::string& dialectName)
{
    for (const VideoCodecRule& rule : VideoCodecRules()) {
        if (dialectName == rule.dialectName)
            return &rule;
    }
    return nullptr;
}

// Audio codec names of the dialect that are encoder names no more, or that name ffmpeg's
// experimental encoders, which refuse to run without "-strict -2".
const char* AudioEncoderFor(const std::string& dialectName)
{
    if (dialectName == "mp3")
        return "libmp3lame";
    if (dialectName == "amr_nb")
        return "libopencore_amrnb";
    if (dialectName == "vorbis")
        return "libvorbis";
    if (dialectName == "opus")
        return "libopus";
    return nullptr;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* candidate) { return name == candidate; });
}

// The MPEG program stream muxer takes only these audio encoders.
bool MpegProgramStreamCarries(const std::string& audioEncoder)
{
    static const char* const kCarried[] = {"mp2",       "mp2fixed", "libtwolame", "libmp3lame", "ac3",
                                           "ac3_fixed", "dca",      "pcm_dvd",    "pcm_s16be",  "copy"};
    return std::any_of(std::begin(kCarried), std::end(kCarried),
                       [&](const char* name) { return audioEncoder == name; });
}

// AMR-NB has eight modes; the encoder refuses everything else.
const int kAmrBitrates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};

// The containers whose codecs are fixed, as far as a rule needs to know.
enum class Container { Other, Gif, Flv, MpegProgramStream, WebM, RealMedia, Avi };

std::string AudioEncoderForOutput(const std::string& dialectName, Container container)
{
    const char* renamed = AudioEncoderFor(dialectName);
    const std::string encoder = renamed ? renamed : dialectName;
    const bool mpegProgramStream = container == Container::MpegProgramStream;
    // MPEG-PS cannot carry AAC (nor most other audio codecs). The file name is fixed by the
    // profile as ".mpg", so the container stays and the sound is written as MPEG audio layer II,
    // the program stream's own audio codec: every stream is kept, the file is what its name
    // says, and any player of .mpg files plays it. An MP4 container under a .mpg name would
    // keep AAC but mislead every program that goes by the name.
    if (mpegProgramStream && !MpegProgramStreamCarries(encoder))
        return "mp2";
    // WebM carries Vorbis or Opus only; Vorbis takes every sample rate.
    if (container == Container::WebM && !IsOneOf(encoder, {"libvorbis", "libopus", "copy"}))
        return "libvorbis";
    return encoder;
}

// The codec a container takes in place of one it cannot carry: FLV carries H.263 only in its
// Sorenson form, the flv encoder; a GIF holds only GIF pictures; WebM only VP8 or VP9.
const VideoCodecRule* VideoCodecRuleFor(const std::string& dialectName, Container container)
{
    if (container == Container::Flv && dialectName == "h263")
        return FindVideoCodecRule("flv");
    if (container == Container::Gif && dialectName != "copy")
        return FindVideoCodecRule("gif");
    if (container == Container::WebM && !IsOneOf(dialectName, {"vp8", "libvpx", "vp9", "libvpx-vp9", "copy"}))
        return FindVideoCodecRule("vp8");
    return FindVideoCodecRule(dialectName);
}

// ---------------------------------------------------------------------------------------------
// Small text helpers
// ---------------------------------------------------------------------------------------------

bool IsBareNumber(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && Lowered(text.substr(text.size() - ending.size())) == ending;
}

// A frame rate written as digits with at most one "." or "/" (25, 29.97, 30000/1001).
bool IsPlainRate(const std::string& text)
{
    auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    const auto marks = std::count_if(text.begin(), text.end(), [](char c) { return c == '.' || c == '/'; });
    const auto digits = std::count_if(text.begin(), text.end(), isDigit);
    return !text.empty() && isDigit(text.front()) && isDigit(text.back()) && marks <= 1 &&
           digits + marks == static_cast<std::ptrdiff_t>(text.size());
}

// A plain rate's frames per second; nothing for any other text, and for a rate of 0.
std::optional<double> ParseRate(const std::string& text)
{
    if (!IsPlainRate(text))
        return std::nullopt;
    const size_t slash = text.find('/');
    const double numerator = std::strtod(text.substr(0, slash).c_str(), nullptr);
    const double denominator =
        slash == std::string::npos ? 1 : std::strtod(text.substr(slash + 1).c_str(), nullptr);
    if (!(numerator > 0) || !(denominator > 0))
        return std::nullopt;
    return numerator / denominator;
}

// The dialect gives every rate in kbit/s as bare digits; today's ffmpeg reads bare digits as
// bit/s, so they get the "k" suffix. Values with a unit of their own stay as they are.
std::string KiloBits(const std::string& value) { return IsBareNumber(value) ? value + "k" : value; }

std::optional<double> ParseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// libopus takes only these sample rates; another one becomes the nearest.
std::string OpusSampleRate(const std::string& value)
{
    static const int kRates[] = {8000, 12000, 16000, 24000, 48000};
    const std::optional<double> asked = ParseNumber(value);
    if (!asked)
        return value;
    const int* nearest = std::min_element(std::begin(kRates), std::end(kRates), [&](int a, int b) {
        return std::fabs(a - *asked) < std::fabs(b - *asked);
    });
    return std::to_string(*nearest);
}

std::optional<FrameSize> ParseFrameSize(const std::string& text)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const std::string width = text.substr(0, x);
    const std::string height = text.substr(x + 1);
    if (!IsBareNumber(width) || !IsBareNumber(height) || width.size() > 5 || height.size() > 5) {
        return std::nullopt;
    }
    FrameSize size{std::stoi(width), std::stoi(height)};
    if (size.width == 0 || size.height == 0)
        return std::nullopt;
    return size;
}

// ---------------------------------------------------------------------------------------------
// Frame sizes
//
// A rule that needs the source's frame size (a profile that keeps it, on a codec with size
// limits) is written as a scale filter expression on iw/ih rather than by probing the input
// with ffprobe first: ffmpeg then sees the real decoded size itself, the front end stays one
// exec with no child process, no output to parse and no second reading of the file, and the
// same expression holds for any input ffmpeg can open. A size asked for with "-s" is a
// resampling anyway and goes to the nearest size the codec takes. The source's own size is kept
// by cropping the few rows or columns beyond the last whole multiple the codec needs, from both
// edges alike: resampling a whole picture by a pixel would soften every pixel of it (1.4 to
// 3.7 dB of PSNR at 321x241). Fixed sizes are reached by resampling. The scale filter keeps
// the display aspect ratio through the sample aspect ratio, so a picture stretched to a codec's
// size still shows its shape.
// ---------------------------------------------------------------------------------------------

// The nearest multiple of `multiple`, halves rounded up (as ffmpeg's round() does), and
// never below one multiple.
int RoundToMultiple(int value, int multiple)
{
    return std::max(multiple, (value + multiple / 2) / multiple * multiple);
}

// Between two neighbouring fixed sizes the choice flips at the geometric mean of their areas,
// so the nearest size is the nearest in scale: 320x240 goes to 352x288, not down to 176x144.
std::vector<long long> FixedSizeAreaThresholds(const std::vector<FrameSize>& sizes)
{
    std::vector<long long> thresholds;
    for (size_t i = 0; i + 1 < sizes.size(); ++i) {
        const double lower = double(sizes[i].width) * sizes[i].height;
        const double upper = double(sizes[i + 1].width) * sizes[i + 1].height;
        thresholds.push_back(static_cast<long long>(std::sqrt(lower * upper)));
    }
    return thresholds;
}

FrameSize NearestFixedSize(const std::vector<FrameSize>& sizes, FrameSize size)
{
    const std::vector<long long> thresholds = FixedSizeAreaThresholds(sizes);
    const long long area = static_cast<long long>(size.width) * size.height;
    size_t index = 0;
    while (index < thresholds.size() && area >= thresholds[index])
        ++index;
    return sizes[index];
}

FrameSize SizeTheEncoderTakes(const SizeRule& rule, FrameSize size)
{
    if (!rule.fixedSizes.empty())
        return NearestFixedSize(rule.fixedSizes, size);
    return {RoundToMultiple(size.width, rule.multiple), RoundToMultiple(size.height, rule.multiple)};
}

std::string ScaleFilter(FrameSize size)
{
    return "scale=" + std::to_string(size.width) + ":" + std::to_string(size.height);
}

// if(lt(iw*ih,T1),V1,if(lt(iw*ih,T2),V2,...Vn)) with V the widths or the heights.
std::string FixedSizeExpression(const std::vector<FrameSize>& sizes, bool width)
{
    const std::vector<long long> thresholds = FixedSizeAreaThresholds(sizes);
    std::string expression;
    for (size_t i = 0; i < thresholds.size(); ++i) {
        const int value = width ? sizes[i].width : sizes[i].height;
        expression += "if(lt(iw*ih," + std::to_string(thresholds[i]) + ")," + std::to_string(value) + ",";
    }
    expression += std::to_string(width ? sizes.back().width : sizes.back().height);
    expression += std::string(thresholds.size(), ')');
    return expression;
}

// The source's size cropped to whole multiples. A picture smaller than one multiple is first
// stretched to it (the scale filter passes every other picture through untouched).
std::string CropToMultipleFilter(int multiple)
{
    const std::string m = std::to_string(multiple);
    return "scale=w='max(iw," + m + ")':h='max(ih," + m + ")',crop=w='floor(iw/" + m + ")*" + m +
           "':h='floor(ih/" + m + ")*" + m + "'";
}

// The filter that brings the source's own size, whatever it is, to one the encoder takes;
// empty when the encoder takes any size.
std::string SourceSizeFilter(const SizeRule& rule)
{
    if (rule.TakesAnySize())
        return "";
    if (!rule.fixedSizes.empty()) {
        return "scale=w='" + FixedSizeExpression(rule.fixedSizes, true) + "':h='" +
               FixedSizeExpression(rule.fixedSizes, false) + "'";
    }
    return CropToMultipleFilter(rule.multiple);
}

// A palette made from each picture itself gives a GIF its right colours. Made per picture, it
// holds no picture back: a palette for the whole film would keep every decoded picture in
// memory until the film's end (gigabytes for a minute of HD).
const char* const kGifPaletteFilter =
    "split[tv_a][tv_b];[tv_a]palettegen=stats_mode=single[tv_p];[tv_b][tv_p]paletteuse=new=1";

// The RealMedia muxer refuses packets above 64 KB, and one picture is one packet. The encoder's
// rate-control buffer caps every picture at 400 kbit (50 KB): a picture that would be larger is
// encoded again more coarsely. The rate that fills the buffer is set far above any real rate, so
// the cap is the only limit it sets.
const char* const kRealMediaPictureBuffer = "400k";
// The sample rates the WMA encoders are offered: every usual one up to their 48 kHz ceiling
// (they state no list of their own, so ffmpeg would hand them a higher rate and fail).
const char* const kWindowsMediaSampleRates =
    "aformat=sample_rates=8000|11025|12000|16000|22050|24000|32000|44100|48000";
const char* const kRealMediaMaximumRate = "100000k";
constexpr double kRealMediaPictureBufferKiloBits = 400;
// Constant quality ("-sameq") in RealMedia: a rate the cap, not the rate, will limit on large
// pictures, and that small pictures reach at the finest quantiser. Rate control then starts each
// picture near the quantiser that fits, where a fixed quantiser would encode a detailed HD
// picture again and again from the finest one up (measured: 10 s against 24 s for 2 s of 1080p).
constexpr long kRealMediaSameQualityKiloBits = 8000;

// The encoder refuses a video rate above one buffer per picture ("VBV buffer too small for
// bitrate"): 400 kbit/s at 1 fps, 4000 at 10. The highest rate it takes at a picture rate, in
// whole kbit/s.
long RealMediaRateLimit(double pictureRate)
{
    return std::max(1L, static_cast<long>(std::floor(kRealMediaPictureBufferKiloBits * pictureRate)));
}

// ---------------------------------------------------------------------------------------------
// Colours
//
// Colour options before an input say how its pictures are to be read ("-colorspace bt709
// -i rvideo.avi"). ffmpeg's JPEG decoder, which reads Tarnivo's intermediate, ignores them and
// calls every picture BT.601, so they become a setparams filter at the head of the chain: from
// there the filters' conversions (to RGB for a GIF, to another matrix below) and the encoder's
// colour tags follow them.
//
// A file whose codec and container cannot say which matrix its pictures are in is read by
// players as its size suggests: BT.709 for HD, BT.601 below; JPEG and WebP pictures always as
// BT.601. Such an output of another size than its input gets its pictures converted into the
// matrix it will be read in. Where the output's size is not known here (the source's own size),
// it is the input's, whose matrix Tarnivo already chose for that size.
// ---------------------------------------------------------------------------------------------

struct InputColours {
    std::string matrix;
    std::string primaries;
    std::string transfer;
    std::string range;

    bool Stated() const
    {
        return !matrix.empty() || !primaries.empty() || !transfer.empty() || !range.empty();
    }
};

// What the options of the last input (those after the input before it) say of its pictures.
struct InputPictures {
    InputColours colours;
    std::optional<double> frameRate;  // "-r": the constant rate they are read at
};

InputPictures ReadInputPictures(const std::vector<std::string>& arguments, size_t outputStart)
{
    size_t first = 0;
    size_t lastInput = 0;
    for (size_t i = 0; i + 1 < outputStart; ++i) {
        if (arguments[i] == "-i") {
            first = lastInput;
            lastInput = i + 2;
            ++i;
        }
    }
    InputPictures pictures;
    const std::pair<const char*, std::string InputColours::*> options[] = {
        {"-colorspace", &InputColours::matrix},
        {"-color_primaries", &InputColours::primaries},
        {"-color_trc", &InputColours::transfer},
        {"-color_range", &InputColours::range}};
    for (size_t i = first; i + 1 < lastInput; ++i) {
        if (arguments[i] == "-i") {
            ++i;
            continue;
        }
        for (const auto& [option, member] : options) {
            if (arguments[i] == option)
                pictures.colours.*member = arguments[i + 1];
        }
        if (arguments[i] == "-r")
            pictures.frameRate = ParseRate(arguments[i + 1]);
    }
    return pictures;
}

std::string SetParamsFilter(const InputColours& colours)
{
    std::string filter;
    const std::pair<const char*, const std::string*> parts[] = {{"colorspace", &colours.matrix},
                                                                {"color_primaries", &colours.primaries},
                                                                {"color_trc", &colours.transfer},
                                                                {"range", &colours.range}};
    for (const auto& [name, value] : parts) {
        if (!value->empty())
            filter += (filter.empty() ? "setparams=" : ":") + std::string(name) + "=" + *value;
    }
    return filter;
}

bool IsBt601(const std::string& matrix) { return matrix == "smpte170m" || matrix == "bt470bg"; }

// How a player reads the matrix of an output's pictures.
enum class MatrixReading { FromTags, BySize, AlwaysBt601, NotApplicable };

MatrixReading MatrixReadingOf(const VideoCodecRule* video, Container container,
                              const std::string& destination)
{
    const std::string encoder = video ? video->encoder : "";
    if (container == Container::Gif || IsOneOf(encoder, {"gif", "png", "apng"}))
        return MatrixReading::NotApplicable;  // RGB pictures
    if (IsOneOf(encoder, {"mjpeg", "libwebp", "libwebp_anim"}))
        return MatrixReading::AlwaysBt601;
    if (IsOneOf(encoder, {"libx264", "libx265", "libvpx-vp9", "libaom-av1", "libsvtav1", "librav1e", "prores",
                          "prores_ks", "mpeg2video"}))
        return MatrixReading::FromTags;
    for (const char* ending : {".mp4", ".m4v", ".mov", ".mkv", ".webm"}) {
        if (EndsWithIgnoringCase(destination, ending))
            return MatrixReading::FromTags;  // the container carries the tags
    }
    if (container == Container::WebM)
        return MatrixReading::FromTags;
    return MatrixReading::BySize;
}

// The matrix the output's pictures are to be converted into ("bt709" or "bt601"); empty when
// they are read as they are. outputSize is empty when the output keeps the input's size.
std::string MatrixToConvertInto(MatrixReading reading, const std::string& inputMatrix,
                                const std::optional<FrameSize>& outputSize)
{
    if (inputMatrix.empty())
        return "";
    bool wantBt709 = false;
    switch (reading) {
    case MatrixReading::FromTags:
    case MatrixReading::NotApplicable:
        return "";
    case MatrixReading::AlwaysBt601:
        wantBt709 = false;
        break;
    case MatrixReading::BySize:
        if (!outputSize)
            return "";
        wantBt709 = outputSize->width >= 1280 || outputSize->height > 576;
        break;
    }
    if (wantBt709 ? inputMatrix == "bt709" : IsBt601(inputMatrix))
        return "";
    if (inputMatrix != "bt709" && !IsBt601(inputMatrix))
        return "";  // a matrix the scale filter is not told about here
    return wantBt709 ? "bt709" : "bt601";
}

// ---------------------------------------------------------------------------------------------
// What one output asks for, read from its options before any of them is rewritten
// ---------------------------------------------------------------------------------------------

struct OutputPlan {
    Container container = Container::Other;
    bool gif = false;                       // an animated GIF is written
    const VideoCodecRule* video = nullptr;  // the named video codec, when the table knows it
    std::string audioEncoder;               // encoder for the named audio codec, "" when none is named
    bool amrNarrowBand = false;
    bool windowsMediaAudio = false;  // WMA: its encoders take no sample rate above 48 kHz
    bool hasAudioFilters = false;
    std::vector<std::string> sameQualityArguments;  // what "-sameq" becomes (may be nothing)
    bool qscaleAsRateFactor = false;                // libx264 takes "-qscale N" as "-crf N"
    bool qualityWinsOverBitrate = false;
    bool hasFrameSize = false;
    bool hasSampleRate = false;
    bool hasChannels = false;
    bool hasFormat = false;
    bool hasMaximumRate = false;
    bool hasBuffer = false;
    bool hasDestination = false;
    bool hasBFrames = false;  // the line sets "-bf" itself
    std::string destination;
    InputColours inputColours;  // as the input's options state them
    // RealMedia with the front end's picture buffer, at a known picture rate: the highest video
    // rate the encoder takes, in kbit/s.
    std::optional<long> realMediaRateLimit;
    bool hasFrameRate = false;
    std::string wholeFrameRate;  // the whole-number rate a fractional one is written at, "" to keep it
    MatrixReading matrixReading = MatrixReading::BySize;
};

// What a switch of the dialect becomes; filters from several switches are gathered and
// written as one chain.
struct Translation {
    std::vector<std::string> arguments;
    bool deinterlace = false;
    std::string scale;
    std::optional<FrameSize> scaledSize;  // the size "-s" asked for, as the encoder takes it
    std::string inputColours;             // setparams with the input's colours
    std::string userFilters;              // the line's own "-vf", kept in the one chain
    std::string matrixConversion;         // the matrix to convert the pictures into, "" for none
    std::string frameRate;                // the output's frame rate, made by the chain (see VideoFrameRate)
    bool gifPalette = false;
};

using RuleAction = void (*)(const OutputPlan&, const std::string& value, Translation&);

struct SwitchRule {
    const char* dialectSwitch;
    bool takesValue;
    RuleAction apply;
};

void Emit(Translation& out, std::initializer_list<std::string> arguments)
{
    out.arguments.insert(out.arguments.end(), arguments);
}

void VideoBitrate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.qualityWinsOverBitrate)
        return;
    if (plan.realMediaRateLimit && IsBareNumber(value) && value.size() < 10 &&
        std::stol(value) > *plan.realMediaRateLimit) {
        Emit(out, {"-b:v", std::to_string(*plan.realMediaRateLimit) + "k"});
        return;
    }
    Emit(out, {"-b:v", KiloBits(value)});
}

std::string NearestAmrBitrate(const std::string& value)
{
    std::string number = value;
    if (!number.empty() && (number.back() == 'k' || number.back() == 'K'))
        number.pop_back();
    const std::optional<double> kilobits = ParseNumber(number);
    if (!kilobits)
        return KiloBits(value);
    const double bits = *kilobits * 1000.0;
    const int* nearest =
        std::min_element(std::begin(kAmrBitrates), std::end(kAmrBitrates),
                         [&](int a, int b) { return std::fabs(a - bits) < std::fabs(b - bits); });
    return std::to_string(*nearest);
}

void AudioBitrate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.gif)
        return;
    Emit(out, {"-b:a", plan.amrNarrowBand ? NearestAmrBitrate(value) : KiloBits(value)});
}

void RateInKiloBits(const char* modernSwitch, const std::string& value, Translation& out)
{
    Emit(out, {modernSwitch, KiloBits(value)});
}

void BitrateTolerance(const OutputPlan&, const std::string& value, Translation& out)
{
    RateInKiloBits("-bt", value, out);
}

void MaximumBitrate(const OutputPlan&, const std::string& value, Translation& out)
{
    RateInKiloBits("-maxrate", value, out);
}

// The rate is made by an fps filter in the chain, before the scale, so the pictures dropped or
// repeated are the ones nearest in time: ffmpeg's own rate conversion at the output keeps a
// picture later than the one showing at that moment when it drops pictures, which put the
// sound up to a frame early against the picture (33 ms at 25 fps from 30), and it made one
// picture too many. A GIF's palettes are then made only for the pictures kept. "-r" stays on
// other outputs, so the stream states the rate; there a value that is not a plain number or
// fraction is left to ffmpeg alone, which refuses it, rather than joining the chain.
void VideoFrameRate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.gif) {
        out.frameRate = value;  // the last one counts, as it would for ffmpeg
        return;
    }
    const std::string& rate = plan.wholeFrameRate.empty() ? value : plan.wholeFrameRate;
    out.frameRate = IsPlainRate(rate) ? rate : std::string();
    Emit(out, {"-r", rate});
}

// MPEG-4 Visual pictures in an MPEG program stream carry a time stamp only where a picture is
// the first to start in a 2048-byte packet; a reader dates the others from the rate in the
// stream's header. ffmpeg's encoder states no fixed rate there, only its time base's resolution
// (30000 for 29.97 fps), which a reader cannot take for a rate: those pictures get no time of
// their own and the file reads back short (5.7 s of 6). At a whole rate the resolution is the
// rate. So a fractional rate is written as the nearest whole one, the fps filter repeating a
// picture now and then (one in a thousand from 29.97 to 30), each within half a frame of its time.
std::string WholeFrameRateFor(Container container, const VideoCodecRule* video,
                              std::optional<double> pictureRate)
{
    if (container != Container::MpegProgramStream || !video || !pictureRate ||
        !IsOneOf(video->encoder, {"mpeg4", "libxvid"}))
        return "";
    const double whole = std::max(1.0, std::round(*pictureRate));
    if (std::fabs(whole - *pictureRate) < 1e-9)
        return "";
    return std::to_string(static_cast<long>(whole));
}

void RateControlBuffer(const OutputPlan&, const std::string& value, Translation& out)
{
    RateInKiloBits("-bufsize", value, out);
}

void SameQuality(const OutputPlan& plan, const std::string&, Translation& out)
{
    out.arguments.insert(out.arguments.end(), plan.sameQualityArguments.begin(),
                         plan.sameQualityArguments.end());
}

// "-deinterlace" asks for interlaced pictures to be made progressive. Only frames that are
// interlaced are touched: a deinterlacer run over progressive pictures blurs their detail away
// for nothing (about 10 dB of PSNR on a detailed film) and costs a third of the conversion.
// The deinterlacer refuses pictures of fewer than 3 lines or columns: such a picture is first
// enlarged to 3 (the scale filter passes every other picture through untouched).
const char* const kDeinterlaceWhatIsInterlaced = "scale=w='max(iw,3)':h='max(ih,3)',yadif=deint=interlaced";

void Deinterlace(const OutputPlan&, const std::string&, Translation& out) { out.deinterlace = true; }

void LoopOutput(const OutputPlan&, const std::string& value, Translation& out)
{
    Emit(out, {"-loop", value});
}

void PixelFormat(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.gif && value == "rgb24") {
        out.gifPalette = true;
    } else {
        Emit(out, {"-pix_fmt", value});
    }
}

// "-s" becomes a scale filter inside the one chain: ffmpeg applies an output "-s" after the
// "-vf" filters, which would rescale a GIF's palettised pictures and spoil their colours.
void VideoFrameSize(const OutputPlan& plan, const std::string& value, Translation& out)
{
    const std::optional<FrameSize> size = ParseFrameSize(value);
    if (!size) {
        Emit(out, {"-s", value});  // a size name such as "vga": ffmpeg knows it
        return;
    }
    out.scaledSize = plan.video ? SizeTheEncoderTakes(plan.video->sizes, *size) : *size;
    out.scale = ScaleFilter(*out.scaledSize);
}

void VideoCodec(const OutputPlan& plan, const std::string& value, Translation& out)
{
    const VideoCodecRule* rule = VideoCodecRuleFor(value, plan.container);
    Emit(out, {"-vcodec", rule ? rule->encoder : value});
}

void AudioCodec(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (!plan.gif)
        Emit(out, {"-acodec", AudioEncoderForOutput(value, plan.container)});
}

void QuantiserScale(const OutputPlan& plan, const std::string& value, Translation& out)
{
    const std::optional<double> quantiser = ParseNumber(value);
    if (!plan.qscaleAsRateFactor || !quantiser) {
        Emit(out, {"-qscale", value});
        return;
    }
    const long rateFactor = std::lround(std::clamp(*quantiser, 0.0, 51.0));
    Emit(out, {"-crf", std::to_string(rateFactor)});
}

void SampleRate(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.gif)
        return;
    if (plan.amrNarrowBand)
        Emit(out, {"-ar", "8000"});
    else
        Emit(out, {"-ar", plan.audioEncoder == "libopus" ? OpusSampleRate(value) : value});
}

void Channels(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (!plan.gif)
        Emit(out, {"-ac", plan.amrNarrowBand ? "1" : value});
}

// ffmpeg takes only the last "-vf" of an output: the line's own filters join the one chain.
void VideoFilters(const OutputPlan&, const std::string& value, Translation& out)
{
    out.userFilters += (out.userFilters.empty() ? "" : ",") + value;
}

void ContainerFormat(const OutputPlan&, const std::string& value, Translation& out)
{
    Emit(out, {"-f", value});
}

// The one table of the dialect. Each switch of an output is rewritten by its action; every
// other argument passes through unchanged and in its place. After the switches,
// FinishOutput adds what a rule needs without a switch of its own (the source-size filter,
// AMR's rate and channels, the GIF muxer) and writes the gathered filters as one "-vf".
//
//   -b N            -b:v Nk              dropped when -sameq (or -qscale on libx264) sets
//                                        constant quality, which wins over a bitrate
//   -ab N           -b:a Nk              AMR-NB: the nearest of its eight bitrates
//   -bt N           -bt Nk
//   -maxrate N      -maxrate Nk
//   -bufsize N      -bufsize Nk
//   -sameq          -q:v 2 (quantiser codecs), -crf 18 (libx264, libx265); dropped for others
//                   and when no codec is named (the encoder ffmpeg picks is not known here)
//   -deinterlace    yadif on the frames that are interlaced, first in the filter chain
//   -r N            fps=N in the filter chain, before the scale (the last -r counts); kept as
//                   -r N but on a GIF output. MPEG-4 Visual in MPEG-PS at a fractional rate
//                   (the output's -r, else the input's -r): the nearest whole rate, also when
//                   the line sets none
//   -loop_output N  -loop N
//   -pix_fmt rgb24  on a GIF output: a palette per picture, last in the filter chain
//   -s WxH          scale=W:H in the filter chain, rounded to a size the codec takes
//   -vcodec NAME    xvid→libxvid, h264→libx264, hevc→libx265, vp8→libvpx, vp9→libvpx-vp9,
//                   h263→flv in an FLV file; gif in a GIF; libvpx (VP8) in WebM for a codec
//                   other than VP8/VP9; others unchanged
//   -acodec NAME    mp3→libmp3lame, amr_nb→libopencore_amrnb, vorbis→libvorbis,
//                   opus→libopus; in MPEG-PS a codec it cannot carry (aac) becomes mp2; in WebM
//                   one other than Vorbis/Opus becomes libvorbis; dropped in a GIF
//   -qscale N       libx264: -crf N (0..51); others unchanged
//   -ar N, -ac N    AMR-NB: 8000 and 1 (added when missing); libopus: the nearest rate it
//                   takes; dropped in a GIF (-ab too), which holds no sound: -an
//   -f NAME         unchanged (read to know the container)
//   -vf CHAIN       joins the one chain, after the deinterlacer and before the scale
// and, without a switch of their own:
//   a named codec with size limits and no -s: the source's own size cropped to whole multiples
//                   (resampled to the nearest of a codec's fixed sizes)
//   AMR-NB without -ar/-ac: -ar 8000 -ac 1
//   WMA (named, or ASF's own sound) without -ar or -af: -af aformat with the rates up to 48 kHz,
//                   so a sound above them is resampled to the nearest instead of failing
//   a GIF destination not named ".gif" and no -f: -f gif
//   libx264 in AVI: -bf 0 unless the line sets -bf (AVI cannot say that pictures are reordered)
//   RealMedia: -maxrate 100000k -bufsize 400k when not given, so no picture outgrows the
//   muxer's 64 KB packets; -sameq there is -b:v 8000k, and with that buffer every video rate
//   is at most 400k per picture of the rate (the output's -r, else the input's -r)
//   colour options of the input: setparams at the head of the chain, and a matrix conversion
//                   where the output is read by its size and another size asks for another
//                   matrix (see "Colours")
const SwitchRule kSwitchRules[] = {
    {"-b", true, VideoBitrate},
    {"-ab", true, AudioBitrate},
    {"-bt", true, BitrateTolerance},
    {"-maxrate", true, MaximumBitrate},
    {"-bufsize", true, RateControlBuffer},
    {"-sameq", false, SameQuality},
    {"-r", true, VideoFrameRate},
    {"-deinterlace", false, Deinterlace},
    {"-loop_output", true, LoopOutput},
    {"-pix_fmt", true, PixelFormat},
    {"-s", true, VideoFrameSize},
    {"-vcodec", true, VideoCodec},
    {"-acodec", true, AudioCodec},
    {"-qscale", true, QuantiserScale},
    {"-ar", true, SampleRate},
    {"-ac", true, Channels},
    {"-f", true, ContainerFormat},
    {"-vf", true, VideoFilters},
};

const SwitchRule* FindSwitchRule(const std::string& argument)
{
    for (const SwitchRule& rule : kSwitchRules) {
        if (argument == rule.dialectSwitch)
            return &rule;
    }
    return nullptr;
}

// The options of the output (dialect switch → its value; "" for switches without one) and
// where they end: at the destination, or at the end when the line names none.
struct OutputOptions {
    std::map<std::string, std::string> switches;
    size_t optionsEnd = 0;
};

// The last argument is the destination when it is a file name ("-" included) and not the
// value of a switch.
bool EndsWithDestination(const std::vector<std::string>& arguments)
{
    bool lastIsValue = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        lastIsValue = false;
        const SwitchRule* rule = FindSwitchRule(arguments[i]);
        if (rule && rule->takesValue && i + 1 < arguments.size()) {
            ++i;
            lastIsValue = true;
        }
    }
    if (arguments.empty() || lastIsValue)
        return false;
    return arguments.back() == "-" || arguments.back().rfind('-', 0) != 0;
}

OutputOptions ReadOutputOptions(const std::vector<std::string>& arguments)
{
    OutputOptions options;
    options.optionsEnd = EndsWithDestination(arguments) ? arguments.size() - 1 : arguments.size();
    for (size_t i = 0; i < options.optionsEnd; ++i) {
        const SwitchRule* rule = FindSwitchRule(arguments[i]);
        if (!rule)
            continue;
        if (!rule->takesValue) {
            options.switches[arguments[i]] = "";
        } else if (i + 1 < options.optionsEnd) {
            options.switches[arguments[i]] = arguments[i + 1];
            ++i;
        }
    }
    return options;
}

std::vector<std::string> SameQualityArguments(const VideoCodecRule* video, Container container,
                                              std::optional<long> realMediaRateLimit)
{
    if (container == Container::RealMedia) {
        const long rate = std::min(kRealMediaSameQualityKiloBits,
                                   realMediaRateLimit.value_or(kRealMediaSameQualityKiloBits));
        return {"-b:v", std::to_string(rate) + "k"};
    }
    if (!video)
        return {};
    switch (video->quality) {
    case QualityMode::Quantiser:
        return {"-q:v", "2"};
    case QualityMode::RateFactor:
        return {"-crf", "18"};
    case QualityMode::None:
        break;
    }
    return {};
}

// The container a forced format or else the destination's name picks. The engine takes a
// destination ending in the three letters "gif" for an animated GIF.
Container ContainerOf(const std::string& format, const std::string& destination)
{
    auto named = [&](std::initializer_list<const char*> endings) {
        return std::any_of(endings.begin(), endings.end(),
                           [&](const char* ending) { return EndsWithIgnoringCase(destination, ending); });
    };
    if (format == "gif" || (format.empty() && named({"gif"})))
        return Container::Gif;
    if (format == "flv" || (format.empty() && named({".flv"})))
        return Container::Flv;
    if (format == "mpeg" || format == "vob" || (format.empty() && named({".mpg", ".mpeg", ".vob"})))
        return Container::MpegProgramStream;
    if (format == "webm" || (format.empty() && named({".webm"})))
        return Container::WebM;
    if (format == "rm" || (format.empty() && named({".rm", ".rmvb"})))
        return Container::RealMedia;
    if (format == "avi" || (format.empty() && named({".avi"})))
        return Container::Avi;
    return Container::Other;
}

OutputPlan PlanOutput(const std::vector<std::string>& arguments, const OutputOptions& options,
                      const InputPictures& input)
{
    const auto& given = options.switches;
    auto valueOf = [&](const char* name) {
        const auto found = given.find(name);
        return found == given.end() ? std::string() : found->second;
    };
    auto has = [&](const char* name) { return given.count(name) > 0; };

    OutputPlan plan;
    plan.hasDestination = options.optionsEnd < arguments.size();
    if (plan.hasDestination)
        plan.destination = arguments.back();
    plan.container = ContainerOf(valueOf("-f"), plan.destination);
    plan.gif = plan.container == Container::Gif;

    if (has("-vcodec")) {
        plan.video = VideoCodecRuleFor(valueOf("-vcodec"), plan.container);
    }
    if (has("-acodec")) {
        plan.audioEncoder = AudioEncoderForOutput(valueOf("-acodec"), plan.container);
        plan.amrNarrowBand = plan.audioEncoder == "libopencore_amrnb";
    }
    // ASF's own sound is WMA version 2.
    const bool asf =
        valueOf("-f") == "asf" || (!has("-f") && (EndsWithIgnoringCase(plan.destination, ".wmv") ||
                                                  EndsWithIgnoringCase(plan.destination, ".wma") ||
                                                  EndsWithIgnoringCase(plan.destination, ".asf")));
    plan.windowsMediaAudio =
        !plan.gif && (IsOneOf(plan.audioEncoder, {"wmav1", "wmav2"}) || (!has("-acodec") && asf));
    plan.hasAudioFilters = std::find(arguments.begin(), arguments.begin() + options.optionsEnd, "-af") !=
                           arguments.begin() + options.optionsEnd;
    plan.hasMaximumRate = has("-maxrate");
    plan.hasBuffer = has("-bufsize");
    // The encoder runs at the output's rate where the line sets one, else at the input's.
    const std::optional<double> pictureRate = has("-r") ? ParseRate(valueOf("-r")) : input.frameRate;
    if (plan.container == Container::RealMedia && !plan.hasBuffer && pictureRate)
        plan.realMediaRateLimit = RealMediaRateLimit(*pictureRate);
    plan.hasFrameRate = has("-r");
    plan.hasBFrames = std::find(arguments.begin(), arguments.begin() + options.optionsEnd, "-bf") !=
                      arguments.begin() + options.optionsEnd;
    plan.wholeFrameRate = WholeFrameRateFor(plan.container, plan.video, pictureRate);
    if (has("-sameq"))
        plan.sameQualityArguments = SameQualityArguments(plan.video, plan.container, plan.realMediaRateLimit);
    plan.qscaleAsRateFactor = plan.video && std::string(plan.video->encoder) == "libx264" && has("-qscale") &&
                              ParseNumber(valueOf("-qscale")).has_value();
    plan.qualityWinsOverBitrate = !plan.sameQualityArguments.empty() || plan.qscaleAsRateFactor;
    plan.hasFrameSize = has("-s");
    plan.hasSampleRate = has("-ar");
    plan.hasChannels = has("-ac");
    plan.hasFormat = has("-f");
    plan.matrixReading = MatrixReadingOf(plan.video, plan.container, plan.destination);
    plan.inputColours = input.colours;
    return plan;
}

std::string FilterChain(const Translation& translation)
{
    std::vector<std::string> filters;
    if (!translation.inputColours.empty())
        filters.push_back(translation.inputColours);
    if (translation.deinterlace)
        filters.push_back(kDeinterlaceWhatIsInterlaced);
    if (!translation.userFilters.empty())
        filters.push_back(translation.userFilters);
    if (!translation.frameRate.empty())
        filters.push_back("fps=" + translation.frameRate);
    const std::string& matrix = translation.matrixConversion;
    if (!translation.scale.empty()) {
        // A resampling to a size converts the matrix in the same pass.
        const bool sizeOnly = translation.scaledSize && !matrix.empty();
        filters.push_back(translation.scale + (sizeOnly ? ":out_color_matrix=" + matrix : ""));
        if (!matrix.empty() && !sizeOnly)
            filters.push_back("scale=out_color_matrix=" + matrix);
    } else if (!matrix.empty()) {
        filters.push_back("scale=out_color_matrix=" + matrix);
    }
    // The scale filter converts the values but leaves the pictures' tags as they were.
    if (!matrix.empty())
        filters.push_back(std::string("setparams=colorspace=") + (matrix == "bt709" ? "bt709" : "smpte170m"));
    if (translation.gifPalette)
        filters.push_back(kGifPaletteFilter);
    std::string chain;
    for (const std::string& filter : filters)
        chain += (chain.empty() ? "" : ",") + filter;
    return chain;
}

void FinishOutput(const OutputPlan& plan, Translation& out)
{
    out.inputColours = SetParamsFilter(plan.inputColours);
    out.matrixConversion = MatrixToConvertInto(plan.matrixReading, plan.inputColours.matrix, out.scaledSize);
    if (plan.video && !plan.hasFrameSize)
        out.scale = SourceSizeFilter(plan.video->sizes);
    if (!plan.wholeFrameRate.empty() && !plan.hasFrameRate) {
        Emit(out, {"-r", plan.wholeFrameRate});
        out.frameRate = plan.wholeFrameRate;
    }
    if (plan.amrNarrowBand && !plan.hasSampleRate)
        Emit(out, {"-ar", "8000"});
    if (plan.amrNarrowBand && !plan.hasChannels)
        Emit(out, {"-ac", "1"});
    if (plan.windowsMediaAudio && !plan.hasSampleRate && !plan.hasAudioFilters)
        Emit(out, {"-af", kWindowsMediaSampleRates});
    // ffmpeg picks the container from the name; a GIF named without ".gif" needs it named.
    if (plan.gif && !plan.hasFormat && !EndsWithIgnoringCase(plan.destination, ".gif")) {
        Emit(out, {"-f", "gif"});
    }
    if (plan.gif)
        Emit(out, {"-an"});
    // AVI keeps no presentation times: H.264's reordered B-frames put the picture two frames
    // (70 ms at 29.97 fps) behind its sound, which pictures in their own order do not.
    if (plan.container == Container::Avi && plan.video && std::string(plan.video->encoder) == "libx264" &&
        !plan.hasBFrames)
        Emit(out, {"-bf", "0"});
    if (plan.container == Container::RealMedia) {
        if (!plan.hasMaximumRate)
            Emit(out, {"-maxrate", kRealMediaMaximumRate});
        if (!plan.hasBuffer)
            Emit(out, {"-bufsize", kRealMediaPictureBuffer});
    }
    const std::string chain = FilterChain(out);
    if (!chain.empty())
        Emit(out, {"-vf", chain});
}

std::vector<std::string> TranslateOutputArguments(const std::vector<std::string>& arguments,
                                                  const InputPictures& input)
{
    const OutputOptions options = ReadOutputOptions(arguments);
    const OutputPlan plan = PlanOutput(arguments, options, input);
    Translation out;
    for (size_t i = 0; i < options.optionsEnd; ++i) {
        const SwitchRule* rule = FindSwitchRule(arguments[i]);
        const bool valueMissing = rule && rule->takesValue && i + 1 >= options.optionsEnd;
        if (!rule || valueMissing) {
            out.arguments.push_back(arguments[i]);
            continue;
        }
        const std::string value = rule->takesValue ? arguments[++i] : std::string();
        rule->apply(plan, value, out);
    }
    FinishOutput(plan, out);
    if (plan.hasDestination)
        out.arguments.push_back(plan.destination);
    return out.arguments;
}

// Options before an input belong to that input; the output's options start after the last
// "-i" and its file.
size_t OutputSectionStart(const std::vector<std::string>& arguments)
{
    size_t start = 0;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i") {
            start = i + 2;
            ++i;
        }
    }
    return start;
}

}  // namespace

std::vector<std::string> TranslateArguments(const std::vector<std::string>& arguments)
{
    const size_t start = OutputSectionStart(arguments);
    std::vector<std::string> result(arguments.begin(), arguments.begin() + start);
    const std::vector<std::string> output = TranslateOutputArguments(
        {arguments.begin() + start, arguments.end()}, ReadInputPictures(arguments, start));
    result.insert(result.end(), output.begin(), output.end());
    return result;
}

}  // namespace tarnivo::ffmpeg_front_end
