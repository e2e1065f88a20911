// The picture loader on files made here, one in each of the eight formats: the natural size
// from the header, decoding at that size and at others, the format told by the content, and
// broken files, which must fail with 481 and in a bounded time.

#include "PictureLoader.h"

#include "JpegDecoder.h"

#include "HelperBeside.h"
#include "PictureFiles.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

HelperBeside beside; // the loader, metafiles drawn by the real helper

using pictures::Blue;
using pictures::Red;
using rt::PictureFormat;
using rt::PictureLoader;

// Fonts and the image format plug-ins need an application object.
class GuiApplication : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[14] = "picture_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const guiApplication =
    ::testing::AddGlobalTestEnvironment(new GuiApplication);

struct Sample {
    const char* name;
    PictureFormat format;
    int tolerance; // per colour channel: JPEG is lossy, the others are exact
};

void PrintTo(const Sample& s, std::ostream* os) {
    *os << s.name;
}

class EveryFormat : public ::testing::TestWithParam<Sample> {
protected:
    QString written() {
        dir_.file(QString::fromLatin1(GetParam().name),
                  pictures::file(QString::fromLatin1(GetParam().name)));
        return dir_.path(QString::fromLatin1(GetParam().name));
    }
    // Red at a quarter of the width, blue at three quarters, half-way down.
    void expectHalves(const QImage& image) {
        const int tolerance = GetParam().tolerance;
        const int y = image.height() / 2;
        EXPECT_TRUE(pictures::near(image.pixelColor(image.width() / 4, y), Red, tolerance))
            << qPrintable(image.pixelColor(image.width() / 4, y).name());
        EXPECT_TRUE(pictures::near(image.pixelColor(image.width() * 3 / 4, y), Blue, tolerance))
            << qPrintable(image.pixelColor(image.width() * 3 / 4, y).name());
    }

    TempDir dir_;
};

TEST_P(EveryFormat, ReadsTheNaturalSizeFromTheHeader) {
    const auto header = beside.loader.readHeader(written());
    ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
    EXPECT_EQ(header.value().format, GetParam().format);
    EXPECT_EQ(header.value().natural, QSize(pictures::Width, pictures::Height));
}

TEST_P(EveryFormat, DecodesAtTheNaturalSize) {
    const QString path = written();
    for (const QSize asked : {QSize(), QSize(pictures::Width, pictures::Height)}) {
        const auto image = beside.loader.decode(path, asked);
        ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
        EXPECT_EQ(image.value().size(), QSize(pictures::Width, pictures::Height));
        expectHalves(image.value());
    }
}

TEST_P(EveryFormat, DecodesScaledToTheSizeAsked) {
    const QString path = written();
    for (const QSize asked : {QSize(32, 24), QSize(160, 120), QSize(100, 30)}) {
        SCOPED_TRACE(asked.width());
        const auto image = beside.loader.decode(path, asked);
        ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
        EXPECT_EQ(image.value().size(), asked);
        expectHalves(image.value());
    }
}

INSTANTIATE_TEST_SUITE_P(PictureLoader, EveryFormat,
                         ::testing::Values(Sample{"photo.jpg", PictureFormat::Jpeg, 12},
                                           Sample{"plain.bmp", PictureFormat::Bmp, 0},
                                           Sample{"anim.gif", PictureFormat::Gif, 0},
                                           Sample{"icon.ico", PictureFormat::Icon, 0},
                                           Sample{"pointer.cur", PictureFormat::Cursor, 0},
                                           Sample{"device.dib", PictureFormat::Bmp, 0},
                                           Sample{"drawing.wmf", PictureFormat::Wmf, 0},
                                           Sample{"drawing.emf", PictureFormat::Emf, 0}),
                         [](const ::testing::TestParamInfo<Sample>& param) {
                             return QString::fromLatin1(param.param.name)
                                 .replace(QLatin1Char('.'), QLatin1Char('_'))
                                 .toStdString();
                         });

TEST(PictureLoader, TheContentDecidesTheFormatNotTheName) {
    struct Case {
        const char* content; // a file name whose extension says what is inside
        const char* name;
        PictureFormat format;
    };
    const Case cases[] = {
        {"x.jpg", "looks.gif", PictureFormat::Jpeg},
        {"x.bmp", "looks.wmf", PictureFormat::Bmp},
        {"x.wmf", "looks.jpg", PictureFormat::Wmf},
        {"x.emf", "looks.bmp", PictureFormat::Emf},
        {"x.gif", "looks.ico", PictureFormat::Gif},
        {"x.ico", "looks.cur", PictureFormat::Icon},
        {"x.cur", "noextension", PictureFormat::Cursor},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.file(QString::fromLatin1(c.name), pictures::file(QString::fromLatin1(c.content)));
        const auto header = beside.loader.readHeader(dir.path(QString::fromLatin1(c.name)));
        ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
        EXPECT_EQ(header.value().format, c.format);
        const auto image =
            beside.loader.decode(dir.path(QString::fromLatin1(c.name)), QSize(40, 30));
        ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
        EXPECT_TRUE(pictures::near(image.value().pixelColor(10, 15), Red, 12));
    }
}

