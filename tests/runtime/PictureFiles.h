#pragma once
// Pictures for the loader and renderer tests, made in memory: a 64 x 48 picture, red on
// the left half and blue on the right, in each of the eight formats the loader reads.

#include "MetafileWriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

namespace pictures {

inline const QColor Red(220, 20, 30);
inline const QColor Blue(20, 40, 210);
constexpr int Width = 64;
constexpr int Height = 48;

inline QImage halves() {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Blue);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width / 2; ++x) image.setPixelColor(x, y, Red);
    return image;
}

// Little-endian fields written over the bytes at `at`.
inline void put16(QByteArray& b, qsizetype at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
inline void put32(QByteArray& b, qsizetype at, quint32 v) {
    put16(b, at, int(v & 0xFFFF));
    put16(b, at + 2, int(v >> 16));
}

inline QByteArray encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A GIF of a picture in at most 256 colours, written by hand (Qt reads GIF but does not
// write it): 9-bit LZW codes, kept from growing by a clear code every 254 pixels.
inline QByteArray gif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out("GIF89a");
    const auto put16 = [&](int v) {
        out.append(char(v & 0xFF));
        out.append(char(v >> 8));
    };
    put16(image.width());
    put16(image.height());
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
    put16(0);
    put16(0);
    put16(image.width());
    put16(image.height());
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
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            code(image.constScanLine(y)[x]);
            if (++run == 254) {
                code(256);
                run = 0;
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

// A cursor: an icon file whose type says cursor, the hot spot where an icon has its planes
// and bit count.
inline QByteArray cursor(const QImage& image, int hotX, int hotY) {
    QByteArray bytes = encoded(image, "ICO");
    bytes[2] = 2;
    bytes[10] = char(hotX);
    bytes[11] = 0;
    bytes[12] = char(hotY);
    bytes[13] = 0;
    return bytes;
}

// The metafiles: 15 logical units to the pixel (1440 to the inch), so 64 x 48 pixels.
inline QByteArray wmf() {
    samples::WmfWriter w(Width * 15, Height * 15);
    w.colours(Blue, Blue, 0);
    w.rectangle({0, 0, Width * 15, Height * 15});
    w.colours(Red, Red, 0);
    w.rectangle({0, 0, Width * 15 / 2, Height * 15});
    return w.bytes();
}

inline QByteArray emf() {
    samples::EmfWriter w(Width, Height);
    w.colours(Blue, Blue, 0);
    w.rectangle({0, 0, Width, Height});
    w.colours(Red, Red, 0);
    w.rectangle({0, 0, Width / 2, Height});
    return w.bytes();
}

// The picture in the format its file name's extension names.
inline QByteArray file(const QString& name) {
    const QString ext = name.section(QLatin1Char('.'), -1).toLower();
    if (ext == QLatin1String("jpg")) return encoded(halves(), "JPEG", 95);
    if (ext == QLatin1String("bmp") || ext == QLatin1String("dib")) return encoded(halves(), "BMP");
    if (ext == QLatin1String("gif")) return gif(halves());
    if (ext == QLatin1String("ico")) return encoded(halves(), "ICO");
    if (ext == QLatin1String("cur")) return cursor(halves(), 3, 4);
    if (ext == QLatin1String("wmf")) return wmf();
    if (ext == QLatin1String("emf")) return emf();
    if (ext == QLatin1String("png")) return encoded(halves(), "PNG");
    return {};
}

// Whether two colours differ by at most `tolerance` in each channel, and are opaque.
inline bool near(QColor actual, QColor expected, int tolerance) {
    return actual.alpha() == 255 && std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace pictures
