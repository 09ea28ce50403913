#include "MediaCodecs.h"

#include "MediaContainers.h"

#include <algorithm>

namespace tarnivo::media {

namespace {

using Q = QualityMode;
using M = MatrixReading;

template <typename Row> bool standsFor(const Row& row, const std::string& name)
{
    return name == row.encoder ||
           std::any_of(row.names.begin(), row.names.end(), [&](const char* known) { return name == known; });
}

template <typename Row> const Row* findRow(const std::vector<Row>& rows, const std::string& name)
{
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return standsFor(row, name); });
    return found == rows.end() ? nullptr : &*found;
}

}  // namespace

const std::vector<VideoCodecRow>& VideoCodecs()
{
    static const SizeRule kAny{1, {}};
    static const SizeRule kEven{2, {}};
    static const SizeRule kMultipleOf4{4, {}};
    static const SizeRule kMultipleOf16{16, {}};
    static const SizeRule kH263{1, {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}};
    static const SizeRule kH261{1, {{176, 144}, {352, 288}}};
    // Players read H.265, VP9, AV1 and ProRes only in these containers: the others refuse them,
    // or take them in a form that players do not read (H.265 in AVI or MPEG, ProRes in AVI).
    static const std::vector<const char*> kHevcContainers = {"mp4", "mov", "matroska"};
    static const std::vector<const char*> kVp9Av1Containers = {"webm", "matroska", "mp4", "ivf"};
    static const std::vector<const char*> kProResContainers = {"mov", "matroska"};
    // clang-format off
    static const std::vector<VideoCodecRow> rows = {
        // names              encoder         sizes          quality        matrix          B-frames  only in
        {{"mpeg4"},           "mpeg4",        kAny,          Q::Quantiser,  M::BySize,      false,    {}},
        {{"xvid"},            "libxvid",      kEven,         Q::Quantiser,  M::BySize,      false,    {}},
        {{"h264"},            "libx264",      kEven,         Q::RateFactor, M::FromTags,    true,     {}},
        {{"hevc", "h265"},    "libx265",      kEven,         Q::RateFactor, M::FromTags,    true,     kHevcContainers},
        {{},                  "h263",         kH263,         Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "h263p",        kMultipleOf4,  Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "h261",         kH261,         Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "flv",          kAny,          Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "rv10",         kMultipleOf16, Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "rv20",         kMultipleOf4,  Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "wmv1",         kEven,         Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "wmv2",         kEven,         Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "mpeg1video",   kAny,          Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "mpeg2video",   kAny,          Q::Quantiser,  M::FromTags,    false,    {}},
        {{},                  "msmpeg4",      kAny,          Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "msmpeg4v2",    kAny,          Q::Quantiser,  M::BySize,      false,    {}},
        {{},                  "mjpeg",        kAny,          Q::Quantiser,  M::AlwaysBt601, false,    {}},
        {{},                  "cinepak",      kMultipleOf4,  Q::None,       M::BySize,      false,    {}},
        {{},                  "roqvideo",     kMultipleOf16, Q::None,       M::BySize,      false,    {}},
        {{},                  "huffyuv",      kEven,         Q::None,       M::BySize,      false,    {}},
        {{},                  "gif",          kAny,          Q::None,       M::Rgb,         false,    {}},
        {{},                  "png",          kAny,          Q::None,       M::Rgb,         false,    {}},
        {{},                  "apng",         kAny,          Q::None,       M::Rgb,         false,    {}},
        {{},                  "libwebp",      kAny,          Q::None,       M::AlwaysBt601, false,    {}},
        {{},                  "libwebp_anim", kAny,          Q::None,       M::AlwaysBt601, false,    {}},
        {{"vp8"},             "libvpx",       kAny,          Q::None,       M::AlwaysBt601, false,    {}},
        {{"vp9"},             "libvpx-vp9",   kAny,          Q::None,       M::FromTags,    false,    kVp9Av1Containers},
        // ffmpeg takes "av1" for the first AV1 encoder it has, libaom-av1.
        {{"av1"},             "libaom-av1",   kAny,          Q::None,       M::FromTags,    false,    kVp9Av1Containers},
        {{},                  "libsvtav1",    kAny,          Q::None,       M::FromTags,    false,    kVp9Av1Containers},
        {{},                  "librav1e",     kAny,          Q::None,       M::FromTags,    false,    kVp9Av1Containers},
        {{},                  "prores",       kAny,          Q::None,       M::FromTags,    false,    kProResContainers},
        {{},                  "prores_ks",    kAny,          Q::None,       M::FromTags,    false,    kProResContainers},
        {{},                  "prores_aw",    kAny,          Q::None,       M::FromTags,    false,    kProResContainers},
    };
    // clang-format on
    return rows;
}

