// Draws the program's artwork at build time: the hand cursor "HAND-M.CUR" (a 32 x 32 Windows
// cursor file, 32 bits with alpha), the application icon "tarnivo.png" (256 x 256) beside it, and
// the icon theme's copies: "tarnivo.png" in every usual hicolor size and "tarnivo.svg".
// Usage: tarnivo-artwork OUTPUT-FOLDER ICON-THEME-FOLDER
#include <QByteArray>
#include <QColor>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

constexpr int kCursorSize = 32;
constexpr int kHotSpotX = 12;
constexpr int kHotSpotY = 1;

// A pointing hand: the index finger up (its tip is the hot spot), three folded fingers, the
// thumb on the left and the palm.
QImage drawHand()
{
    QImage image(kCursorSize, kCursorSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);                        // the parts overlap: their union is the hand
    hand.addRoundedRect(QRectF(9.5, 1.5, 5, 17), 2.5, 2.5);   // index finger
    hand.addRoundedRect(QRectF(14, 10.5, 4.5, 9), 2.2, 2.2);  // middle finger
    hand.addRoundedRect(QRectF(18, 11.5, 4.5, 9), 2.2, 2.2);  // ring finger
    hand.addRoundedRect(QRectF(22, 12.5, 4.5, 9), 2.2, 2.2);  // little finger
    hand.addRoundedRect(QRectF(3.5, 15.5, 8, 5), 2.5, 2.5);   // thumb
    hand.addRoundedRect(QRectF(8.5, 15, 18, 14.5), 4, 4);     // palm
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(hand.simplified());
    return image;
}

