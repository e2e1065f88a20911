// The .ico and .bmp writers: 16-colour icons with their masks, and 24-bit bitmaps.

#include "IconFiles.h"

#include <QtEndian>

namespace draw {

namespace {

// Little-endian fields appended.
template <class Field> void append(QByteArray& out, Field v) {
    char bytes[sizeof(Field)];
    qToLittleEndian(v, bytes);
    out.append(bytes, sizeof(Field));
}
void u8(QByteArray& out, unsigned v) {
    out.append(char(v & 0xFF));
}
void u16(QByteArray& out, unsigned v) {
    append(out, quint16(v));
}
void u32(QByteArray& out, quint32 v) {
    append(out, v);
}

int nearestColour(QRgb rgb) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 16; ++i) {
        const QColor& c = standardColours()[std::size_t(i)];
        const long dr = qRed(rgb) - c.red(), dg = qGreen(rgb) - c.green(),
                   db = qBlue(rgb) - c.blue();
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

// BITMAPINFOHEADER, its 16-colour palette, the 4-bit colour rows and the 1-bit mask rows,
// all bottom-up.
QByteArray iconImage(const QImage& picture) {
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    const int colourStride = (w * 4 + 31) / 32 * 4;
    const int maskStride = (w + 31) / 32 * 4;
    QByteArray out;
    u32(out, 40);
    u32(out, quint32(w));
    u32(out, quint32(h * 2)); // colour rows and mask rows
    u16(out, 1);
    u16(out, 4);
    u32(out, 0); // uncompressed
    u32(out, quint32((colourStride + maskStride) * h));
    u32(out, 0);
    u32(out, 0);
    u32(out, 16);
    u32(out, 0);
    for (const QColor& c : standardColours()) {
        u8(out, unsigned(c.blue()));
        u8(out, unsigned(c.green()));
        u8(out, unsigned(c.red()));
        u8(out, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(colourStride, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb p = img.pixel(x, y);
            const int index = qAlpha(p) < 128 ? 0 : nearestColour(p);
            row[x / 2] = char(row[x / 2] | (x % 2 ? index : index << 4));
        }
        out += row;
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(img.pixel(x, y)) < 128) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

} // namespace

const std::array<QColor, 16>& standardColours() {
    static const std::array<QColor, 16> colours{
        QColor(0, 0, 0),       QColor(128, 0, 0),   QColor(0, 128, 0),   QColor(128, 128, 0),
        QColor(0, 0, 128),     QColor(128, 0, 128), QColor(0, 128, 128), QColor(192, 192, 192),
        QColor(128, 128, 128), QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(255, 255, 0),
        QColor(0, 0, 255),     QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 255, 255)};
    return colours;
}

QByteArray icoFile(const std::vector<QImage>& pictures) {
    std::vector<QByteArray> images;
    for (const QImage& p : pictures)
        images.push_back(iconImage(p));
    QByteArray out;
    u16(out, 0);
    u16(out, 1); // icon
    u16(out, unsigned(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        u8(out, unsigned(pictures[i].width()) & 0xFF); // 256 is written as 0
        u8(out, unsigned(pictures[i].height()) & 0xFF);
        u8(out, 16);
        u8(out, 0);
        u16(out, 1);
        u16(out, 4);
        u32(out, quint32(images[i].size()));
        u32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        out += image;
    return out;
}

QByteArray bmpFile(const QImage& picture) {
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    const int stride = (w * 3 + 3) / 4 * 4;
    const quint32 pixels = quint32(stride * h);
    QByteArray out;
    out += "BM";
    u32(out, 54 + pixels);
    u32(out, 0);
    u32(out, 54);
    u32(out, 40);
    u32(out, quint32(w));
    u32(out, quint32(h));
    u16(out, 1);
    u16(out, 24);
    u32(out, 0);
    u32(out, pixels);
    u32(out, 2835); // 72 dots per inch
    u32(out, 2835);
    u32(out, 0);
    u32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb p = img.pixel(x, y);
            row[3 * x] = char(qBlue(p));
            row[3 * x + 1] = char(qGreen(p));
            row[3 * x + 2] = char(qRed(p));
        }
        out += row;
    }
    return out;
}

} // namespace draw
