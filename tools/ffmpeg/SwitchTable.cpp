#include "SwitchTable.h"

#include "Rules.h"

namespace tarnivo::ffmpeg_front_end {

namespace {

// Each switch of an output is rewritten by its rule, in its place; every other argument passes
// through unchanged and in its place. Filters from several switches join the output's one chain.
// clang-format off
const SwitchRule kSwitchRules[] = {
    {"-b", true, VideoBitrate,
     "-b:v Nk; dropped when -sameq (or -qscale on a rate-factor encoder) sets constant quality, which wins "
     "over a bitrate; in a container with a picture buffer (RealMedia) at most one buffer per picture of "
     "the rate"},
    {"-ab", true, AudioBitrate,
     "-b:a Nk; an encoder with fixed bitrates (AMR-NB) gets the nearest; dropped in a container without sound"},
    {"-bt", true, BitrateTolerance, "-bt Nk"},
    {"-maxrate", true, MaximumBitrate, "-maxrate Nk"},
    {"-bufsize", true, RateControlBuffer, "-bufsize Nk"},
    {"-sameq", false, SameQuality,
     "-q:v 2 for quantiser encoders, -crf 18 for rate-factor ones (libx264, libx265), nothing for others "
     "and when no codec is named (the encoder ffmpeg picks is not known here); in a container with a "
     "picture buffer (RealMedia) -b:v 8000k, or one buffer per picture of the rate when that is less"},
    {"-r", true, VideoFrameRate,
     "fps=N in the filter chain, before the scale (the last -r counts), and -r N where the container states "
     "a rate; an encoder that a container dates only at whole rates (MPEG-4 Visual in MPEG-PS) at a "
     "fractional rate gets the nearest whole one; a value that is no number is left to ffmpeg alone"},
    {"-deinterlace", false, Deinterlace,
     "yadif on the frames that are interlaced, first in the chain after the input's colours (a picture under "
     "3 lines or columns enlarged to 3 first)"},
    {"-loop_output", true, LoopOutput, "-loop N"},
    {"-pix_fmt", true, PixelFormat, "rgb24 for the gif encoder: a palette made from each picture, last in the chain"},
    {"-s", true, VideoFrameSize,
     "scale=W:H in the filter chain, at the nearest size the encoder takes (a size name such as vga is left "
     "to ffmpeg)"},
    {"-vcodec", true, VideoCodec,
     "the encoder the media table names for it (xvid: libxvid, h264: libx264, vp8: libvpx ...), or the "
     "container's substitute for one it cannot carry (h263 in FLV: flv; any in a GIF: gif; in WebM: libvpx)"},
    {"-acodec", true, AudioCodec,
     "the encoder the media table names for it (mp3: libmp3lame, amr_nb: libopencore_amrnb ...), or the "
     "container's substitute (in MPEG-PS: mp2; in WebM: libvorbis); dropped in a container without sound"},
    {"-qscale", true, QuantiserScale, "-crf N (0 to 51) for rate-factor encoders; others unchanged"},
    {"-ar", true, SampleRate,
     "the nearest rate the sound encoder takes (AMR-NB: 8000, Opus, WMA); dropped in a container without sound"},
    {"-ac", true, Channels,
     "the channels the sound encoder takes (AMR-NB: 1); dropped in a container without sound"},
    {"-f", true, ContainerFormat, "unchanged (it names the container)"},
    {"-vf", true, VideoFilters, "joins the one chain, after the deinterlacer and before the rate and the scale"},
};

// What an output gets without a switch of its own, in this order, after its switches; then the
// gathered filters are written as its one "-vf".
const AdditionRule kAdditionRules[] = {
    {"the input's stated colours (its options, else the facts given): setparams at the head of the chain",
     AddInputColours},
    {"a matrix conversion where the output is read by its size and that size asks for another matrix than "
     "the input's (JPEG and WebP pictures: always BT.601)", AddMatrixConversion},
    {"full-range input into FFV1 (lossless, which takes no full-range format): the values kept as they are, "
     "tagged full range (scale=out_range=pc, last in the chain)", AddFullRangeKept},
    {"a named codec with size limits and no -s: the source's own size cropped to whole multiples, or "
     "resampled to the nearest of a codec's fixed sizes", AddSourceSize},
    {"an encoder a container dates only at whole rates, at a fractional input rate and no -r: -r and fps at "
     "the nearest whole rate", AddWholeFrameRate},
    {"a sound encoder that takes only some rates and states none, without -ar: -ar R for its only rate, else "
     "-af aformat with them all unless the line has its own -af", AddSampleRates},
    {"a sound encoder that takes one channel count, without -ac: -ac N", AddChannels},
    {"a container chosen by a name ffmpeg does not know it by, without -f: -f NAME", AddMuxerName},
    {"a container without sound: -an", AddNoSound},
    {"a container without presentation times and an encoder that reorders pictures, without -bf: -bf 0",
     AddPicturesInOrder},
    {"a container with a picture buffer (RealMedia): -maxrate 100000k and -bufsize of the buffer unless given",
     AddPictureBuffer},
};
// clang-format on

}  // namespace

const SwitchRule* FindSwitchRule(const std::string& argument)
{
    for (const SwitchRule& rule : kSwitchRules) {
        if (argument == rule.dialectSwitch)
            return &rule;
    }
    return nullptr;
}

void ApplyAdditions(const OutputPlan& plan, Translation& out)
{
    for (const AdditionRule& rule : kAdditionRules)
        rule.apply(plan, out);
}

}  // namespace tarnivo::ffmpeg_front_end
