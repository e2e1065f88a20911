// Pictures as cameras, phones and other programs write them: JPEGs turned by their EXIF
// orientation, carrying data after their end, cut short, wider than 32767 pixels or with a
// colour profile, and BMPs in every layout the format allows.

#include "PictureLoader.h"

#include "HelperBeside.h"
#include "PictureFiles.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QtEndian>

#include <functional>
#include <string>

namespace {

HelperBeside beside; // the loader, metafiles drawn by the real helper

using rt::PictureLoader;

const QColor R(230, 20, 20), G(20, 220, 30), B(20, 30, 220), W(245, 245, 245);

// 64 x 32, a colour to each quadrant: red, green / blue, white.
QImage quadrants(int width = 64, int height = 32) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y,
                                y < height / 2 ? (x < width / 2 ? R : G) : (x < width / 2 ? B : W));
    return image;
}

// The colours seen at the centres of the four quadrants: top left, top right, bottom left,
// bottom right.
std::string seen(const QImage& image) {
    std::string out;
    const int w = image.width(), h = image.height();
    for (const QPoint p : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                           QPoint(3 * w / 4, 3 * h / 4)}) {
        const QColor c = image.pixelColor(p);
        char name = '?';
        for (const auto& [colour, letter] : {std::pair{R, 'R'}, {G, 'G'}, {B, 'B'}, {W, 'W'}})
            if (pictures::near(c, colour, 24)) name = letter;
        out += name;
    }
    return out;
}

QByteArray jpeg(const QImage& image, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// An EXIF block holding only the orientation, put right after the start-of-image marker.
QByteArray withOrientation(const QByteArray& jpg, int orientation, bool bigEndian) {
    QByteArray tiff = bigEndian ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
    const auto u16 = [&](int v) {
        char b[2];
        if (bigEndian)
            qToBigEndian(quint16(v), b);
        else
            qToLittleEndian(quint16(v), b);
        tiff.append(b, 2);
    };
    const auto u32 = [&](quint32 v) {
        char b[4];
        if (bigEndian)
            qToBigEndian(v, b);
        else
            qToLittleEndian(v, b);
        tiff.append(b, 4);
    };
    u32(8);      // the first directory
    u16(1);      // one entry:
    u16(0x0112); // orientation
    u16(3);      // SHORT
    u32(1);
    u16(orientation);
    u16(0);
    u32(0); // no further directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1");
    char length[2];
    qToBigEndian(quint16(payload.size() + 2), length);
    segment.append(length, 2);
    segment.append(payload);
    return jpg.left(2) + segment + jpg.mid(2);
}

QString write(TempDir& dir, const QString& name, const QByteArray& bytes) {
    dir.file(name, bytes);
    return dir.path(name);
}

TEST(Photos, EachExifOrientationIsShownUpright) {
    // Where the stored quadrants R G / B W are meant to be seen, for each orientation.
    const char* upright[] = {"", "RGBW", "GRWB", "WBGR", "BWRG", "RBGW", "BRWG", "WGBR", "GWRB"};
    TempDir dir;
    const QByteArray plain = jpeg(quadrants());
    for (int o = 1; o <= 8; ++o) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::to_string(o) + (bigEndian ? " big-endian" : " little-endian"));
            const QString path =
                write(dir, QStringLiteral("o%1.jpg").arg(o), withOrientation(plain, o, bigEndian));
            const auto header = beside.loader.readHeader(path);
            ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
            const QSize natural = o >= 5 ? QSize(32, 64) : QSize(64, 32);
            EXPECT_EQ(header.value().natural, natural);
            for (const QSize asked : {QSize(), natural / 2}) {
                const auto image = beside.loader.decode(path, asked);
                ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
                EXPECT_EQ(image.value().size(), asked.isEmpty() ? natural : asked);
                EXPECT_EQ(seen(image.value()), upright[o]);
            }
        }
    }
}

TEST(Photos, DataAfterTheEndMarkerIsFineAndACutAnywhereIsRefused) {
    TempDir dir;
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QByteArray jpg = jpeg(quadrants(256, 128), progressive);
        // A motion photo: several megabytes of video after the picture, with markers in it.
        QByteArray trailer(6 << 20, '\x5A');
        trailer.replace(1000, 4, "\xFF\xD8\xFF\xE0");
        const auto long_ =
            beside.loader.decode(write(dir, QStringLiteral("motion.jpg"), jpg + trailer));
        ASSERT_TRUE(long_.ok()) << qPrintable(long_.error().description);
        EXPECT_EQ(seen(long_.value()), "RGBW");

        const qsizetype scan = jpg.indexOf("\xFF\xDA");
        for (const qsizetype cut :
             {qsizetype(4), scan / 2, scan + 2, scan + 40, (scan + jpg.size()) / 2, jpg.size() - 20,
              jpg.size() - 2, jpg.size() - 1}) {
            SCOPED_TRACE(cut);
            const QString path = write(dir, QStringLiteral("cut.jpg"), jpg.left(cut));
            EXPECT_EQ(beside.loader.decode(path).error().number, rt::err::InvalidPicture);
            EXPECT_EQ(beside.loader.decode(path, QSize(32, 16)).error().number,
                      rt::err::InvalidPicture);
        }
    }
}

