#include "MediaContainers.h"

#include "MediaCodecs.h"
#include "MediaText.h"

#include <algorithm>

namespace tarnivo::media {

namespace {

bool contains(const std::vector<const char*>& list, const std::string& text)
{
    return std::any_of(list.begin(), list.end(), [&](const char* item) { return text == item; });
}

// One row of the table, written as the container and its quirks.
class Row {
public:
    Row(const char* name, std::vector<const char*> extensions, const char* video, const char* audio)
    {
        m_row.name = name;
        m_row.extensions = std::move(extensions);
        m_row.defaultVideoEncoder = video;
        m_row.defaultAudioEncoder = audio;
    }
    Row& Formats(std::vector<const char*> formats) { return set(m_row.formats, std::move(formats)); }
    Row& OnlyVideo(std::vector<const char*> encoders, const char* substitute)
    {
        m_row.videoSubstitute = substitute;
        return set(m_row.videoEncoders, std::move(encoders));
    }
    Row& RefusesVideo(std::vector<const char*> encoders, const char* substitute)
    {
        m_row.videoSubstitute = substitute;
        return set(m_row.refusedVideo, std::move(encoders));
    }
    Row& OnlySound(std::vector<const char*> encoders, const char* substitute)
    {
        m_row.audioSubstitute = substitute;
        return set(m_row.audioEncoders, std::move(encoders));
    }
    Row& NoSound() { return set(m_row.carriesSound, false); }
    Row& NoStatedRate() { return set(m_row.statesFrameRate, false); }
    Row& ColourTags() { return set(m_row.carriesColourTags, true); }
    Row& NoPresentationTimes() { return set(m_row.keepsPresentationTimes, false); }
    Row& WholeRatesFor(std::vector<const char*> encoders)
    {
        return set(m_row.wholeRateEncoders, std::move(encoders));
    }
    Row& PictureBuffer(int kiloBits) { return set(m_row.pictureBufferKiloBits, kiloBits); }
    Row& DefaultSoundFollowsItsRules() { return set(m_row.defaultSoundFollowsItsRules, true); }
    Row& AnyNameEndingIn(const char* ending) { return set(m_row.anyNameEndingIn, ending); }
    operator ContainerRow() const { return m_row; }

private:
    template <typename T, typename V> Row& set(T& member, V value)
    {
        member = std::move(value);
        return *this;
    }
    ContainerRow m_row;
};

}  // namespace

const std::vector<ContainerRow>& Containers()
{
    // clang-format off
    static const std::vector<ContainerRow> rows = {
        // A GIF holds GIF pictures only, each with its own duration, and no sound.
        Row("gif", {".gif"}, "gif", "").AnyNameEndingIn("gif").OnlyVideo({"gif"}, "gif").NoSound().NoStatedRate(),
        // FLV carries H.263 only in its Sorenson form (flv); ffmpeg refuses H.263 and MPEG-4
        // Visual there as unofficial.
        Row("flv", {".flv"}, "flv", "libmp3lame").RefusesVideo({"h263", "mpeg4"}, "flv"),
        // The MPEG program stream carries only MPEG audio, AC-3, DTS and 16-bit PCM (not AAC):
        // others are written as MPEG audio layer II, its own sound. MPEG-4 Visual pictures there
        // carry a time stamp only where a picture starts a 2048-byte packet; a reader dates the
        // others from the stream's rate, which the encoder states only at a whole rate.
        Row("mpeg", {".mpg", ".mpeg", ".vob"}, "mpeg1video", "mp2").Formats({"vob"})
            .OnlySound({"mp2", "mp2fixed", "libtwolame", "libmp3lame", "ac3", "ac3_fixed", "dca", "pcm_dvd",
                        "pcm_s16be"}, "mp2")
            .WholeRatesFor({"mpeg4", "libxvid"}),
        // WebM carries VP8, VP9 and AV1 pictures, Vorbis and Opus sound.
        Row("webm", {".webm"}, "libvpx-vp9", "libopus")
            .OnlyVideo({"libvpx", "libvpx-vp9", "libaom-av1", "libsvtav1", "librav1e"}, "libvpx")
            .OnlySound({"libvorbis", "libopus"}, "libvorbis").ColourTags(),
        // The RealMedia muxer refuses packets above 64 KB ("Muxing packets larger than 64 kB"),
        // and one picture is one packet: a buffer of 400 kbit (50 KB) keeps every picture under it.
        Row("rm", {".rm", ".rmvb"}, "rv10", "ac3").PictureBuffer(400),
        // AVI keeps no presentation times: reordered pictures would show out of time.
        Row("avi", {".avi"}, "mpeg4", "libmp3lame").NoPresentationTimes(),
        // ASF's own sound is WMA, whose encoders take no rate above 48 kHz.
        Row("asf", {".wmv", ".wma", ".asf"}, "msmpeg4", "wmav2").DefaultSoundFollowsItsRules(),
        Row("mp4", {".mp4"}, "libx264", "aac").ColourTags(),
        // ffmpeg writes ".m4v" with its iPod muxer, which takes H.264 but not H.265.
        Row("ipod", {".m4v", ".m4a"}, "libx264", "aac").ColourTags(),
        Row("mov", {".mov", ".qt"}, "libx264", "aac").ColourTags(),
        Row("matroska", {".mkv"}, "libx264", "libvorbis").ColourTags(),
        Row("3gp", {".3gp"}, "h263", "libopencore_amrnb"),
        Row("3g2", {".3g2"}, "h263", "libopencore_amrnb"),
        Row("ogg", {".ogg"}, "libtheora", "libvorbis"),
        Row("opus", {".opus"}, "", "libopus"),
        Row("ivf", {".ivf"}, "libvpx", "").NoSound(),
        Row("wav", {".wav"}, "", "pcm_s16le"),
        Row("mp3", {".mp3"}, "", "libmp3lame"),
    };
    // clang-format on
    return rows;
}

const ContainerRow* ContainerFor(const std::string& format, const std::string& destination)
{
    const std::vector<ContainerRow>& rows = Containers();
    auto first = [&](auto chooses) {
        const auto found = std::find_if(rows.begin(), rows.end(), chooses);
        return found == rows.end() ? nullptr : &*found;
    };
    if (!format.empty())
        return first(
            [&](const ContainerRow& row) { return format == row.name || contains(row.formats, format); });
    if (const ContainerRow* named =
            first([&](const ContainerRow& row) { return NameTellsContainer(row, destination); }))
        return named;
    return first([&](const ContainerRow& row) {
        return *row.anyNameEndingIn && EndsWithIgnoringCase(destination, row.anyNameEndingIn);
    });
}

bool NameTellsContainer(const ContainerRow& container, const std::string& destination)
{
    return std::any_of(container.extensions.begin(), container.extensions.end(),
                       [&](const char* extension) { return EndsWithIgnoringCase(destination, extension); });
}

bool IsAnimatedGifName(const std::string& destination)
{
    const ContainerRow* gif = ContainerFor("gif", "");
    return EndsWithIgnoringCase(destination, gif->anyNameEndingIn);
}

std::string VideoEncoderIn(const ContainerRow* container, const std::string& encoder)
{
    if (!container || encoder == "copy")
        return encoder;
    const bool refused = contains(container->refusedVideo, encoder) ||
                         (!container->videoEncoders.empty() && !contains(container->videoEncoders, encoder));
    return refused ? container->videoSubstitute : encoder;
}

std::string AudioEncoderIn(const ContainerRow* container, const std::string& encoder)
{
    if (!container || encoder == "copy" || container->audioEncoders.empty() ||
        contains(container->audioEncoders, encoder))
        return encoder;
    return container->audioSubstitute;
}

namespace {

std::optional<CodecMisfit> misfit(const char* kind, const std::string& codec,
                                  const std::vector<const char*>& onlyIn, const std::string& extension)
{
    CodecMisfit found{kind, codec, {}};
    bool fits = false;
    for (const char* name : onlyIn) {
        const ContainerRow* container = ContainerFor(name, "");
        for (const char* fitting : container->extensions) {
            found.extensions.emplace_back(fitting);
            fits = fits || Lowered(extension) == fitting;
        }
    }
    if (fits || onlyIn.empty())
        return std::nullopt;
    return found;
}

}  // namespace

std::optional<CodecMisfit> CodecThatDoesNotFit(const std::string& videoCodec, const std::string& audioCodec,
                                               const std::string& extension)
{
    if (const VideoCodecRow* video = FindVideoCodec(Lowered(videoCodec))) {
        if (auto found = misfit("video", videoCodec, video->onlyIn, extension))
            return found;
    }
    if (const AudioCodecRow* audio = FindAudioCodec(Lowered(audioCodec)))
        return misfit("sound", audioCodec, audio->onlyIn, extension);
    return std::nullopt;
}

}  // namespace tarnivo::media
