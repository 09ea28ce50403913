// Draws the program's artwork at build time: the hand cursor "HAND-M.CUR" (a 32 x 32 Windows
// cursor file, 32 bits with alpha) and the application icon "tarnivo.png" (256 x 256).
// Usage: tarnivo-artwork OUTPUT-FOLDER
#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

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

// The icon: a film strip on a dark tile with a large "play backwards" arrow.
QImage drawIcon()
{
    QImage image(256, 256, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x2a, 0x44));
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    painter.setBrush(QColor(0xe8, 0xec, 0xf2));
    painter.drawRect(QRectF(28, 58, 200, 140));
    painter.setBrush(QColor(0x1f, 0x2a, 0x44));
    for (int hole = 0; hole < 8; ++hole) {
        painter.drawRoundedRect(QRectF(38 + hole * 23.5, 66, 12, 12), 2, 2);
        painter.drawRoundedRect(QRectF(38 + hole * 23.5, 178, 12, 12), 2, 2);
    }
    painter.setBrush(QColor(0xf0, 0x8a, 0x24));
    for (const double tipX : {56.0, 120.0}) {
        QPainterPath arrow;
        arrow.moveTo(tipX, 128);
        arrow.lineTo(tipX + 68, 88);
        arrow.lineTo(tipX + 68, 168);
        arrow.closeSubpath();
        painter.drawPath(arrow);
    }
    return image;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnivo-artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!writeFile(folder + "/HAND-M.CUR", cursorFile(drawHand(), kHotSpotX, kHotSpotY))) {
        std::fprintf(stderr, "tarnivo-artwork: cannot write %s/HAND-M.CUR\n", argv[1]);
        return 1;
    }
    if (!drawIcon().save(folder + "/tarnivo.png", "PNG")) {
        std::fprintf(stderr, "tarnivo-artwork: cannot write %s/tarnivo.png\n", argv[1]);
        return 1;
    }
    return 0;
}
