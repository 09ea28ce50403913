#include "FramePictures.h"

namespace tarnivo {

namespace {

bool isBt601(const QString& matrix)
{
    return matrix == QLatin1String("smpte170m") || matrix == QLatin1String("bt470bg");
}

// Same matrix: the BT.601 ones differ only in their names.
bool sameMatrix(const QString& a, const QString& b) { return a == b || (isBt601(a) && isBt601(b)); }

bool isHdrTransfer(const QString& transfer)
{
    return transfer == QLatin1String("smpte2084") || transfer == QLatin1String("arib-std-b67");
}

// Pictures stored as RGB (or as indices into an RGB palette) have no matrix of their own.
bool isRgb(const QString& pixelFormat)
{
    for (const char* kind : {"rgb", "bgr", "gbr", "pal8", "bayer"}) {
        if (pixelFormat.contains(QLatin1String(kind)))
            return true;
    }
    return false;
}

QString rangeOf(const SourceFacts& source)
{
    if (!source.colours.range.isEmpty())
        return source.colours.range;
    return source.pixelFormat.startsWith(QLatin1String("yuvj")) ? QStringLiteral("pc") : QStringLiteral("tv");
}

// The colorspace filter's name of a matrix with its usual primaries and transfer; empty when
// the filter does not know it.
QString colorspaceFilterName(const QString& matrix)
{
    if (matrix == QLatin1String("bt709") || matrix == QLatin1String("smpte170m") ||
        matrix == QLatin1String("smpte240m"))
        return matrix;
    if (matrix == QLatin1String("bt470bg"))
        return QStringLiteral("bt601-6-625");
    if (matrix == QLatin1String("bt2020nc") || matrix == QLatin1String("bt2020c"))
        return QStringLiteral("bt2020");
    return QString();
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

bool IsHighDefinition(int width, int height) { return width >= 1280 || height > 576; }

QString MatrixPlayersAssume(int width, int height)
{
    return IsHighDefinition(width, height) ? QStringLiteral("bt709") : QStringLiteral("smpte170m");
}

FrameColours ChooseFrameColours(const SourceFacts& source)
{
    const QString assumed = MatrixPlayersAssume(source.width, source.height);
    FrameColours frames;
    frames.primaries = source.colours.primaries;
    frames.transfer = source.colours.transfer;
    if (isHdrTransfer(source.colours.transfer)) {
        frames.matrix = frames.primaries = frames.transfer = QStringLiteral("bt709");
        frames.filters = toneMapping(source);
        frames.toneMapped = true;
        return frames;
    }
    frames.matrix = assumed;
    if (isRgb(source.pixelFormat)) {
        frames.filters =
            QStringLiteral("scale=out_color_matrix=") +
            (assumed == QLatin1String("bt709") ? QStringLiteral("bt709") : QStringLiteral("bt601"));
        return frames;
    }
    const QString stated = source.colours.matrix;
    if (stated.isEmpty() || sameMatrix(stated, assumed)) {
        // Read as it states, or as players read a film that states nothing: nothing to convert.
        if (!stated.isEmpty())
            frames.matrix = stated;
        return frames;
    }
    const QString from = colorspaceFilterName(stated);
    if (from.isEmpty())
        return frames;  // a matrix no filter here knows: read as players would read it
    // Only the matrix is converted (fast): between BT.709 and BT.601 the primaries and the transfer
    // are as good as the same. BT.2020 and SMPTE 240M get their gamut and transfer converted too.
    const bool matrixOnly = from == QLatin1String("bt709") || isBt601(stated);
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

QStringList FrameWriterOptions()
{
    return {QStringLiteral("-qscale"), QStringLiteral("1"),       QStringLiteral("-qmin"),
            QStringLiteral("1"),       QStringLiteral("-strict"), QStringLiteral("-1")};
}

}  // namespace tarnivo