const std::vector<AudioCodecRow>& AudioCodecs()
{
    // The WMA encoders state no rates of their own, so ffmpeg would hand them a film's 96 kHz,
    // which they refuse: every usual rate up to their 48 kHz ceiling.
    static const std::vector<int> kWmaRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    // AMR-NB has eight modes: the encoder refuses every other bitrate.
    static const std::vector<int> kAmrBitrates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
    // clang-format off
    static const std::vector<AudioCodecRow> rows = {
        // names       encoder              sample rates                         states them  channels  bitrates      only in
        {{"mp3"},      "libmp3lame",        {},                                  false,       0,        {},           {}},
        {{"amr_nb"},   "libopencore_amrnb", {8000},                              false,       1,        kAmrBitrates, {}},
        {{"vorbis"},   "libvorbis",         {},                                  false,       0,        {},           {}},
        {{"opus"},     "libopus",           {8000, 12000, 16000, 24000, 48000},  true,        0,        {},
         {"webm", "matroska", "mp4", "ogg", "opus"}},
        {{},           "wmav1",             kWmaRates,                           false,       0,        {},           {}},
        {{},           "wmav2",             kWmaRates,                           false,       0,        {},           {}},
    };
    // clang-format on
    return rows;
}

const VideoCodecRow* FindVideoCodec(const std::string& name) { return findRow(VideoCodecs(), name); }

const AudioCodecRow* FindAudioCodec(const std::string& name) { return findRow(AudioCodecs(), name); }

std::string VideoEncoderOf(const std::string& name)
{
    const VideoCodecRow* row = FindVideoCodec(name);
    return row ? row->encoder : name;
}

std::string AudioEncoderOf(const std::string& name)
{
    const AudioCodecRow* row = FindAudioCodec(name);
    return row ? row->encoder : name;
}

namespace {

// The output's part of an argument list: after the last input's "-i" and its file.
size_t outputStart(const std::vector<std::string>& arguments)
{
    size_t start = 0;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i")
            start = ++i + 1;
    }
    return start;
}

struct NamedEncoders {
    std::string video;
    std::string audio;
    bool videoNamed = false;
    bool audioNamed = false;
    bool noVideo = false;
    bool noAudio = false;
    std::string format;
};

NamedEncoders readNamedEncoders(const std::vector<std::string>& arguments, size_t from, size_t end)
{
    NamedEncoders named;
    for (size_t i = from; i < end; ++i) {
        const std::string& option = arguments[i];
        if (option == "-vn" || option == "-an") {
            (option == "-vn" ? named.noVideo : named.noAudio) = true;
            continue;
        }
        if (i + 1 >= end)
            break;
        const bool video = option == "-vcodec" || option == "-c:v" || option == "-codec:v";
        const bool audio = option == "-acodec" || option == "-c:a" || option == "-codec:a";
        const bool both = option == "-c" || option == "-codec";
        if (video || both) {
            named.video = arguments[i + 1];
            named.videoNamed = true;
        }
        if (audio || both) {
            named.audio = arguments[i + 1];
            named.audioNamed = true;
        }
        if (option == "-f")
            named.format = arguments[i + 1];
        if (video || audio || both || option == "-f")
            ++i;
    }
    return named;
}

}  // namespace

std::vector<std::string> EncodersUsed(const std::vector<std::string>& translatedArguments)
{
    const size_t start = outputStart(translatedArguments);
    if (start >= translatedArguments.size())
        return {};
    const std::string& destination = translatedArguments.back();
    const NamedEncoders named = readNamedEncoders(translatedArguments, start, translatedArguments.size() - 1);
    const ContainerRow* container = ContainerFor(named.format, destination);
    std::vector<std::string> encoders;
    auto add = [&](bool off, bool isNamed, const std::string& name, const char* containerDefault) {
        const std::string encoder = isNamed ? name : container ? containerDefault : "";
        if (!off && !encoder.empty() && encoder != "copy")
            encoders.push_back(encoder);
    };
    add(named.noVideo, named.videoNamed, VideoEncoderOf(named.video),
        container ? container->defaultVideoEncoder : "");
    add(named.noAudio || (container && !container->carriesSound), named.audioNamed,
        AudioEncoderOf(named.audio), container ? container->defaultAudioEncoder : "");
    return encoders;
}

}  // namespace tarnivo::media
