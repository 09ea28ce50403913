// The output's one filter chain, and the switches that are filters of their own.
#include "Rules.h"

namespace tarnivo::ffmpeg_front_end {

namespace {

// "-deinterlace" asks for interlaced pictures to be made progressive. Only frames that are
// interlaced are touched: a deinterlacer run over progressive pictures blurs their detail away
// for nothing (about 10 dB of PSNR on a detailed film) and costs a third of the conversion.
// The deinterlacer refuses pictures of fewer than 3 lines or columns: such a picture is first
// enlarged to 3 (the scale filter passes every other picture through untouched).
const char* const kDeinterlaceWhatIsInterlaced = "scale=w='max(iw,3)':h='max(ih,3)',yadif=deint=interlaced";

// A palette made from each picture itself gives a GIF its right colours. Made per picture, it
// holds no picture back: a palette for the whole film would keep every decoded picture in
// memory until the film's end (gigabytes for a minute of HD).
const char* const kGifPaletteFilter =
    "split[tv_a][tv_b];[tv_a]palettegen=stats_mode=single[tv_p];[tv_b][tv_p]paletteuse=new=1";

}  // namespace

void Deinterlace(const OutputPlan&, const std::string&, Translation& out) { out.deinterlace = true; }

// ffmpeg takes only the last "-vf" of an output: the line's own filters join the one chain.
void VideoFilters(const OutputPlan&, const std::string& value, Translation& out)
{
    out.userFilters += (out.userFilters.empty() ? "" : ",") + value;
}

void PixelFormat(const OutputPlan& plan, const std::string& value, Translation& out)
{
    if (plan.PictureEncoder() == "gif" && value == "rgb24")
        out.gifPalette = true;
    else
        out.Emit({"-pix_fmt", value});
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
    // Last before the encoder: into its format without squeezing the values into limited range.
    if (translation.fullRangeKept)
        filters.push_back("scale=out_range=pc");
    if (translation.gifPalette)
        filters.push_back(kGifPaletteFilter);
    std::string chain;
    for (const std::string& filter : filters)
        chain += (chain.empty() ? "" : ",") + filter;
    return chain;
}

}  // namespace tarnivo::ffmpeg_front_end