void appendLittleEndian(QByteArray& bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

// A ".cur" file with one 32-bit image: the directory, the bitmap header (twice the height, for
// the colour and the mask), the rows bottom-up in BGRA, then the 1-bit mask (1 = transparent).
QByteArray cursorFile(const QImage& image, int hotX, int hotY)
{
    const int width = image.width();
    const int height = image.height();
    const int maskRowBytes = ((width + 31) / 32) * 4;
    const quint32 imageBytes = 40 + width * height * 4 + maskRowBytes * height;
    QByteArray bytes;
    appendLittleEndian(bytes, 0, 2);  // reserved
    appendLittleEndian(bytes, 2, 2);  // type: cursor
    appendLittleEndian(bytes, 1, 2);  // one image
    bytes.append(char(width)).append(char(height)).append(char(0)).append(char(0));
    appendLittleEndian(bytes, hotX, 2);
    appendLittleEndian(bytes, hotY, 2);
    appendLittleEndian(bytes, imageBytes, 4);
    appendLittleEndian(bytes, 22, 4);  // the image follows the 6 + 16 bytes of directory
    appendLittleEndian(bytes, 40, 4);
    appendLittleEndian(bytes, width, 4);
    appendLittleEndian(bytes, height * 2, 4);
    appendLittleEndian(bytes, 1, 2);   // planes
    appendLittleEndian(bytes, 32, 2);  // bits per pixel
    for (int field = 0; field < 6; ++field)
        appendLittleEndian(bytes, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            appendLittleEndian(bytes, image.pixel(x, y), 4);  // 0xAARRGGBB: B, G, R, A
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(maskRowBytes, 0);
        for (int x = 0; x < width; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        bytes.append(row);
    }
    return bytes;
}

// The icon, drawn on a 256 x 256 grid: a film strip on a dark tile with a large "play backwards"
// arrow. One list of parts serves the pictures of every size and the scalable file.
constexpr int kIconGrid = 256;
// Below this size a sprocket hole would be less than a pixel and only greys the strip.
constexpr int kSmallestSizeWithHoles = 32;
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

struct IconPart {
    QPainterPath outline;
    QColor colour;
    bool isDetail;  // left out of the small sizes
};

std::vector<IconPart> iconParts()
{
    const QColor tile(0x1f, 0x2a, 0x44);
    std::vector<IconPart> parts;
    QPainterPath background;
    background.addRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    parts.push_back({background, tile, false});
    QPainterPath strip;
    strip.addRect(QRectF(28, 58, 200, 140));
    parts.push_back({strip, QColor(0xe8, 0xec, 0xf2), false});
    QPainterPath holes;
    for (int hole = 0; hole < 8; ++hole) {
        holes.addRoundedRect(QRectF(38 + hole * 23.5, 66, 12, 12), 2, 2);
        holes.addRoundedRect(QRectF(38 + hole * 23.5, 178, 12, 12), 2, 2);
    }
    parts.push_back({holes, tile, true});
    QPainterPath arrows;
    arrows.setFillRule(Qt::WindingFill);  // the two arrows overlap: their union is filled
    for (const double tipX : {56.0, 120.0}) {
        arrows.moveTo(tipX, 128);
        arrows.lineTo(tipX + 68, 88);
        arrows.lineTo(tipX + 68, 168);
        arrows.closeSubpath();
    }
    parts.push_back({arrows, QColor(0xf0, 0x8a, 0x24), false});
    return parts;
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.scale(double(size) / kIconGrid, double(size) / kIconGrid);
    for (const IconPart& part : iconParts()) {
        if (part.isDetail && size < kSmallestSizeWithHoles)
            continue;
        painter.setBrush(part.colour);
        painter.drawPath(part.outline);
    }
    return image;
}

// SVG path data for a painter path: its moves, lines and cubic curves in absolute coordinates.
QByteArray svgPathData(const QPainterPath& path)
{
    QByteArray data;
    auto point = [](const QPainterPath::Element& element) {
        return QByteArray::number(element.x, 'g', 6) + ' ' + QByteArray::number(element.y, 'g', 6);
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            data += (i == 0 ? "M" : "Z M") + point(element);
        } else if (element.isLineTo()) {
            data += " L" + point(element);
        } else if (element.isCurveTo() && i + 2 < path.elementCount()) {
            data += " C" + point(element) + ' ' + point(path.elementAt(i + 1)) + ' ' +
                    point(path.elementAt(i + 2));
            i += 2;  // the curve's second control point and its end
        }
    }
    return data + " Z";
}

QByteArray iconSvg()
{
    const QByteArray grid = QByteArray::number(kIconGrid);
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                     grid + "\" height=\"" + grid + "\" viewBox=\"0 0 " + grid + ' ' + grid + "\">\n";
    for (const IconPart& part : iconParts()) {
        const QByteArray fillRule = part.outline.fillRule() == Qt::WindingFill ? "nonzero" : "evenodd";
        svg += "  <path fill=\"" + part.colour.name().toLatin1() + "\" fill-rule=\"" + fillRule + "\" d=\"" +
               svgPathData(part.outline) + "\"/>\n";
    }
    return svg + "</svg>\n";
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool writeThemeIcons(const QString& themeFolder)
{
    for (const int size : kIconSizes) {
        const QString folder = themeFolder + QStringLiteral("/%1x%1/apps").arg(size);
        if (!QDir().mkpath(folder) || !drawIcon(size).save(folder + "/tarnivo.png", "PNG")) {
            std::fprintf(stderr, "tarnivo-artwork: cannot write %s/tarnivo.png\n", qPrintable(folder));
            return false;
        }
    }
    const QString scalable = themeFolder + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable) || !writeFile(scalable + "/tarnivo.svg", iconSvg())) {
        std::fprintf(stderr, "tarnivo-artwork: cannot write %s/tarnivo.svg\n", qPrintable(scalable));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarnivo-artwork OUTPUT-FOLDER ICON-THEME-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!writeFile(folder + "/HAND-M.CUR", cursorFile(drawHand(), kHotSpotX, kHotSpotY))) {
        std::fprintf(stderr, "tarnivo-artwork: cannot write %s/HAND-M.CUR\n", argv[1]);
        return 1;
    }
    if (!drawIcon(kIconGrid).save(folder + "/tarnivo.png", "PNG")) {
        std::fprintf(stderr, "tarnivo-artwork: cannot write %s/tarnivo.png\n", argv[1]);
        return 1;
    }
    return writeThemeIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
