// The picture's size.
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
#include "Rules.h"

#include "MediaText.h"

#include <algorithm>
#include <cmath>

namespace tarnivo::ffmpeg_front_end {

namespace {

using media::PictureSize;
using media::SizeRule;

std::optional<PictureSize> parseFrameSize(const std::string& text)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const std::string width = text.substr(0, x);
    const std::string height = text.substr(x + 1);
    if (!media::IsBareNumber(width) || !media::IsBareNumber(height) || width.size() > 5 || height.size() > 5)
        return std::nullopt;
    const PictureSize size{std::stoi(width), std::stoi(height)};
    if (size.width == 0 || size.height == 0)
        return std::nullopt;
    return size;
}

// The nearest multiple of `multiple`, halves rounded up (as ffmpeg's round() does), and
// never below one multiple.
int roundToMultiple(int value, int multiple)
{
    return std::max(multiple, (value + multiple / 2) / multiple * multiple);
}

// Between two neighbouring fixed sizes the choice flips at the geometric mean of their areas,
// so the nearest size is the nearest in scale: 320x240 goes to 352x288, not down to 176x144.
std::vector<long long> fixedSizeAreaThresholds(const std::vector<PictureSize>& sizes)
{
    std::vector<long long> thresholds;
    for (size_t i = 0; i + 1 < sizes.size(); ++i) {
        const double lower = double(sizes[i].width) * sizes[i].height;
        const double upper = double(sizes[i + 1].width) * sizes[i + 1].height;
        thresholds.push_back(static_cast<long long>(std::sqrt(lower * upper)));
    }
    return thresholds;
}

PictureSize nearestFixedSize(const std::vector<PictureSize>& sizes, PictureSize size)
{
    const std::vector<long long> thresholds = fixedSizeAreaThresholds(sizes);
    const long long area = static_cast<long long>(size.width) * size.height;
    size_t index = 0;
    while (index < thresholds.size() && area >= thresholds[index])
        ++index;
    return sizes[index];
}

PictureSize sizeTheEncoderTakes(const SizeRule& rule, PictureSize size)
{
    if (!rule.fixedSizes.empty())
        return nearestFixedSize(rule.fixedSizes, size);
    return {roundToMultiple(size.width, rule.multiple), roundToMultiple(size.height, rule.multiple)};
}

std::string scaleFilter(PictureSize size)
{
    return "scale=" + std::to_string(size.width) + ":" + std::to_string(size.height);
}

// if(lt(iw*ih,T1),V1,if(lt(iw*ih,T2),V2,...Vn)) with V the widths or the heights.
std::string fixedSizeExpression(const std::vector<PictureSize>& sizes, bool width)
{
    const std::vector<long long> thresholds = fixedSizeAreaThresholds(sizes);
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
std::string cropToMultipleFilter(int multiple)
{
    const std::string m = std::to_string(multiple);
    return "scale=w='max(iw," + m + ")':h='max(ih," + m + ")',crop=w='floor(iw/" + m + ")*" + m +
           "':h='floor(ih/" + m + ")*" + m + "'";
}

// The filter that brings the source's own size, whatever it is, to one the encoder takes;
// empty when the encoder takes any size.
std::string sourceSizeFilter(const SizeRule& rule)
{
    if (rule.TakesAnySize())
        return "";
    if (!rule.fixedSizes.empty()) {
        return "scale=w='" + fixedSizeExpression(rule.fixedSizes, true) + "':h='" +
               fixedSizeExpression(rule.fixedSizes, false) + "'";
    }
    return cropToMultipleFilter(rule.multiple);
}

}  // namespace

// "-s" becomes a scale filter inside the one chain: ffmpeg applies an output "-s" after the
// "-vf" filters, which would rescale a GIF's palettised pictures and spoil their colours.
void VideoFrameSize(const OutputPlan& plan, const std::string& value, Translation& out)
{
    const std::optional<PictureSize> size = parseFrameSize(value);
    if (!size) {
        out.Emit({"-s", value});  // a size name such as "vga": ffmpeg knows it
        return;
    }
    out.scaledSize = plan.video ? sizeTheEncoderTakes(plan.video->sizes, *size) : *size;
    out.scale = scaleFilter(*out.scaledSize);
}

void AddSourceSize(const OutputPlan& plan, Translation& out)
{
    if (plan.video && !plan.Has("-s"))
        out.scale = sourceSizeFilter(plan.video->sizes);
}

}  // namespace tarnivo::ffmpeg_front_end
