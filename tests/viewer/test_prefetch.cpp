// The decode-ahead: the size it decodes at, and when a picture decoded ahead may be used.

#include "FakePlatform.h"
#include "Prefetch.h"

#include "RegularFile.h"
#include "TempDir.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
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

// A display server that holds every picture it is given, and notes on which thread.
class HoldingPictures final : public rt::ScreenPictures {
public:
    struct Held final : rt::HeldPicture {
        QImage image; // a copy, as the server's is
        [[nodiscard]] QSize size() const override { return image.size(); }
        [[nodiscard]] QImage pixels() const override { return image; }
    };
    std::shared_ptr<const rt::HeldPicture> hold(const QImage& image) override {
        const std::lock_guard<std::mutex> lock(mutex);
        threads.push_back(std::this_thread::get_id());
        auto held = std::make_shared<Held>();
        held->image = image.copy();
        return held;
    }
    std::unique_ptr<rt::PictureWindow> windowIn(quintptr) override { return nullptr; }
    std::mutex mutex;
    std::vector<std::thread::id> threads;
};

// A 960 x 720 pixel screen with a 30-pixel caption, in twips.
const ShowArea Screen{960 * 15, 720 * 15, 30 * 15};

class PrefetchTest : public testing::Test {
protected:
    TempDir tmp;
    rt::DosFileSystem files;
    std::shared_ptr<HandedMetafiles> sharedMetafiles = std::make_shared<HandedMetafiles>();
    HandedMetafiles& metafiles = *sharedMetafiles;
    rt::PictureLoader loader{metafiles};
    std::shared_ptr<HoldingPictures> pictures = std::make_shared<HoldingPictures>();
    // The picture decoded: what the display server holds (the program's copy went).
    static QImage shown(const Decoded& d) { return d.held ? d.held->pixels() : d.image.value(); }
    // The decode-ahead is asked for DOS paths: C: is the host's root.
    QString dos(const QString& hostPath) const { return files.toDos(hostPath).value(); }
    QString picture(const QString& name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(tmp.path(name), "BMP"));
        return tmp.path(name);
    }
};

TEST_F(PrefetchTest, ReadyPictureIsTakenWithoutASecondDecode) {
    const QString a = picture("a.bmp", {1920, 480}, Qt::red);
    Prefetch p{files, sharedMetafiles, pictures};
    p.start(dos(a), Screen);
    const Decoded d =
        p.take(dos(a), Screen).picture.result(); // waits if the worker is not done yet
    ASSERT_TRUE(d.image.ok());
    EXPECT_EQ(p.decodes(), 1);
    // Handed to the display server once, ahead and on the worker, decoded at the fitted
    // size; the program's own copy then went.
    ASSERT_NE(d.held, nullptr);
    EXPECT_EQ(d.held->size(), QSize(960, 240));
    EXPECT_EQ(d.held->pixels().pixelColor(10, 10), QColor(Qt::red));
    EXPECT_TRUE(d.image.value().isNull());
    ASSERT_EQ(pictures->threads.size(), 1U);
    EXPECT_NE(pictures->threads.front(), std::this_thread::get_id());
}

// A drawer that measures every metafile as 100 x 50 and paints it green.
class GreenMetafiles final : public rt::MetafileDrawer {
public:
    rt::Result<QSize> size(rt::MetafileKind, const QByteArray&) override { return QSize(100, 50); }
    rt::Result<QImage> render(rt::MetafileKind, const QByteArray&, QSize size) override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::green);
        return image;
    }
};

