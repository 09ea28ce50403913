#include "FramePictures.h"

#include "FrameMaking.h"

#include "MediaColours.h"

namespace tarnivo {

namespace {

QString rangeOf(const SourceFacts& source)
{
    if (!source.colours.range.isEmpty())
        return source.colours.range;
    return source.pixelFormat.startsWith(QLatin1String("yuvj")) ? QStringLiteral("pc") : QStringLiteral("tv");
}

// PQ or HLG into SDR BT.709 of limited range: light made linear, the BT.2020 gamut brought into
// BT.709's, the highlights compressed (hable), then the BT.709 transfer and matrix. The
// source's own tags are used where it states them.
QString toneMapping(const SourceFacts& source)
{
    const PictureColours& stated = source.colours;
    const QString matrix = stated.matrix.isEmpty() ? QStringLiteral("bt2020nc") : stated.matrix;
    const QString primaries = stated.primaries.isEmpty() ? QStringLiteral("bt2020") : stated.primaries;
    return QStringLiteral("zscale=tin=%1:min=%2:pin=%3:rin=%4:t=linear:npl=100,format=gbrpf32le,"
                          "zscale=p=bt709,tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,"
                          "format=yuv420p")
        .arg(stated.transfer, matrix, primaries,
             rangeOf(source) == QLatin1String("pc") ? QStringLiteral("full") : QStringLiteral("limited"));
}

}  // namespace

bool IsHighDefinition(int width, int height) { return media::IsHighDefinition(width, height); }

QString MatrixPlayersAssume(int width, int height)
{
    return QString::fromStdString(media::MatrixPlayersAssume(width, height));
}

FrameColours ChooseFrameColours(const SourceFacts& source)
{
    const QString assumed = MatrixPlayersAssume(source.width, source.height);
    FrameColours frames;
    frames.primaries = source.colours.primaries;
    frames.transfer = source.colours.transfer;
    if (media::IsHdrTransfer(source.colours.transfer.toStdString())) {
        frames.matrix = frames.primaries = frames.transfer = QStringLiteral("bt709");
        frames.filters = toneMapping(source);
        frames.toneMapped = true;
        return frames;
    }
    frames.matrix = assumed;
    if (media::IsRgbPixelFormat(source.pixelFormat.toStdString())) {
        frames.filters = QStringLiteral("scale=out_color_matrix=") +
                         QString::fromStdString(media::ScaleFilterMatrix(assumed.toStdString()));
        return frames;
    }
    // Grey pictures become full-range frames of their own; YUV ones keep their range.
    frames.fullRange =
        rangeOf(source) == QLatin1String("pc") && !source.pixelFormat.startsWith(QLatin1String("gray"));
    const QString stated = source.colours.matrix;
    if (stated.isEmpty() || media::SameMatrix(stated.toStdString(), assumed.toStdString())) {
        // Read as it states, or as players read a film that states nothing: nothing to convert.
        if (!stated.isEmpty())
            frames.matrix = stated;
        return frames;
    }
    const QString from = QString::fromStdString(media::ColorspaceFilterName(stated.toStdString()));
    if (from.isEmpty())
        return frames;  // a matrix no filter here knows: read as players would read it
    // Only the matrix is converted (fast): between BT.709 and BT.601 the primaries and the transfer
    // are as good as the same. BT.2020 and SMPTE 240M get their gamut and transfer converted too.
    const bool matrixOnly = from == QLatin1String("bt709") || media::IsBt601Matrix(stated.toStdString());
    const QString range = rangeOf(source);
    frames.filters = QStringLiteral("colorspace=iall=%1:all=%2:irange=%3:range=%3:fast=%4")
                         .arg(from, assumed, range, matrixOnly ? QStringLiteral("1") : QStringLiteral("0"));
    if (!matrixOnly)
        frames.primaries = frames.transfer = assumed;
    return frames;
}

FieldOrder FieldOrderToUndo(const SourceFacts& source)
{
    return source.width < 3 || source.height < 3 ? FieldOrder::Progressive : source.fieldOrder;
}

QString FramePictureFilters(FieldOrder fieldOrder, const FrameColours& colours)
{
    QString deinterlacing;
    switch (fieldOrder) {
    case FieldOrder::Progressive:
        break;
    case FieldOrder::TopFieldFirst:
        deinterlacing = QStringLiteral("yadif=mode=send_frame:parity=tff:deint=all");
        break;
    case FieldOrder::BottomFieldFirst:
        deinterlacing = QStringLiteral("yadif=mode=send_frame:parity=bff:deint=all");
        break;
    case FieldOrder::Unknown:
        // Only the frames the decoder marks interlaced.
        deinterlacing = QStringLiteral("yadif=mode=send_frame:parity=auto:deint=interlaced");
        break;
    }
    if (deinterlacing.isEmpty() || colours.filters.isEmpty())
        return deinterlacing + colours.filters;
    return deinterlacing + QLatin1Char(',') + colours.filters;
}

QStringList FrameWriterOptions(const std::string& quality)
{
    QStringList options;
    for (const std::string& option : media::FrameWriterOptions(quality))
        options << QString::fromStdString(option);
    return options;
}

}  // namespace tarnivo