// The quick interpolation taken for the scale left after a reduced decode must agree with
// averaging over each pixel's area on a photo-like picture (no shift, no seam), and a
// picture with transparency keeps it.
TEST(PictureLoader, SmoothScalingAgreesWithAveragingAtEveryRatio) {
    QImage photo(900, 600, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y,
                           qRgb(int(128 + 100 * std::sin(x / 5.0)),
                                int(128 + 100 * std::cos(y / 5.0)), x * 255 / 899));
    for (const QSize size :
         {QSize(756, 504), QSize(451, 301), QSize(200, 133), QSize(1500, 1000), QSize(800, 120)}) {
        SCOPED_TRACE(size.width());
        const QImage scaled = rt::smoothlyScaled(photo, size);
        ASSERT_EQ(scaled.size(), size);
        EXPECT_EQ(scaled.format(), QImage::Format_RGB32);
        const QImage averaged = photo.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int worst = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb a = scaled.pixel(x, y), b = averaged.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, 4);
    }
    QImage glass(40, 40, QImage::Format_ARGB32);
    glass.fill(qRgba(10, 20, 30, 0));
    const QImage smaller = rt::smoothlyScaled(glass, QSize(30, 30));
    EXPECT_EQ(smaller.size(), QSize(30, 30));
    EXPECT_EQ(qAlpha(smaller.pixel(15, 15)), 0);
}

TEST(PictureLoader, OtherFormatsAndMissingFilesAreRefused) {
    TempDir dir;
    dir.file(QStringLiteral("really.png.jpg"), pictures::file(QStringLiteral("x.png")));
    dir.file(QStringLiteral("true.png"), pictures::file(QStringLiteral("x.png")));
    dir.file(QStringLiteral("text.bmp"), "BMP? no, just some words in a file");
    for (const char* name : {"really.png.jpg", "true.png", "text.bmp"}) {
        SCOPED_TRACE(name);
        const QString path = dir.path(QString::fromLatin1(name));
        EXPECT_EQ(beside.loader.readHeader(path).error().number, rt::err::InvalidPicture);
        EXPECT_EQ(beside.loader.decode(path).error().number, rt::err::InvalidPicture);
    }
    EXPECT_EQ(beside.loader.decode(dir.path(QStringLiteral("absent.jpg"))).error().number,
              rt::err::FileNotFound);
}

// --- Broken files ----------------------------------------------------------------------

using pictures::put16;
using pictures::put32;
QByteArray patched(QByteArray b, qsizetype at, const QByteArray& with) {
    b.replace(at, with.size(), with);
    return b;
}

struct Broken {
    std::string what;
    QString name;
    QByteArray bytes;
};

// Every format emptied and cut short, then damage particular to each.
std::vector<Broken> brokenFiles() {
    std::vector<Broken> all;
    const char* names[] = {"a.jpg", "a.bmp", "a.gif", "a.ico", "a.cur", "a.dib", "a.wmf", "a.emf"};
    for (const char* n : names) {
        const QString name = QString::fromLatin1(n);
        const QByteArray good = pictures::file(name);
        all.push_back({"empty", name, {}});
        all.push_back({"cut in half", name, good.left(good.size() / 2)});
        all.push_back({"two bytes short", name, good.left(good.size() - 2)});
    }
    const QByteArray jpg = pictures::file(QStringLiteral("a.jpg"));
    const QByteArray bmp = pictures::file(QStringLiteral("a.bmp"));
    const QByteArray gif = pictures::file(QStringLiteral("a.gif"));
    const QByteArray ico = pictures::file(QStringLiteral("a.ico"));
    const QByteArray wmf = pictures::file(QStringLiteral("a.wmf"));
    const QByteArray emf = pictures::file(QStringLiteral("a.emf"));

    // Wrong signatures.
    all.push_back({"wrong magic", QStringLiteral("m.jpg"), patched(jpg, 1, QByteArray(1, '\0'))});
    all.push_back({"wrong magic", QStringLiteral("m.bmp"), patched(bmp, 0, "BX")});
    all.push_back({"wrong magic", QStringLiteral("m.dib"), patched(bmp, 0, "MB")});
    all.push_back({"wrong magic", QStringLiteral("m.gif"), patched(gif, 0, "GIF88a")});
    all.push_back({"wrong type", QStringLiteral("m.ico"), patched(ico, 2, QByteArray(1, '\3'))});
    all.push_back({"wrong key", QStringLiteral("m.wmf"), patched(wmf, 0, "\xD6")});
    all.push_back({"wrong signature", QStringLiteral("m.emf"), patched(emf, 40, " EMX")});

    // Absurd sizes.
    QByteArray hugeBmp = bmp;
    put32(hugeBmp, 18, 60000);
    put32(hugeBmp, 22, 60000);
    all.push_back({"60000 x 60000", QStringLiteral("s.bmp"), hugeBmp});
    all.push_back({"60000 x 60000", QStringLiteral("s.dib"), hugeBmp});
    QByteArray hugeScreen = gif;
    put16(hugeScreen, 6, 60000);
    put16(hugeScreen, 8, 60000);
    all.push_back({"a 60000 x 60000 screen", QStringLiteral("s.gif"), hugeScreen});
    QByteArray hugeFrame = gif;
    const qsizetype descriptor = 13 + 768;
    put16(hugeFrame, descriptor + 5, 60000);
    put16(hugeFrame, descriptor + 7, 60000);
    all.push_back({"a 60000 x 60000 image", QStringLiteral("f.gif"), hugeFrame});
    QByteArray hugeJpg = jpg;
    const qsizetype sof = hugeJpg.indexOf("\xFF\xC0");
    hugeJpg[sof + 5] = char(0xFF);
    hugeJpg[sof + 6] = char(0xDC);
    hugeJpg[sof + 7] = char(0xFF);
    hugeJpg[sof + 8] = char(0xDC);
    all.push_back({"65500 x 65500", QStringLiteral("s.jpg"), hugeJpg});
    QByteArray hugeWmf = wmf;
    put16(hugeWmf, 10, 32000);
    put16(hugeWmf, 14, 10); // 3200 inches
    all.push_back({"a frame of 3200 inches", QStringLiteral("s.wmf"), hugeWmf});
    QByteArray hugeEmf = emf;
    put32(hugeEmf, 32, 0x7FFFFFFF);
    all.push_back({"a frame of 21 km", QStringLiteral("s.emf"), hugeEmf});

    // Records with bogus lengths: the first record after the header.
    const qsizetype firstWmfRecord = 22 + 18;
    for (const quint32 words : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu, quint32(wmf.size())}) {
        QByteArray b = wmf;
        put32(b, firstWmfRecord, words);
        all.push_back(
            {"a WMF record of " + std::to_string(words) + " words", QStringLiteral("r.wmf"), b});
    }
    const qsizetype firstEmfRecord = 108;
    for (const quint32 bytes : {0u, 4u, 13u, 0xFFFFFFF0u, quint32(emf.size())}) {
        QByteArray b = emf;
        put32(b, firstEmfRecord + 4, bytes);
        all.push_back(
            {"an EMF record of " + std::to_string(bytes) + " bytes", QStringLiteral("r.emf"), b});
    }
    return all;
}