TEST_F(PrefetchTest, MetafilesAreMeasuredAndDrawnByTheDrawerItWasHanded) {
    // A WMF without a placeable header: only a drawer can tell its size.
    tmp.file("mappa.wmf", QByteArray("\x01\x00\x09\x00\x00\x03\x0c\x00\x00\x00\x00\x00"
                                     "\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00",
                                     24));
    const QString path = dos(tmp.path("mappa.wmf"));
    {
        Prefetch p{files, sharedMetafiles, pictures}; // no drawer behind it: refused
        EXPECT_FALSE(p.take(path, Screen).picture.result().image.ok());
    }
    EXPECT_EQ(metafiles.sizes, 1);
    GreenMetafiles green;
    metafiles.drawer = &green;
    Prefetch p{files, sharedMetafiles, pictures};
    const Decoded d = p.take(path, Screen).picture.result();
    ASSERT_TRUE(d.image.ok()) << qPrintable(d.image.error().description);
    EXPECT_EQ(shown(d).size(), QSize(100, 50));
    EXPECT_EQ(shown(d).pixelColor(5, 5), QColor(Qt::green));
    EXPECT_EQ(metafiles.sizes, 2);
    EXPECT_EQ(metafiles.renders, 1);
}

TEST_F(PrefetchTest, AnotherEntryOrAnotherScreenIsDecodedAtTheTick) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    const QString b = picture("b.bmp", {100, 100}, Qt::green);
    Prefetch p{files, sharedMetafiles, pictures};
    p.start(dos(a), Screen);
    const Decoded d = p.take(dos(b), Screen).picture.result();
    EXPECT_EQ(shown(d).pixelColor(5, 5), QColor(Qt::green)); // never the wrong picture
    p.start(dos(b), Screen);
    ShowArea smaller = Screen;
    smaller.formWidth = 50 * 15;
    EXPECT_EQ(shown(p.take(dos(b), smaller).picture.result()).width(), 50);
}

TEST_F(PrefetchTest, FailureIsKeptForTheTickOfTheBadEntry) {
    tmp.file("rotto.jpg", "not a picture");
    Prefetch p{files, sharedMetafiles, pictures};
    p.start(dos(tmp.path("rotto.jpg")), Screen);
    const Decoded d = p.take(dos(tmp.path("rotto.jpg")), Screen).picture.result();
    ASSERT_FALSE(d.image.ok());
    EXPECT_EQ(d.image.error().number, rt::err::InvalidPicture);
    EXPECT_EQ(d.held, nullptr);
    EXPECT_TRUE(pictures->threads.empty()); // nothing to hold
}

TEST_F(PrefetchTest, FileChangedOrRemovedSinceTheDecodeIsReadAgain) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    Prefetch p{files, sharedMetafiles, pictures};
    p.start(dos(a), Screen);
    // Wait until the worker has read the file, then replace it.
    ASSERT_TRUE(eventually([&] { return p.aheadReady(); }));
    picture("a.bmp", {120, 100}, Qt::blue);
    const Decoded d = p.take(dos(a), Screen).picture.result();
    EXPECT_EQ(shown(d).pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(p.decodes(), 2);

    p.start(dos(a), Screen);
    ASSERT_TRUE(eventually([&] { return p.aheadReady(); }));
    ASSERT_TRUE(QFile::remove(a));
    EXPECT_FALSE(p.take(dos(a), Screen).picture.result().image.ok());
}

// Copies that keep the old times (cp -p, rsync -t, unzip) and permission changes leave size
// and modification time as they were; the change time and the inode still tell.
TEST_F(PrefetchTest, AReplacementKeepingSizeAndTimesOrANewModeIsReadAgain) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(a).constData(), &before), 0);
    const auto keepTimes = [&](const QString& path) {
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    };
    Prefetch p{files, sharedMetafiles, pictures};
    const auto readAheadThen = [&](const std::function<void()>& change) -> Decoded {
        p.start(dos(a), Screen);
        EXPECT_TRUE(eventually([&] { return p.aheadReady(); }));
        change();
        return p.take(dos(a), Screen).picture.result();
    };
    // Overwritten in place, then given back its times.
    Decoded d = readAheadThen([&] {
        picture("a.bmp", {100, 100}, Qt::green);
        keepTimes(a);
    });
    EXPECT_EQ(shown(d).pixelColor(5, 5), QColor(Qt::green));
    // Another file renamed over it, with the same size and times.
    d = readAheadThen([&] {
        const QString b = picture("b.bmp", {100, 100}, Qt::blue);
        keepTimes(b);
        ASSERT_EQ(::rename(QFile::encodeName(b).constData(), QFile::encodeName(a).constData()), 0);
    });
    EXPECT_EQ(shown(d).pixelColor(5, 5), QColor(Qt::blue));
    const int decodes = p.decodes();
    (void)readAheadThen([&] { ASSERT_EQ(::chmod(QFile::encodeName(a).constData(), 0400), 0); });
    EXPECT_EQ(p.decodes(), decodes + 2); // ahead, and again at the tick
}

