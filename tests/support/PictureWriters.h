#pragma once
// The picture files Qt cannot write, made by hand: a GIF, and a cursor (an icon file
// with a hot spot). Used by the sample pictures, the loader tests and the fuzz seeds.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QtEndian>

namespace writers {

// Appends a little-endian 16-bit field.
inline void append16(QByteArray& b, int v) {
    char field[2];
    qToLittleEndian(quint16(v), field);
    b.append(field, 2);
}

// A GIF of a picture in at most 256 colours: 9-bit LZW codes, kept from growing by a
// clear code every 254 pixels, which every reader accepts.
inline QByteArray gif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out("GIF89a");
    append16(out, image.width());
    append16(out, image.height());
    out.append(char(0xF7)); // a global table of 256 colours
    out.append(char(0));
    out.append(char(0));
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < image.colorCount() ? image.color(i) : qRgb(0, 0, 0);
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(',');
    append16(out, 0);
    append16(out, 0);
    append16(out, image.width());
    append16(out, image.height());
    out.append(char(0));
    out.append(char(8)); // minimum code size
    QByteArray data;
    quint32 bits = 0;
    int count = 0, run = 0;
    const auto code = [&](int c) {
        bits |= quint32(c) << count;
        for (count += 9; count >= 8; count -= 8) {
            data.append(char(bits & 0xFF));
            bits >>= 8;
        }
    };
    code(256);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            code(line[x]);
            if (++run == 254) {
                code(256);
                run = 0;
            }
        }
    }
    code(257);
    if (count > 0) data.append(char(bits & 0xFF));
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    out.append(';');
    return out;
}

// A cursor file: an icon file whose type says cursor, with its hot spot in place of the
// planes and bit count of its one entry. Empty when Qt wrote no icon.
inline QByteArray cursor(const QImage& image, int hotX, int hotY) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    if (bytes.size() < 22) return {};
    bytes[2] = 2;
    qToLittleEndian(quint16(hotX), bytes.data() + 10);
    qToLittleEndian(quint16(hotY), bytes.data() + 12);
    return bytes;
}

} // namespace writers
