#pragma once
// Pictures for the loader and renderer tests, made in memory: a 64 x 48 picture, red on
// the left half and blue on the right, in each of the eight formats the loader reads.

#include "MetafileWriter.h"
#include "PictureWriters.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QtEndian>

namespace pictures {

inline const QColor Red(220, 20, 30);
inline const QColor Blue(20, 40, 210);
constexpr int Width = 64;
constexpr int Height = 48;

inline QImage halves() {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Blue);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width / 2; ++x)
            image.setPixelColor(x, y, Red);
    return image;
}

// Little-endian fields written over the bytes at `at`.
inline void put16(QByteArray& b, qsizetype at, int v) {
    qToLittleEndian(quint16(v), b.data() + at);
}
inline void put32(QByteArray& b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}

inline QByteArray encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

using writers::cursor;
using writers::gif;

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