// A file changed a moment before it was read might change again within the same tick of
// a coarse file-system clock: then only its content can prove it unchanged.
TEST_F(PrefetchTest, ARecentChangeIsProvedByTheContent) {
    const QString a = picture("a.bmp", {10, 10}, Qt::red);
    const viewer::FileStamp stamp = viewer::stampOf(a);
    const qint64 changed = std::max(stamp.modifiedNs, stamp.changedNs);
    EXPECT_FALSE(viewer::stampProvesSame(stamp, changed + viewer::CoarseTimeNs / 2, stamp));
    EXPECT_TRUE(viewer::stampProvesSame(stamp, changed + viewer::CoarseTimeNs * 2, stamp));
    EXPECT_FALSE(viewer::stampProvesSame(viewer::stampOf(tmp.path("missing")), changed * 2, {}));

    Decoded d = viewer::decodeForShow(loader, a, Screen); // just written: its digest is kept
    ASSERT_FALSE(d.digest.isEmpty());
    EXPECT_EQ(d.digestBytes, QFileInfo(a).size()); // a BMP is read whole
    EXPECT_TRUE(viewer::stillCurrent(d));
    d.digest = rt::digestOfStart(picture("other.bmp", {10, 10}, Qt::blue), d.digestBytes);
    EXPECT_FALSE(viewer::stillCurrent(d)); // the same stamp, but not what was read
    d.readAtNs = changed + viewer::CoarseTimeNs * 2;
    EXPECT_TRUE(viewer::stillCurrent(d)); // read long after its last change: the stamp suffices
}

// A file rewritten and given back an old modification time (cp -p, rsync -t, touch -d)
// has only its change time to show it is new: that alone keeps the stamp from proving it.
TEST_F(PrefetchTest, AnOldModificationTimeWithANewChangeTimeIsNoProof) {
    const QString a = picture("a.bmp", {10, 10}, Qt::red);
    const struct timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(a).constData(), old, 0), 0);
    const viewer::FileStamp stamp = viewer::stampOf(a);
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    ASSERT_EQ(stamp.modifiedNs, qint64(1000) * 1'000'000'000);
    EXPECT_FALSE(viewer::stampProvesSame(stamp, now, stamp));
    EXPECT_FALSE(
        viewer::decodeForShow(loader, a, Screen).digest.isEmpty()); // the content proves it
}

// The proof reads what the decoder read, no more: a JPEG up to its end marker, never the
// video of a motion photo after it; nothing at all of what is not a regular file.
TEST_F(PrefetchTest, TheProofReadsOnlyWhatTheDecoderRead) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::green);
    ASSERT_TRUE(image.save(tmp.path("j.jpg"), "JPEG"));
    const qint64 jpeg = QFileInfo(tmp.path("j.jpg")).size();
    QFile f(tmp.path("j.jpg"));
    ASSERT_TRUE(f.open(QIODevice::Append));
    ASSERT_TRUE(f.write(QByteArray(8 << 20, 'v')));
    f.close();
    const Decoded d = viewer::decodeForShow(loader, tmp.path("j.jpg"), Screen);
    ASSERT_TRUE(d.image.ok()) << qPrintable(d.image.error().description);
    EXPECT_GE(d.digestBytes, jpeg);
    EXPECT_LE(d.digestBytes, jpeg + (64 << 10)); // one step of the decoder's reads past it
    EXPECT_TRUE(viewer::stillCurrent(d));

    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.path("fifo.jpg")).constData(), 0600), 0);
    EXPECT_TRUE(rt::digestOfStart(tmp.path("fifo.jpg"), 10).isEmpty()); // returns at once
    EXPECT_FALSE(viewer::decodeForShow(loader, tmp.path("fifo.jpg"), Screen).image.ok());
}