TEST(PictureLoader, BrokenFilesFailWith481InBoundedTime) {
    TempDir dir;
    int index = 0;
    for (const Broken& b : brokenFiles()) {
        SCOPED_TRACE(b.what + " " + b.name.toStdString());
        const QString name = QString::number(index++) + QLatin1Char('-') + b.name;
        dir.file(name, b.bytes);
        QElapsedTimer clock;
        clock.start();
        const auto header = beside.loader.readHeader(dir.path(name));
        if (!header.ok()) {
            EXPECT_EQ(header.error().number, rt::err::InvalidPicture);
        }
        const auto image = beside.loader.decode(dir.path(name));
        ASSERT_FALSE(image.ok()) << "decoded " << image.value().width() << " x "
                                 << image.value().height();
        EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
        EXPECT_LT(clock.elapsed(), 3000);
    }
}

// An icon's bitmap whose header claims 60000 x 60000 pixels, while the directory says
// 64 x 48: read at the directory's size or refused, but never allocated at the bitmap's.
TEST(PictureLoader, AnIconBitmapClaimingAHugeSizeIsNotAllocatedAtIt) {
    TempDir dir;
    QByteArray ico = pictures::file(QStringLiteral("a.ico"));
    const qsizetype bitmap = qFromLittleEndian<quint32>(ico.constData() + 18);
    put32(ico, bitmap + 4, 60000);
    put32(ico, bitmap + 8, 120000); // both halves: colours and mask
    dir.file(QStringLiteral("huge.ico"), ico);
    QElapsedTimer clock;
    clock.start();
    const auto image = beside.loader.decode(dir.path(QStringLiteral("huge.ico")));
    EXPECT_LT(clock.elapsed(), 3000);
    if (image.ok()) {
        EXPECT_EQ(image.value().size(), QSize(pictures::Width, pictures::Height));
    } else {
        EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
    }
}

// Qt's reader returns a grey-filled picture for a JPEG cut anywhere in its data; the
// loader looks for the end-of-image marker instead of trusting it.
TEST(PictureLoader, AJpegCutAnywhereInItsDataIsRefused) {
    TempDir dir;
    const QByteArray jpg = pictures::file(QStringLiteral("a.jpg"));
    const qsizetype scan = jpg.indexOf("\xFF\xDA"); // the compressed data starts after this
    for (qsizetype cut = scan + 20; cut < jpg.size();
         cut += std::max<qsizetype>(1, (jpg.size() - scan) / 12)) {
        SCOPED_TRACE(cut);
        dir.file(QStringLiteral("cut.jpg"), jpg.left(cut));
        EXPECT_EQ(beside.loader.decode(dir.path(QStringLiteral("cut.jpg"))).error().number,
                  rt::err::InvalidPicture);
    }
}

} // namespace