TEST(Photos, APanoramaWiderThan32767IsDecodedScaled) {
    TempDir dir;
    const QString path = write(dir, QStringLiteral("pano.jpg"), jpeg(quadrants(40000, 160)));
    const auto header = beside.loader.readHeader(path);
    ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
    EXPECT_EQ(header.value().natural, QSize(40000, 160));
    const auto image = beside.loader.decode(path, QSize(1920, 8));
    ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
    EXPECT_EQ(image.value().size(), QSize(1920, 8));
}

TEST(Photos, AnEmbeddedColourProfileIsConvertedToSrgb) {
    TempDir dir;
    const QColor stored(40, 160, 90);
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(stored);
    for (const auto space : {QColorSpace::AdobeRgb, QColorSpace::DisplayP3}) {
        SCOPED_TRACE(int(space));
        image.setColorSpace(QColorSpace(space));
        // Qt's own colour maths says what the stored colour looks like in sRGB.
        const QColor expected = image.convertedToColorSpace(QColorSpace::SRgb).pixelColor(16, 16);
        ASSERT_GT(std::abs(expected.green() - stored.green()) +
                      std::abs(expected.red() - stored.red()),
                  20);
        const QByteArray bytes = jpeg(image);
        ASSERT_TRUE(bytes.contains("ICC_PROFILE"));
        const auto decoded = beside.loader.decode(write(dir, QStringLiteral("profile.jpg"), bytes));
        ASSERT_TRUE(decoded.ok()) << qPrintable(decoded.error().description);
        EXPECT_TRUE(pictures::near(decoded.value().pixelColor(16, 16), expected, 6))
            << qPrintable(decoded.value().pixelColor(16, 16).name()) << " "
            << qPrintable(expected.name());
    }
    // Without a profile the pixels are taken as sRGB.
    image.setColorSpace(QColorSpace());
    const auto plain = beside.loader.decode(write(dir, QStringLiteral("plain.jpg"), jpeg(image)));
    ASSERT_TRUE(plain.ok());
    EXPECT_TRUE(pictures::near(plain.value().pixelColor(16, 16), stored, 6));
}

// --- BMP layouts -------------------------------------------------------------------------

// A BMP of `quadrants()` written by hand in one of the layouts of the format.
struct BmpLayout {
    const char* name;
    int headerSize; // 12 (OS/2 1), 40, 64 (OS/2 2), 108 (V4), 124 (V5)
    int bits;
    int compression; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    bool topDown;
    const char* expected = "RGBW"; // one bit a pixel keeps only red and green
};

void PrintTo(const BmpLayout& l, std::ostream* os) {
    *os << l.name;
}