// A picture's natural size is 15 twips a pixel whatever the screen's pixel ratio: on a
// screen scaled twice over it covers what it covers on an ordinary one, in twice the
// device pixels. It is decoded at the device pixels it covers, so that it is drawn one to
// one; one smaller than that is enlarged pixel for pixel by a whole factor.
TEST_F(PrefetchTest, ThePictureCoversItsApparentSizeAtTheScreensDevicePixels) {
    struct Case {
        double ratio;
        QSize screen;  // logical pixels
        QSize picture; // pixels
        QSize decoded; // device pixels
    };
    const Case cases[] = {
        {1, {960, 720}, {800, 500}, {800, 500}},      // fits: its own pixels
        {1, {960, 720}, {1920, 1200}, {960, 600}},    // narrowed to the screen
        {2, {1024, 768}, {300, 200}, {600, 400}},     // each pixel two by two
        {2, {1024, 768}, {1600, 1000}, {2048, 1280}}, // narrowed to the 1024-pixel screen
        {2, {512, 384}, {2000, 1250}, {1024, 640}},   // the screen's own device pixels
        // 341.3 logical pixels high: the form makes the picture 341, so 682 device pixels
        // (not 683, which would have Qt scale it again at every paint).
        {2, {512, 384}, {1500, 1000}, {1024, 682}},
        {1.25, {1536, 864}, {1000, 600}, {1250, 750}},
        {1.5, {640, 360}, {1920, 1200}, {864, 540}}, // the height decides
    };
    Prefetch p{files, sharedMetafiles, pictures};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ratio << " " << c.picture.width());
        const QString a =
            picture(QStringLiteral("r%1.bmp").arg(c.picture.width()), c.picture, Qt::red);
        const ShowArea area{float(c.screen.width() * 15), float(c.screen.height() * 15), 0,
                            c.ratio};
        const Decoded d = p.take(dos(a), area).picture.result();
        ASSERT_TRUE(d.image.ok()) << qPrintable(d.image.error().description);
        EXPECT_EQ(shown(d).size(), c.decoded);
        EXPECT_EQ(shown(d).devicePixelRatio(), c.ratio);
        EXPECT_NEAR(d.fit.width, c.decoded.width() * 15 / c.ratio, 1); // twips
    }
    // Enlarged twice over, each pixel stays itself: sharp, no colour between two.
    QImage stripes(4, 2, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            stripes.setPixel(x, y, (x + y) % 2 ? 0xff0000ffu : 0xffffff00u);
    ASSERT_TRUE(stripes.save(tmp.path("stripes.bmp"), "BMP"));
    const Decoded d =
        p.take(dos(tmp.path("stripes.bmp")), ShowArea{1024 * 15, 768 * 15, 0, 2}).picture.result();
    ASSERT_TRUE(d.image.ok());
    const QImage stretched = shown(d);
    ASSERT_EQ(stretched.size(), QSize(8, 4));
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(stretched.pixel(x, y), stripes.pixel(x / 2, y / 2)) << x << "," << y;
}

TEST_F(PrefetchTest, ClearedWhenANewListIsBuilt) {
    const QString a = picture("a.bmp", {100, 100}, Qt::red);
    Prefetch p{files, sharedMetafiles, pictures};
    p.start(dos(a), Screen);
    p.clear();
    (void)p.take(dos(a), Screen).picture.result();
    EXPECT_EQ(p.decodes(), 2); // nothing was held ahead: decoded again for the tick
}

