// Writes the seed pictures of the loader's fuzz targets: tiny valid files of each format,
// a few variants, and a few broken ones. Usage: fuzz_seeds <fuzz/corpus folder>

#include "MetafileWriter.h"
#include "PictureFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

QString root;

void put(const QString& target, const QString& name, const QByteArray& bytes) {
    const QString folder = root + QStringLiteral("/picture_") + target;
    QDir().mkpath(folder);
    QFile f(folder + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

using pictures::put16;
using pictures::put32;

// A small picture with a few colours: a gradient, a disc and a bar.
QImage picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    QPainter p(&image);
    p.setBrush(Qt::yellow);
    p.drawEllipse(QRect(w / 4, h / 4, w / 2, h / 2));
    p.fillRect(QRect(0, h - 2, w, 2), Qt::black);
    return image;
}

// A BMP with 8-bit run-length pixels, written by hand (Qt writes none).
QByteArray rle8Bmp() {
    const int w = 8, h = 4;
    QByteArray pixels;
    for (int y = 0; y < h; ++y) {
        pixels.append(char(w)).append(char(y + 1)); // a run of w pixels of colour y + 1
        pixels.append(char(0)).append(char(0));     // end of line
    }
    pixels.append(char(0)).append(char(1)); // end of bitmap
    QByteArray b(54 + 256 * 4, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, quint32(b.size()));
    put32(b, 14, 40);
    put32(b, 18, w);
    put32(b, 22, h);
    put16(b, 26, 1);
    put16(b, 28, 8);
    put32(b, 30, 1); // RLE8
    put32(b, 34, quint32(pixels.size()));
    for (int i = 0; i < 256; ++i)
        put32(b, 54 + 4 * i, quint32(i * 0x010203));
    b.append(pixels);
    put32(b, 2, quint32(b.size()));
    return b;
}

// A 16-bit BMP with colour masks (5-6-5).
QByteArray bitfieldsBmp() {
    const int w = 4, h = 3;
    QByteArray b(54 + 12, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, quint32(b.size()));
    put32(b, 14, 40);
    put32(b, 18, w);
    put32(b, 22, quint32(-h)); // top-down
    put16(b, 26, 1);
    put16(b, 28, 16);
    put32(b, 30, 3);
    put32(b, 54, 0xF800);
    put32(b, 58, 0x07E0);
    put32(b, 62, 0x001F);
    for (int i = 0; i < w * h; ++i) {
        b.append(char(i * 37));
        b.append(char(i * 11));
    }
    put32(b, 2, quint32(b.size()));
    return b;
}

// An icon holding a PNG, as newer icon files do.
QByteArray pngIcon() {
    const QByteArray png = pictures::encoded(picture(16, 16), "PNG");
    QByteArray b(22, '\0');
    put16(b, 2, 1);
    put16(b, 4, 1);
    b[6] = 16;
    b[7] = 16;
    put16(b, 10, 1);
    put16(b, 12, 32);
    put32(b, 14, quint32(png.size()));
    put32(b, 18, 22);
    return b + png;
}

QByteArray wmfShapes(bool placeable) {
    samples::WmfWriter w(480, 360);
    w.colours(Qt::blue, Qt::red, 3);
    w.rectangle({10, 10, 200, 150});
    w.brush(Qt::green, samples::WmfWriter::Cross);
    w.ellipse({100, 50, 300, 300});
    w.pen(Qt::black, 1, samples::WmfWriter::Dash);
    w.polyline({{0, 0}, {100, 200}, {300, 20}, {479, 359}});
    w.polyFillMode(true);
    w.polyPolygon({{{10, 300}, {60, 250}, {110, 300}}, {{200, 300}, {260, 340}, {300, 280}}});
    w.arc({20, 20, 120, 120}, {120, 70}, {70, 20});
    w.pie({300, 20, 460, 180}, {460, 100}, {380, 20});
    w.chord({300, 200, 460, 350}, {460, 270}, {380, 200});
    w.roundRect({220, 200, 290, 260}, {20, 20});
    w.line({0, 359}, {479, 0});
    w.backgroundMode(true);
    w.backgroundColour(Qt::white);
    w.text({20, 340}, "Ciao", 40, Qt::darkBlue);
    w.text({240, 180}, "ruota", 30, Qt::darkRed, "Arial", 450);
    w.bitmap({380, 300, 60, 40}, picture(6, 4));
    return placeable ? w.bytes() : w.bytesWithoutPlaceableHeader();
}

QByteArray emfShapes() {
    samples::EmfWriter w(64, 48);
    w.colours(Qt::blue, Qt::red, 1);
    w.rectangle({2, 2, 40, 30});
    w.colours(Qt::yellow, Qt::black, 2);
    w.ellipse({20, 10, 40, 36});
    w.polygon({{0, 47}, {32, 20}, {63, 47}});
    w.polyline({{0, 0}, {63, 47}, {63, 0}});
    w.bitmap({40, 30, 20, 15}, picture(5, 4));
    return w.bytes();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    root = QString::fromLocal8Bit(argv[1]);
    const QImage small = picture(16, 12);

    // JPEG: baseline colour and grey; cut before its end; a header declaring 65500 x 65500.
    const QByteArray jpeg = pictures::encoded(small, "JPEG", 60);
    put(QStringLiteral("jpeg"), QStringLiteral("colour.jpg"), jpeg);
    put(QStringLiteral("jpeg"), QStringLiteral("grey.jpg"),
        pictures::encoded(small.convertToFormat(QImage::Format_Grayscale8), "JPEG", 30));
    put(QStringLiteral("jpeg"), QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 2));
    {
        QByteArray huge = jpeg;
        const qsizetype sof = huge.indexOf("\xFF\xC0");
        if (sof > 0) {
            huge[sof + 5] = char(0xFF), huge[sof + 6] = char(0xDC); // height 65500
            huge[sof + 7] = char(0xFF), huge[sof + 8] = char(0xDC); // width 65500
        }
        put(QStringLiteral("jpeg"), QStringLiteral("huge.jpg"), huge);
    }

    // BMP: 24-bit, 8-bit palette, 1-bit, run-length, bit fields; cut; 60000 x 60000.
    const QByteArray bmp = pictures::encoded(small, "BMP");
    put(QStringLiteral("bmp"), QStringLiteral("rgb24.bmp"), bmp);
    put(QStringLiteral("bmp"), QStringLiteral("palette8.bmp"),
        pictures::encoded(small.convertToFormat(QImage::Format_Indexed8), "BMP"));
    put(QStringLiteral("bmp"), QStringLiteral("mono.bmp"),
        pictures::encoded(small.convertToFormat(QImage::Format_Mono), "BMP"));
    put(QStringLiteral("bmp"), QStringLiteral("rle8.bmp"), rle8Bmp());
    put(QStringLiteral("bmp"), QStringLiteral("bitfields.bmp"), bitfieldsBmp());
    put(QStringLiteral("bmp"), QStringLiteral("cut.bmp"), bmp.left(bmp.size() - 100));
    {
        QByteArray huge = bmp.left(200);
        put32(huge, 18, 60000);
        put32(huge, 22, 60000);
        put(QStringLiteral("bmp"), QStringLiteral("huge.bmp"), huge);
    }

    // DIB: BMP files under the other name, a 32-bit and an 8-bit one, and one cut short.
    put(QStringLiteral("dib"), QStringLiteral("argb32.dib"),
        pictures::encoded(small.convertToFormat(QImage::Format_ARGB32), "BMP"));
    const QByteArray dib8 =
        pictures::encoded(picture(7, 5).convertToFormat(QImage::Format_Indexed8), "BMP");
    put(QStringLiteral("dib"), QStringLiteral("palette8.dib"), dib8);
    put(QStringLiteral("dib"), QStringLiteral("cut.dib"), dib8.left(60));

    // GIF: one frame; cut in its data; a 60000 x 60000 screen.
    const QByteArray gif = pictures::gif(small);
    put(QStringLiteral("gif"), QStringLiteral("frame.gif"), gif);
    put(QStringLiteral("gif"), QStringLiteral("cut.gif"), gif.left(gif.size() - 20));
    {
        QByteArray huge = gif;
        put16(huge, 6, 60000);
        put16(huge, 8, 60000);
        put(QStringLiteral("gif"), QStringLiteral("huge.gif"), huge);
    }

    // Icons: a bitmap icon, a PNG icon, and one that says it holds two pictures.
    const QByteArray ico = pictures::encoded(picture(16, 16), "ICO");
    put(QStringLiteral("ico"), QStringLiteral("bitmap.ico"), ico);
    put(QStringLiteral("ico"), QStringLiteral("png.ico"), pngIcon());
    {
        QByteArray two = ico;
        put16(two, 4, 2);
        put(QStringLiteral("ico"), QStringLiteral("two.ico"), two);
    }

    // Cursors: a hot spot; a cursor cut short.
    const QByteArray cur = pictures::cursor(picture(16, 16), 3, 4);
    put(QStringLiteral("cur"), QStringLiteral("arrow.cur"), cur);
    put(QStringLiteral("cur"), QStringLiteral("cut.cur"), cur.left(cur.size() / 2));

    // WMF: every shape, placeable and not; a record longer than the file; no end record.
    const QByteArray wmf = wmfShapes(true);
    put(QStringLiteral("wmf"), QStringLiteral("shapes.wmf"), wmf);
    put(QStringLiteral("wmf"), QStringLiteral("memory.wmf"), wmfShapes(false));
    put(QStringLiteral("wmf"), QStringLiteral("small.wmf"), pictures::wmf());
    {
        QByteArray bogus = wmf;
        put32(bogus, 22 + 18, 0x7FFFFFF0);
        put(QStringLiteral("wmf"), QStringLiteral("bad-length.wmf"), bogus);
        put(QStringLiteral("wmf"), QStringLiteral("no-end.wmf"), wmf.left(wmf.size() - 6));
    }

    // EMF: shapes and a bitmap; a record with a bad length; cut short.
    const QByteArray emf = emfShapes();
    put(QStringLiteral("emf"), QStringLiteral("shapes.emf"), emf);
    put(QStringLiteral("emf"), QStringLiteral("small.emf"), pictures::emf());
    {
        QByteArray bogus = emf;
        put32(bogus, 108 + 4, 0xFFFFFFF0);
        put(QStringLiteral("emf"), QStringLiteral("bad-length.emf"), bogus);
        put(QStringLiteral("emf"), QStringLiteral("cut.emf"), emf.left(emf.size() - 30));
    }
    return 0;
}