QByteArray bmp(const BmpLayout& l) {
    const QImage image = quadrants();
    const int w = image.width(), h = image.height();
    const QColor palette[] = {R, G, B, W};
    const auto index = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        for (int i = 0; i < 4; ++i)
            if (c == palette[i]) return i;
        return 0;
    };
    QByteArray info(l.headerSize, '\0');
    if (l.headerSize == 12) {
        pictures::put16(info, 0, 12);
        pictures::put16(info, 4, w);
        pictures::put16(info, 6, h);
        pictures::put16(info, 8, 1);
        pictures::put16(info, 10, l.bits);
    } else {
        pictures::put32(info, 0, quint32(l.headerSize));
        pictures::put32(info, 4, quint32(w));
        pictures::put32(info, 8, quint32(l.topDown ? -h : h));
        pictures::put16(info, 12, 1);
        pictures::put16(info, 14, l.bits);
        pictures::put32(info, 16, quint32(l.compression));
        pictures::put32(info, 24, 2835);
        pictures::put32(info, 28, 2835);
    }
    // Bit fields: 5-6-5 for 16 bits, 8-8-8 in the high bytes for 32 bits.
    const quint32 masks16[] = {0xF800, 0x07E0, 0x001F},
                  masks32[] = {0xFF000000, 0x00FF0000, 0x0000FF00};
    const quint32* masks = l.bits == 16 ? masks16 : masks32;
    QByteArray extra;
    if (l.compression == 3) {
        if (l.headerSize >= 108) {
            for (int i = 0; i < 3; ++i)
                pictures::put32(info, 40 + 4 * i, masks[i]);
            pictures::put32(info, 56, 0x73524742); // 'sRGB'
        } else {
            extra = QByteArray(12, '\0');
            for (int i = 0; i < 3; ++i)
                pictures::put32(extra, 4 * i, masks[i]);
        }
    }
    QByteArray colours;
    if (l.bits <= 8) {
        for (int i = 0; i < (1 << l.bits); ++i) {
            const QColor c = i < 4 ? palette[i] : Qt::black;
            colours.append(char(c.blue())).append(char(c.green())).append(char(c.red()));
            if (l.headerSize != 12) colours.append('\0');
        }
        if (l.headerSize != 12) pictures::put32(info, 32, quint32(1 << l.bits));
    }
    QByteArray pixels;
    for (int row = 0; row < h; ++row) {
        const int y = l.topDown ? row : h - 1 - row;
        QByteArray line;
        if (l.compression == 1 || l.compression == 2) {
            // Runs of one index: a count of pixels, then the index (twice over for RLE4).
            for (int x = 0; x < w;) {
                int run = 1;
                while (x + run < w && run < 255 && index(x + run, y) == index(x, y))
                    ++run;
                const int i = index(x, y);
                line.append(char(run)).append(char(l.compression == 2 ? (i << 4 | i) : i));
                x += run;
            }
            line.append('\0').append('\0'); // end of line
            pixels.append(line);
            continue;
        }
        quint32 acc = 0;
        int filled = 0;
        for (int x = 0; x < w; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (l.bits <= 8) {
                acc = acc << l.bits | (quint32(index(x, y)) & ((1u << l.bits) - 1));
                filled += l.bits;
                if (filled == 8) {
                    line.append(char(acc));
                    acc = 0;
                    filled = 0;
                }
            } else if (l.bits == 24) {
                line.append(char(c.blue())).append(char(c.green())).append(char(c.red()));
            } else if (l.bits == 16) {
                const quint16 v =
                    l.compression == 3
                        ? quint16((c.red() >> 3) << 11 | (c.green() >> 2) << 5 | c.blue() >> 3)
                        : quint16((c.red() >> 3) << 10 | (c.green() >> 3) << 5 | c.blue() >> 3);
                QByteArray b(2, '\0');
                pictures::put16(b, 0, v);
                line.append(b);
            } else {
                const quint32 v =
                    l.compression == 3
                        ? quint32(c.red()) << 24 | quint32(c.green()) << 16 | quint32(c.blue()) << 8
                        : quint32(c.red()) << 16 | quint32(c.green()) << 8 | quint32(c.blue());
                QByteArray b(4, '\0');
                pictures::put32(b, 0, v);
                line.append(b);
            }
        }
        while (line.size() % 4)
            line.append('\0');
        pixels.append(line);
    }
    if (l.compression == 1 || l.compression == 2) pixels.append('\0').append('\1'); // end of bitmap
    if (l.headerSize != 12) pictures::put32(info, 20, quint32(pixels.size()));
    const qsizetype offBits = 14 + info.size() + extra.size() + colours.size();
    QByteArray file("BM");
    file.append(QByteArray(12, '\0'));
    pictures::put32(file, 2, quint32(offBits + pixels.size()));
    pictures::put32(file, 10, quint32(offBits));
    return file + info + extra + colours + pixels;
}

class BmpLayouts : public ::testing::TestWithParam<BmpLayout> {};

TEST_P(BmpLayouts, ShowAndRefuseWhenCutShort) {
    TempDir dir;
    const QByteArray bytes = bmp(GetParam());
    const QString path = write(dir, QStringLiteral("layout.bmp"), bytes);
    const auto header = beside.loader.readHeader(path);
    ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
    EXPECT_EQ(header.value().natural, QSize(64, 32));
    for (const QSize asked : {QSize(), QSize(32, 16)}) {
        const auto image = beside.loader.decode(path, asked);
        ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
        EXPECT_EQ(seen(image.value()), GetParam().expected);
    }
    const QString cut = write(dir, QStringLiteral("cut.bmp"), bytes.left(bytes.size() * 2 / 3));
    EXPECT_EQ(beside.loader.decode(cut).error().number, rt::err::InvalidPicture);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, BmpLayouts,
    ::testing::Values(
        BmpLayout{"os2_1bit", 12, 1, 0, false, "RGRG"}, BmpLayout{"os2_8bit", 12, 8, 0, false},
        BmpLayout{"os2_24bit", 12, 24, 0, false}, BmpLayout{"os2v2_8bit", 64, 8, 0, false},
        BmpLayout{"pal1", 40, 1, 0, false, "RGRG"}, BmpLayout{"pal4", 40, 4, 0, false},
        BmpLayout{"pal8", 40, 8, 0, false}, BmpLayout{"pal8_topdown", 40, 8, 0, true},
        BmpLayout{"rle4", 40, 4, 2, false}, BmpLayout{"rle8", 40, 8, 1, false},
        BmpLayout{"rgb16_555", 40, 16, 0, false}, BmpLayout{"rgb16_565", 40, 16, 3, false},
        BmpLayout{"rgb24_topdown", 40, 24, 0, true}, BmpLayout{"rgb32", 40, 32, 0, false},
        BmpLayout{"rgb32_fields", 40, 32, 3, false}, BmpLayout{"v4_32_fields", 108, 32, 3, false},
        BmpLayout{"v5_24bit", 124, 24, 0, false}, BmpLayout{"v5_16_565_topdown", 124, 16, 3, true}),
    [](const ::testing::TestParamInfo<BmpLayout>& p) { return std::string(p.param.name); });

} // namespace
