#include "Prefetch.h"

#include "TempDir.h"

#include <QImage>
#include <gtest/gtest.h>

#include <thread>
#include <utime.h>

using viewer::Decoded;
using viewer::Prefetch;
using viewer::ShowArea;

namespace {

// Waits at most five seconds for a condition.
template <class Pred> bool eventually(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A 960 x 720 pixel screen with a 30-pixel caption, in twips.
const ShowArea Screen{960 * 15, 720 * 15, 30 * 15};

class PrefetchTest : public testing::Test {
protected:
    TempDir tmp;
    QString picture(const QString& name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(tmp.path(name), "BMP"));
        return tmp.path(name);
    }
};

TEST_F(PrefetchTest, ReadyPictureIsTakenWithoutASecondDecode) {
    const QString a = picture("a.bmp", {1920, 480}, Qt::red);
    Prefetch p;
    p.start(a, Screen);
    const Decoded d = p.take(a, Screen); // waits if the worker is not done yet
    ASSERT_FALSE(d.error.failed());
    EXPECT_EQ(d.image.size(), QSize(960, 240)); // decoded at the fitted size
    EXPECT_EQ(d.image.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(p.decodes(), 1);
}

TEST_F(PrefetchTest, AnotherEntryOrAnotherScreenIsDecodedAtTheTick) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    const QString b = picture("b.bmp", {100, 100}, Qt::green);
    Prefetch p;
    p.start(a, Screen);
    const Decoded d = p.take(b, Screen);
    EXPECT_EQ(d.image.pixelColor(5, 5), QColor(Qt::green)); // never the wrong picture
    p.start(b, Screen);
    ShowArea smaller = Screen;
    smaller.formWidth = 50 * 15;
    EXPECT_EQ(p.take(b, smaller).image.width(), 50);
}

TEST_F(PrefetchTest, FailureIsKeptForTheTickOfTheBadEntry) {
    tmp.file("rotto.jpg", "not a picture");
    Prefetch p;
    p.start(tmp.path("rotto.jpg"), Screen);
    const Decoded d = p.take(tmp.path("rotto.jpg"), Screen);
    EXPECT_TRUE(d.error.failed());
    EXPECT_TRUE(d.image.isNull());
}

TEST_F(PrefetchTest, FileChangedOrRemovedSinceTheDecodeIsReadAgain) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    Prefetch p;
    p.start(a, Screen);
    // Wait until the worker has read the file, then replace it.
    ASSERT_TRUE(eventually([&] { return p.aheadReady(); }));
    picture("a.bmp", {120, 100}, Qt::blue);
    const Decoded d = p.take(a, Screen);
    EXPECT_EQ(d.image.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(p.decodes(), 2);

    p.start(a, Screen);
    ASSERT_TRUE(eventually([&] { return p.aheadReady(); }));
    ASSERT_TRUE(QFile::remove(a));
    EXPECT_TRUE(p.take(a, Screen).error.failed());
}

TEST_F(PrefetchTest, ClearedWhenANewListIsBuilt) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    Prefetch p;
    p.start(a, Screen);
    p.clear();
    const int before = p.decodes();
    (void)p.take(a, Screen);
    EXPECT_EQ(p.decodes(), before + 1); // nothing was held ahead
}

TEST_F(PrefetchTest, StampFollowsSizeAndTime) {
    const QString a = picture("a.bmp", {10, 10}, Qt::red);
    const viewer::FileStamp first = viewer::stampOf(a);
    EXPECT_GT(first.size, 0);
    struct utimbuf times{1000, 1000};
    ASSERT_EQ(::utime(QFile::encodeName(a).constData(), &times), 0);
    EXPECT_NE(viewer::stampOf(a), first);
    EXPECT_EQ(viewer::stampOf(tmp.path("missing")).size, -1);
}

} // namespace
