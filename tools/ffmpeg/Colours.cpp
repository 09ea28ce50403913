// How the pictures' colours are read and converted.
//
// The input's colours (its options before "-i", else the facts the job gives in the
// environment) say how its pictures are to be read. ffmpeg's JPEG decoder, which reads Tarnivo's
// intermediate, calls every picture BT.601, so they become a setparams filter at the head of
// the chain: from there the filters' conversions (to RGB for a GIF, to another matrix below) and
// the encoder's colour tags follow them.
//
// A file whose codec and container cannot say which matrix its pictures are in is read by
// players as its size suggests: BT.709 for HD, BT.601 below; JPEG and WebP pictures always as
// BT.601. Such an output of another size than its input gets its pictures converted into the
// matrix it will be read in. Where the output's size is not known here (the source's own size),
// it is the input's, whose matrix Tarnivo already chose for that size.
#include "Rules.h"

#include "MediaColours.h"

namespace tarnivo::ffmpeg_front_end {

namespace {

using media::MatrixReading;

std::string setParamsFilter(const media::InputFacts& colours)
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

// How players read the matrix of the output's pictures: as their encoder's stream states it,
// else as the container's tags do, else by their size.
MatrixReading matrixReadingOf(const OutputPlan& plan)
{
    const media::VideoCodecRow* encoder =
        plan.video ? plan.video : media::FindVideoCodec(plan.PictureEncoder());
    if (encoder && encoder->matrix != MatrixReading::BySize)
        return encoder->matrix;
    return plan.container && plan.container->carriesColourTags ? MatrixReading::FromTags
                                                               : MatrixReading::BySize;
}

// The matrix the output's pictures are to be converted into ("bt709" or "bt601"); empty when
// they are read as they are. outputSize is empty when the output keeps the input's size.
std::string matrixToConvertInto(MatrixReading reading, const std::string& inputMatrix,
                                const std::optional<media::PictureSize>& outputSize)
{
    if (media::ScaleFilterMatrix(inputMatrix).empty())
        return "";  // none stated, or one the scale filter is not told about here
    std::string wanted;
    switch (reading) {
    case MatrixReading::FromTags:
    case MatrixReading::Rgb:
        return "";
    case MatrixReading::AlwaysBt601:
        wanted = "smpte170m";
        break;
    case MatrixReading::BySize:
        if (!outputSize)
            return "";
        wanted = media::MatrixPlayersAssume(outputSize->width, outputSize->height);
        break;
    }
    return media::SameMatrix(wanted, inputMatrix) ? "" : media::ScaleFilterMatrix(wanted);
}

// The encoder the output's options name for its pictures ("-vcodec", "-c:v", "-codec:v"), the
// last one counting; "" when they name none.
std::string namedPictureEncoder(const OutputPlan& plan)
{
    std::string named;
    for (size_t i = 0; i + 1 < plan.options.size(); ++i) {
        const std::string& option = plan.options[i];
        if (option == "-vcodec" || option == "-c:v" || option == "-codec:v")
            named = plan.options[i + 1];
    }
    return named.empty() ? named : media::VideoEncoderOf(named);
}

}  // namespace

void AddFullRangeKept(const OutputPlan& plan, Translation& out)
{
    // A lossless file holds the frames exactly only when their values pass unchanged: FFV1 takes
    // no full-range format, and ffmpeg would squeeze full-range values into limited range.
    out.fullRangeKept = plan.input.range == "pc" && namedPictureEncoder(plan) == "ffv1";
}

void AddInputColours(const OutputPlan& plan, Translation& out)
{
    out.inputColours = setParamsFilter(plan.input);
}

void AddMatrixConversion(const OutputPlan& plan, Translation& out)
{
    out.matrixConversion = matrixToConvertInto(matrixReadingOf(plan), plan.input.matrix, out.scaledSize);
}

}  // namespace tarnivo::ffmpeg_front_end