TEST_F(PrefetchTest, AFileThatDoesNotAnswerHoldsOnlyItsOwnThread) {
    // Metafiles whose drawing never returns until let go: files on a share that stopped.
    BlockingMetafiles stuck;
    auto drawer = std::make_shared<HandedMetafiles>();
    drawer->drawer = &stuck;
    const QByteArray wmf("\x01\x00\x09\x00\x00\x03\x0c\x00\x00\x00\x00\x00"
                         "\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00",
                         24);
    QStringList away;
    for (int i = 0; i < Prefetch::Lanes; ++i) {
        tmp.file(QStringLiteral("away%1.wmf").arg(i), wmf);
        away << dos(tmp.path(QStringLiteral("away%1.wmf").arg(i)));
    }
    const QString a = dos(picture("a.bmp", {100, 100}, Qt::red));
    const QString b = dos(picture("b.bmp", {100, 100}, Qt::green));
    auto p = std::make_unique<Prefetch>(files, drawer, pictures);

    // Decoded ahead, the first file does not answer; its tick is left waiting.
    p->start(away[0], Screen);
    const Prefetch::Taken first = p->take(away[0], Screen);
    ASSERT_TRUE(eventually([&] { return stuck.entered() == 1; }));
    EXPECT_TRUE(first.tried());
    // The next ticks' pictures, and the one decoded ahead, come on the other threads.
    EXPECT_EQ(shown(p->take(a, Screen).picture.result()).pixelColor(5, 5), QColor(Qt::red));
    p->start(b, Screen);
    EXPECT_TRUE(eventually([&] { return p->aheadReady(); }));
    EXPECT_EQ(shown(p->take(b, Screen).picture.result()).pixelColor(5, 5), QColor(Qt::green));
    // Coming to the same file again, ahead or at a tick, waits for the same decode.
    p->start(away[0], Screen);
    const Prefetch::Taken again = p->take(away[0], Screen);
    EXPECT_TRUE(again.tried());
    QThread::msleep(50);
    EXPECT_EQ(stuck.entered(), 1);

    // As many files not answering as threads: the next decode waits for a thread, and has
    // not tried its file (no message may name it).
    for (int i = 1; i < Prefetch::Lanes; ++i)
        (void)p->take(away[i], Screen);
    ASSERT_TRUE(eventually([&] { return stuck.entered() == Prefetch::Lanes; }));
    const Prefetch::Taken waiting = p->take(a, Screen);
    QThread::msleep(50);
    EXPECT_FALSE(waiting.tried());
    EXPECT_FALSE(waiting.picture.isFinished());

    // The decode-ahead goes at once though its threads are blocked; the decodes end
    // later with the drawer they share, gone everywhere else by then.
    QElapsedTimer clock;
    clock.start();
    p.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(waiting.picture.isCanceled());
    drawer.reset();
    stuck.letGo();
    const Decoded refused = first.picture.result();
    EXPECT_FALSE(refused.image.ok());
    EXPECT_TRUE(eventually([&] { return stuck.inside() == 0; }));
}

TEST_F(PrefetchTest, StampFollowsSizeAndTime) {
    const QString a = picture("a.bmp", {10, 10}, Qt::red);
    const viewer::FileStamp first = viewer::stampOf(a);
    EXPECT_GT(first.size, 0);
    struct utimbuf times {
        1000, 1000
    };
    ASSERT_EQ(::utime(QFile::encodeName(a).constData(), &times), 0);
    EXPECT_NE(viewer::stampOf(a), first);
    EXPECT_EQ(viewer::stampOf(tmp.path("missing")).size, -1);
    // The same name, another file.
    const QString b = picture("b.bmp", {10, 10}, Qt::red);
    const viewer::FileStamp other = viewer::stampOf(b);
    ASSERT_EQ(::rename(QFile::encodeName(b).constData(), QFile::encodeName(a).constData()), 0);
    EXPECT_EQ(viewer::stampOf(a).inode, other.inode);
    EXPECT_NE(viewer::stampOf(a), first);
}

} // namespace
