// The viewer form's start-up, under the offscreen platform, with the settings dialog
// replaced by a script.

#include "DrawingLayer.h"
#include "Form1.h"
#include "Numbers.h"
#include "Timer.h"
#include "Transition.h"

#include "FakePlatform.h"
#include "TempDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QSet>
#include <QTest>

#include <atomic>
#include <cmath>
#include <functional>

namespace {

// A display server that holds every picture, and one window of its own that notes what
// it is asked to show.
struct ServerLog final : rt::ScreenPictures {
    struct Held final : rt::HeldPicture {
        QImage image; // a copy, as the server's is
        QRgb first = 0;
        [[nodiscard]] QSize size() const override { return image.size(); }
        [[nodiscard]] QImage pixels() const override {
            ++log->readBacks;
            return image;
        }
        ServerLog* log = nullptr;
    };
    struct Window final : rt::PictureWindow {
        ServerLog& log;
        explicit Window(ServerLog& l) : log(l) {}
        void show(const std::shared_ptr<const rt::HeldPicture>& picture,
                  const QRect& area) override {
            log.shown = area;
            log.colour = static_cast<const Held&>(*picture).first;
            log.visible = true;
        }
        void hide() override {
            if (log.visible && log.onHide) log.onHide();
            log.visible = false;
        }
    };
    std::shared_ptr<const rt::HeldPicture> hold(const QImage& image) override {
        ++holds; // on the decode worker
        auto held = std::make_shared<Held>();
        held->image = image.copy();
        held->first = image.pixel(0, 0);
        held->log = this;
        return held;
    }
    std::unique_ptr<rt::PictureWindow> windowIn(quintptr) override {
        ++windows;
        return std::make_unique<Window>(*this);
    }
    std::atomic<int> holds = 0;
    mutable std::atomic<int> readBacks = 0;
    int windows = 0;
    bool visible = false;
    QRect shown;
    QRgb colour = 0;
    std::function<void()> onHide;
};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tmp = std::make_unique<TempDir>();
        fake = std::make_unique<FakePlatform>(rt::DosFileSystem().toDos(tmp->path()).value(),
                                              rt::DriveTable(), 960 * 15, 720 * 15);
        s = settings::Modulo1{};
        dialogs = 0;
        eventRuns = 0;
    }
    void cleanup() {
        fake.reset();
        tmp.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // The wipe's figures land on exactly the pixels they name, whichever way they are
    // drawn, and nowhere else.
    void drawingLayerFiguresCoverTheirPixels() {
        QWidget form;
        form.resize(20, 12);
        rt::DrawingLayer layer(&form);
        const auto covered = [&] {
            QSet<QPair<int, int>> set;
            const QImage& img = layer.image();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qAlpha(img.pixel(x, y)) != 0) set.insert({x, y});
            return set;
        };
        layer.line({8, 3}, {2, 3}, Qt::white);     // across, drawn right to left
        layer.line({4, 9}, {4, 6}, Qt::black);     // down, drawn upwards
        layer.line({10, 10}, {10, 10}, Qt::white); // a single point
        layer.line({12, 0}, {14, 2}, Qt::white);   // a diagonal
        QSet<QPair<int, int>> want;
        for (int x = 2; x <= 8; ++x)
            want.insert({x, 3});
        for (int y = 6; y <= 9; ++y)
            want.insert({4, y});
        want.insert({10, 10});
        for (int k = 0; k <= 2; ++k)
            want.insert({12 + k, k});
        QCOMPARE(covered(), want);
        QCOMPARE(layer.image().pixel(4, 7), qRgb(0, 0, 0));

        layer.clear();
        QVERIFY(covered().isEmpty());
        layer.box({18, 10}, {15, 6}, Qt::white); // corners in any order
        layer.box({1, 1}, {1, 4}, Qt::black);    // one pixel wide: a strip
        want.clear();
        for (int x = 15; x <= 18; ++x)
            want.insert({x, 6}), want.insert({x, 10});
        for (int y = 6; y <= 10; ++y)
            want.insert({15, y}), want.insert({18, y});
        for (int y = 1; y <= 4; ++y)
            want.insert({1, y});
        QCOMPARE(covered(), want);
    }

    // One step of each pattern on a 960 x 720 form changes exactly the strips of its
    // figures (clipped to the form), in white and again in black: a frame presents those
    // and nothing else.
    void eachWipeStepDamagesOnlyItsStrips_data() {
        QTest::addColumn<int>("pattern");
        QTest::addColumn<int>("step");
        QTest::addColumn<QRegion>("strips");
        QRegion box;
        box += QRect(453, 333, 55, 1);
        box += QRect(453, 387, 55, 1);
        box += QRect(453, 333, 1, 55);
        box += QRect(507, 333, 1, 55);
        QTest::newRow("growing square, i = 400") << 1 << 100 << box;
        QTest::newRow("growing square past the top and bottom")
            << 1 << 1500 << (QRegion(80, 0, 1, 720) + QRegion(880, 0, 1, 720));
        QTest::newRow("shrinking square, first step") << 0 << 0 << QRegion(0, 0, 1, 720);
        QTest::newRow("shrinking square, last step") << 2 << 1800 << QRegion(480, 360, 1, 1);
        QTest::newRow("lines apart, i = 400")
            << 3 << 100 << (QRegion(453, 0, 1, 720) + QRegion(507, 0, 1, 720));
        QTest::newRow("lines together, first step") << 4 << 0 << QRegion(0, 0, 1, 720);
    }
    void eachWipeStepDamagesOnlyItsStrips() {
        QFETCH(int, pattern);
        QFETCH(int, step);
        QFETCH(QRegion, strips);
        QWidget form;
        form.resize(960, 720);
        rt::DrawingLayer layer(&form);
        const auto px = [](int twips) { return int(std::lround(twips / 15.0)); };
        int k = 0, checked = 0;
        bool afterPause = true, blackToCheck = false;
        const auto checkBlack = [&] {
            if (!blackToCheck) return;
            blackToCheck = false;
            QCOMPARE(layer.pending(), strips);
            ++checked;
        };
        viewer::transitionFigures(960 * 15, pattern, [&](const viewer::Figure& f) {
            if (f.kind == viewer::Figure::Kind::Pause) {
                if (k == step) {
                    QCOMPARE(layer.pending(), strips);
                    ++checked;
                    blackToCheck = true;
                }
                layer.present();
                QVERIFY(layer.pending().isEmpty());
                ++k;
                afterPause = true;
                return;
            }
            if (f.white && afterPause) {
                // A new step: what the previous one left is on the screen.
                checkBlack();
                layer.present();
                afterPause = false;
            }
            const QPoint a(px(f.x1), px(f.y1)), b(px(f.x2), px(f.y2));
            const QColor colour = f.white ? Qt::white : Qt::black;
            if (f.kind == viewer::Figure::Kind::Box)
                layer.box(a, b, colour);
            else
                layer.line(a, b, colour);
        });
        checkBlack();
        QCOMPARE(checked, 2);
    }

    // Strips written over before a frame is presented need not be written at all; what
    // each frame shows is still exactly what drawing every figure in order gives.
    void wipeFramesShowWhatDrawingEveryFigureGives() {
        const auto px = [](int twips) { return int(std::lround(twips / 15.0)); };
        for (int pattern : {0, 1, 3}) {
            QWidget form;
            form.resize(200, 150);
            rt::DrawingLayer layer(&form);
            QImage want(200, 150, QImage::Format_ARGB32_Premultiplied);
            want.fill(Qt::transparent);
            const auto fill = [&](int x1, int y1, int x2, int y2, bool white) {
                QPainter p(&want);
                p.fillRect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                                 QPoint(std::max(x1, x2), std::max(y1, y2))),
                           white ? Qt::white : Qt::black);
            };
            int k = 0, compared = 0;
            viewer::transitionFigures(200 * 15, pattern, [&](const viewer::Figure& f) {
                if (f.kind == viewer::Figure::Kind::Pause) {
                    if (++k % 7 == 0) {
                        layer.present();
                        QCOMPARE(layer.image(), want);
                        ++compared;
                    }
                    return;
                }
                const QColor colour = f.white ? Qt::white : Qt::black;
                const int x1 = px(f.x1), y1 = px(f.y1), x2 = px(f.x2), y2 = px(f.y2);
                if (f.kind == viewer::Figure::Kind::Line) {
                    layer.line({x1, y1}, {x2, y2}, colour);
                    fill(x1, y1, x2, y2, f.white);
                } else {
                    layer.box({x1, y1}, {x2, y2}, colour);
                    fill(x1, y1, x2, y1, f.white);
                    fill(x1, y2, x2, y2, f.white);
                    fill(x1, y1, x1, y2, f.white);
                    fill(x2, y1, x2, y2, f.white);
                }
            });
            QCOMPARE(layer.image(), want);
            QVERIFY(compared > 10);
        }
    }

    void okStartsTheTimerCoversTheScreenAndBuildsTheList() {
        tmp->file("foto/a.jpg");
        tmp->file("foto/sub/b.gif");
        const QString folder = rt::withBackslash(fake->files.toDos(tmp->path("foto")).value());
        viewer::Form1 form(fake->platform, s, [&] {
            s.GoFlag = settings::True;
            s.FolderPath = folder;
            s.TempoAttesa = 5000;
        });
        load(form);
        QCOMPARE(fake->programEnd.calls, 0);
        QVERIFY(form.Timer1->enabled());
        QCOMPARE(form.Timer1->interval(), 5000);
        QCOMPARE(form.slides().images()[1], QStringLiteral(".\\a.jpg"));
        QCOMPARE(form.slides().images()[2], QStringLiteral("sub\\b.gif"));
        QCOMPARE(form.slides().pictureCount(), 2);
        QCOMPARE(form.geometry(), QRect(0, 0, 960, 720));
        form.show(); // shown where it stands, then full screen
        QTRY_VERIFY(form.windowState() & Qt::WindowFullScreen);
        QVERIFY(fake->screenAwake.held);
        form.Fine();
        QVERIFY(!fake->screenAwake.held);
    }

    void startScreenIsLaidOutBeforeTheDialog() {
        viewer::Form1 form(fake->platform, s, [&] {
            // While the dialog is open the start screen is already laid out.
            const viewer::TwipRect img = form.image1Twips();
            const viewer::TwipRect lbl = form.label1Twips();
            QCOMPARE(form.Label1->text(), QStringLiteral("Quadrello"));
            QCOMPARE(img.width, 1680.0f);
            QCOMPARE(img.top, (720 * 15 - lbl.height - 1680) / 2 + lbl.height);
            QCOMPARE(img.left, float((960 * 15 - 1680) / 2));
            QCOMPARE(lbl.top, img.top - lbl.height - 104);
            QCOMPARE(lbl.left, float(rt::halfOf(960 * 15 - lbl.width)));
            QVERIFY(lbl.width > 0);
            s.GoFlag = settings::True;
        });
        QCOMPARE(form.Label1->font().bold(), true);
        form.Form_Load();
    }

    void dialogClosedWithoutOkEndsTheProgram() {
        viewer::Form1 form(fake->platform, s, [] {});
        form.Form_Load();
        QCOMPARE(fake->programEnd.calls, 1);
        QVERIFY(!form.Timer1->enabled());
        QCOMPARE(form.slides().pictureCount(), 0);
    }

    void activationSetsTheCrosshair() {
        viewer::Form1 form(fake->platform, s, [&] { s.GoFlag = settings::True; });
        form.Form_Activate();
        QCOMPARE(fake->pointer.last(), rt::PointerShape::Crosshair);
    }

    // --- The show -----------------------------------------------------------------

    // One tick of the show, to its end: the picture arrives from the worker, and the
    // sounds it asked for reach the media.
    static void tick(viewer::Form1& form) {
        form.Timer1_Timer();
        QVERIFY(QTest::qWaitFor([&] { return !form.tickUnderWay(); }, 5000));
        QVERIFY(form.waitForSounds(5000));
    }
    // Start-up, to the end of the walk.
    static void load(viewer::Form1& form) {
        form.Form_Load();
        QVERIFY(QTest::qWaitFor([&] { return form.slides().complete(); }, 5000));
    }

    // A started show over the folder `rel` of the temporary folder, pictures listed.
    std::unique_ptr<viewer::Form1> startedShow(const QString& rel, int effects = 0) {
        const QString folder = rt::withBackslash(fake->files.toDos(tmp->path(rel)).value());
        auto form = std::make_unique<viewer::Form1>(fake->platform, s, [this, folder, effects] {
            ++dialogs;
            s.GoFlag = settings::True;
            s.FolderPath = folder;
            s.TempoAttesa = 5000;
            s.Effetti = std::int16_t(effects);
            s.SuonoWAV = 1;
            s.MusicaFM = 1;
        });
        form->setLetEventsRun([this] { ++eventRuns; });
        form->Form_Load();
        [&] { QVERIFY(QTest::qWaitFor([&] { return form->slides().complete(); }, 5000)); }();
        return form;
    }
    void picture(const QString& rel, QSize size, QColor colour = Qt::red) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QDir().mkpath(QFileInfo(tmp->path(rel)).absolutePath());
        QVERIFY(image.save(tmp->path(rel)));
    }

    void threePicturesThenTheEndOfPassThenAgain() {
        picture("f/a.jpg", {40, 30});
        picture("f/B.bmp", {30, 40});
        picture("f/Sub/C.JPG", {20, 20});
        auto form = startedShow("f");
        QStringList captions;
        for (int i = 0; i < 6; ++i) {
            tick(*form);
            captions << form->Label1->text();
        }
        QCOMPARE(captions, (QStringList{".\\a.jpg", ".\\b.bmp", "sub\\c.jpg", "Quadrel Fine loop",
                                        ".\\a.jpg", ".\\b.bmp"}));
        QVERIFY(fake->messages.shown.empty());
        // Each picture was decoded once, ahead of its tick: five shown, the next one ahead.
        QTRY_COMPARE(form->prefetch().decodes(), 6);
    }

    void onePictureAlternatesWithTheEndOfPass() {
        picture("f/solo.jpg", {40, 30}, Qt::green);
        auto form = startedShow("f");
        tick(*form);
        QCOMPARE(form->Label1->text(), QStringLiteral(".\\solo.jpg"));
        QVERIFY(form->Image1->isVisibleTo(form.get()));
        QCOMPARE(form->backColor().blue(), 0);
        tick(*form);
        QCOMPARE(form->Label1->text(), QStringLiteral("Quadrel Fine loop"));
        QCOMPARE(form->backColor(), QColor(Qt::black));
        QVERIFY(!form->Image1->isVisibleTo(form.get()));
        QCOMPARE(form->label1Twips().left, (form->widthTwips() - form->label1Twips().width) / 2);
        tick(*form);
        QCOMPARE(form->Label1->text(), QStringLiteral(".\\solo.jpg"));
    }

    // The show covers the monitor the dialog was on, and every figure reads that monitor;
    // when a monitor changes it moves to the primary one at the next tick.
    void theShowCoversItsMonitorAndMovesToThePrimaryWhenOneChanges() {
        fake->screen.monitors = {{{0, 0, 1920, 1080}, 1}, {{1920, 120, 800, 600}, 1}};
        picture("f/a.jpg", {600, 400});
        const QString folder = rt::withBackslash(fake->files.toDos(tmp->path("f")).value());
        viewer::Form1 form(fake->platform, s, [&] {
            fake->screen.shown = 1; // the dialog's OK, with the dialog on the second one
            s.GoFlag = settings::True;
            s.FolderPath = folder;
            s.TempoAttesa = 5000;
        });
        load(form); // not shown: the offscreen screen would size a full-screen form
        const auto centred = [&](QRect monitor) {
            QCOMPARE(form.geometry(), monitor);
            QCOMPARE(form.widthTwips(), float(monitor.width() * 15));
            QCOMPARE(form.heightTwips(), float(monitor.height() * 15));
            const viewer::TwipRect img = form.image1Twips();
            const viewer::TwipRect lbl = form.label1Twips();
            QCOMPARE(img.width, 600.0f * 15);
            QCOMPARE(img.left, (monitor.width() * 15 - img.width) / 2);
            QCOMPARE(img.top, (monitor.height() * 15 - lbl.height - img.height) / 2 + lbl.height);
            QCOMPARE(lbl.left, float(rt::halfOf(monitor.width() * 15 - lbl.width)));
        };
        tick(form);
        centred({1920, 120, 800, 600});
        tick(form); // the end of the pass
        fake->screen.change();
        tick(form);
        centred({0, 0, 1920, 1080});
        QVERIFY(!fake->screen.takeChange()); // taken once
    }

    void pictureIsFittedCentredAndCaptionedAtTheTop() {
        // A 1920 x 480 picture on a 960 x 720 screen: narrowed to the form's width.
        picture("f/wide.jpg", {1920, 480});
        auto form = startedShow("f");
        tick(*form);
        const viewer::TwipRect img = form->image1Twips();
        const viewer::TwipRect lbl = form->label1Twips();
        QCOMPARE(img.width, 960.0f * 15);
        QCOMPARE(img.height, 240.0f * 15);
        QCOMPARE(img.left, 0.0f);
        QCOMPARE(img.top, (720.0f * 15 - lbl.height - img.height) / 2 + lbl.height);
        QCOMPARE(lbl.top, 0.0f);
        QCOMPARE(form->Image1->picture().size(), QSize(960, 240)); // decoded at its shown size
    }

    void slideInStepsThenRestsAtTheCentre() {
        picture("f/a.jpg", {300, 200});
        auto form = startedShow("f", 1);
        QList<float> lefts;
        form->setLetEventsRun([&] { lefts << form->image1Twips().left; });
        tick(*form);
        const float W = 300 * 15, X = (960 * 15 - W) / 2;
        QCOMPARE(lefts.first(), -W);
        QCOMPARE(lefts.size(), int((X + W) / 2000) + 1);
        for (int i = 1; i < lefts.size(); ++i)
            QCOMPARE(lefts[i] - lefts[i - 1], 2000.0f);
        QCOMPARE(form->image1Twips().left, X);
        QVERIFY(form->drawing().presentedFrames() > 0); // the clearing was shown
        QVERIFY(form->drawing().isEmpty());             // and replaced by the new background
    }

    // On a 3840-pixel screen the slide-in takes every 2000-twip step but presents two a
    // frame, and each frame paints only the columns the move uncovers: what was on the
    // screen is moved, so each column of the picture is painted once.
    void slideInAt4kPresentsTwoStepsAFrameAndPaintsOnlyNewColumns() {
        fake = std::make_unique<FakePlatform>(rt::DosFileSystem().toDos(tmp->path()).value(),
                                              rt::DriveTable(), 3840 * 15, 2160 * 15);
        picture("f/a.jpg", {2400, 1200});
        auto form = startedShow("f", 1);
        // Shown for real painting, over the whole 3840-pixel screen (the offscreen screen
        // is smaller than a full-screen window would need), once shown full screen.
        form->show();
        QTRY_VERIFY(form->windowState() & Qt::WindowFullScreen);
        form->setWindowState(Qt::WindowNoState);
        form->setGeometry(0, 0, 3840, 2160);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->widthTwips(), 3840.0f * 15);
        struct PaintLog : QObject {
            QWidget* image = nullptr;
            bool on = true;
            qint64 pixels = 0;
            bool eventFilter(QObject* o, QEvent* e) override {
                if (on && o == image && e->type() == QEvent::Paint)
                    for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                        pixels += qint64(r.width()) * r.height();
                return false;
            }
        } log;
        log.image = form->Image1;
        form->Image1->installEventFilter(&log);
        const float W = 2400 * 15, X = (3840 * 15 - W) / 2;
        const int steps = int((X + W) / 2000) + 1;
        QList<float> lefts;
        QList<int> shownAt;
        form->setLetEventsRun([&] {
            lefts << form->image1Twips().left;
            shownAt << form->Image1->x();
            if (lefts.size() == steps) log.on = false; // the slide-in is over
        });
        tick(*form);
        QCOMPARE(lefts.size(), steps);
        for (int i = 1; i < lefts.size(); ++i)
            QCOMPARE(lefts[i] - lefts[i - 1], 2000.0f);
        // The picture on the screen moves at every second step.
        for (int i = 1; i < steps; ++i)
            QCOMPARE(shownAt[i] != shownAt[i - 1], i % 2 == 1);
        // From its first place on (never where the previous picture stood).
        QCOMPARE(shownAt[0], int(std::lround(lefts[0] / 15)));
        QCOMPARE(shownAt[1], int(std::lround(lefts[1] / 15)));
        // Each column painted about once (a step's columns more where the move's pixels
        // round differently), where repainting the picture at each frame would paint it
        // five times over.
        QVERIFY2(log.pixels <= qint64(2400) * 1200 * 5 / 4,
                 qPrintable(QString::number(log.pixels)));
        QCOMPARE(form->image1Twips().left, X);
    }

    // A picture the display server holds is shown by the server's window where the
    // picture stands; before a wipe draws over it, the form paints it again, under the
    // figures; the end of the pass takes it off.
    void heldPictureIsShownByTheServerUntilAWipeDrawsOverIt() {
        auto server = std::make_shared<ServerLog>();
        fake->platform.screenPictures = server;
        picture("f/a.jpg", {300, 200}, Qt::red);
        picture("f/b.jpg", {200, 100}, Qt::blue);
        auto form = startedShow("f", 1);
        form->setWindowState(Qt::WindowNoState);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        tick(*form);
        QVERIFY(server->visible);
        QCOMPARE(server->shown, form->Image1->geometry()); // after the slide-in, at its rest
        const auto reddish = [](QRgb c) { return qRed(c) > 200 && qBlue(c) < 50; }; // a JPEG's red
        QVERIFY(reddish(server->colour));
        QVERIFY(form->Image1->shownByServer());
        QVERIFY(form->Image1->picture().isNull()); // the program's copy went
        QCOMPARE(server->readBacks.load(), 0);

        int framesAtHide = -1;
        QImage paintedAtHide;
        server->onHide = [&] {
            framesAtHide = form->drawing().presentedFrames();
            paintedAtHide = form->Image1->grab().toImage();
        };
        const int framesBefore = form->drawing().presentedFrames();
        tick(*form);
        QCOMPARE(framesAtHide, framesBefore);          // taken back before the wipe's first frame
        QVERIFY(reddish(paintedAtHide.pixel(10, 10))); // by the form itself, read back
        QCOMPARE(server->readBacks.load(), 1);
        QVERIFY(server->visible);
        QVERIFY(qBlue(server->colour) > 200 && qRed(server->colour) < 50);
        QCOMPARE(server->shown, form->Image1->geometry());

        tick(*form); // the end of the pass
        QVERIFY(!server->visible);
        QCOMPARE(server->windows, 1);
        QVERIFY(server->holds.load() >= 2);
    }

    // A replaced picture stays until the show says the new one is on the screen, so that
    // giving its memory back never falls within a transition: a slide-in finished first.
    void replacedPictureIsLetGoOnceTheNewOneIsShown() {
        struct Freed {
            int count = 0;
            std::function<void()> then;
        } freed;
        const auto counted = [&freed](int side) {
            auto* bits = new uchar[std::size_t(side * side * 4)];
            struct Info {
                Freed* freed;
                uchar* bits;
            };
            return QImage(
                bits, side, side, side * 4, QImage::Format_RGB32,
                [](void* p) {
                    auto* info = static_cast<Info*>(p);
                    ++info->freed->count;
                    if (info->freed->then) info->freed->then();
                    delete[] info->bits;
                    delete info;
                },
                new Info{&freed, bits});
        };
        rt::NoScreenPictures server;
        rt::ImageBox box(server, nullptr);
        box.setPicture(counted(8));
        box.setPicture(counted(4));
        QCOMPARE(freed.count, 0);
        box.letPreviousGo();
        QCOMPARE(freed.count, 1);

        picture("f/a.jpg", {40, 30}, Qt::red);
        picture("f/b.jpg", {40, 30}, Qt::blue);
        auto form = startedShow("f", 1);
        tick(*form);
        form->Image1->setPicture(counted(8)); // as the picture shown before
        int leftAtFree = -1;
        freed.then = [&] { leftAtFree = form->Image1->x(); };
        tick(*form);
        QCOMPARE(freed.count, 2);
        QCOMPARE(leftAtFree, form->Image1->x()); // at its rest, not somewhere on its way in
        freed.then = nullptr;
    }

    void badPictureGetsItsMessageAndTheShowGoesOn() {
        picture("f/a.jpg", {40, 30}, Qt::blue);
        tmp->file("f/Rotto.GIF", "not a picture at all");
        tmp->file("f/Rotto.wav", "RIFF");
        auto form = startedShow("f");
        tick(*form);
        const QColor before = form->backColor();
        fake->media.commands.clear();
        fake->media.sounds.clear();
        tick(*form);
        QCOMPARE(fake->messages.texts(),
                 QStringList{"Il file: .\\Rotto.GIF non e' un file di immagini valido."});
        QCOMPARE(fake->messages.shown[0].title, QStringLiteral("Quadrello"));
        QCOMPARE(form->Label1->text(), QStringLiteral(".\\a.jpg")); // the old caption stays
        QCOMPARE(form->backColor(), before);
        QVERIFY(!form->Image1->isVisibleTo(form.get()));
        QVERIFY(fake->media.sounds.isEmpty()); // no comment, no music for it
        QVERIFY(fake->media.commands.isEmpty());
        tick(*form);
        QCOMPARE(form->Label1->text(), QStringLiteral("Quadrel Fine loop"));
    }

    void emptyFolderBringsTheDialogBackAndKeepsThePosition() {
        tmp->folder("vuota");
        picture("piena/p1.jpg", {10, 10});
        picture("piena/p2.jpg", {10, 10});
        const QString empty = rt::withBackslash(fake->files.toDos(tmp->path("vuota")).value());
        const QString full = rt::withBackslash(fake->files.toDos(tmp->path("piena")).value());
        viewer::Form1 form(fake->platform, s, [&] {
            ++dialogs;
            s.GoFlag = settings::True;
            s.FolderPath = dialogs == 1 ? empty : full;
            s.TempoAttesa = 5000;
        });
        form.Form_Load();
        fake->messages.onShow = [&](const ShownMessage&) { QCOMPARE(dialogs, 1); };
        tick(form);
        // Held for each show, let go while the dialog was back.
        QCOMPARE(fake->screenAwake.changes, (QStringList{"hold", "release", "hold"}));
        QCOMPARE(fake->messages.texts(),
                 QStringList{"Nessun file di immagini trovato in questa cartella."});
        QCOMPARE(dialogs, 2);
        QCOMPARE(form.slides().position(), std::int16_t(1));
        // The next tick goes on at position 2 of the new list.
        tick(form);
        QCOMPARE(form.Label1->text(), QStringLiteral(".\\p2.jpg"));
    }

    void picturesCaptionsAreLowerCaseAndColoursHaveNoBlue() {
        picture("f/Vacanze/Mare01.JPG", {40, 30});
        auto form = startedShow("f");
        for (int i = 0; i < 20; ++i) {
            fake->clock.seconds = 1000.0 + i * 7.3;
            tick(*form);
            if (form->slides().position() == 0) continue;
            QCOMPARE(form->Label1->text(), QStringLiteral("vacanze\\mare01.jpg"));
            QCOMPARE(form->backColor().blue(), 0);
        }
    }

    void commentAndMusicStartWithThePicture() {
        picture("f/mare.jpg", {10, 10});
        picture("f/onda.jpg", {10, 10});
        tmp->file("f/mare.wav", "RIFF");
        tmp->file("f/tema.mid", "MThd");
        auto form = startedShow("f");
        tick(*form);
        QCOMPARE(fake->media.sounds.size(), 1);
        QVERIFY(fake->media.sounds[0].endsWith("\\f\\.\\mare.wav"));
        QCOMPARE(fake->media.commands.size(), 3);
        QCOMPARE(fake->media.commands[0], QStringLiteral("close can"));
        QVERIFY(fake->media.commands[1].startsWith("open \""));
        QCOMPARE(fake->media.commands[2], QStringLiteral("play can "));
        // One folder: the music is not started again at the next picture nor pass.
        for (int i = 0; i < 5; ++i)
            tick(*form);
        QCOMPARE(fake->media.commands.size(), 3);
    }

    void musicStartsAgainInEachSubfolderAndAfterTheWrap() {
        picture("g/a/1.jpg", {10, 10});
        picture("g/a/2.jpg", {10, 10});
        picture("g/b/1.jpg", {10, 10});
        tmp->file("g/a/a.mid", "MThd");
        tmp->file("g/b/b.mid", "MThd");
        auto form = startedShow("g");
        for (int i = 0; i < 5; ++i)
            tick(*form); // a, a, b, end of pass, a
        const QString open = "open \"" + s.FolderPath + "%1\" type sequencer alias can";
        QCOMPARE(fake->media.commands,
                 (QStringList{"close can", open.arg("a\\a.mid"), "play can ", "close can",
                              open.arg("b\\b.mid"), "play can ", "close can", open.arg("a\\a.mid"),
                              "play can "}));
    }

    void clicksAndKeysEndTheShowButTheCaptionDoesNot() {
        picture("f/a.jpg", {100, 100});
        auto form = startedShow("f");
        tick(*form);
        fake->media.commands.clear();

        QTest::mouseClick(form->Label1, Qt::LeftButton);
        QCOMPARE(fake->programEnd.calls, 0);

        QTest::mouseClick(form->Image1, Qt::LeftButton);
        QCOMPARE(fake->programEnd.calls, 1);
        QVERIFY(form->waitForSounds(5000));
        QCOMPARE(fake->media.commands, QStringList{"close can"});

        QTest::mouseClick(form.get(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(fake->programEnd.calls, 2);

        QTest::keyClick(form.get(), Qt::Key_Shift);
        QCOMPARE(fake->programEnd.calls, 3);

        QTest::mouseMove(form.get(), QPoint(50, 50));
        QCOMPARE(fake->programEnd.calls, 3);
    }

    void ticksAreHeldBackWhileAMessageBoxIsOpen() {
        tmp->file("f/rotto.jpg", "broken");
        auto form = startedShow("f");
        form->Timer1->setInterval(5);
        bool inBox = false, nested = false;
        fake->messages.onShow = [&](const ShownMessage&) {
            nested = nested || inBox;
            inBox = true;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 100)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            inBox = false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(fake->messages.shown.size() >= 2, 3000);
        form->Timer1->setEnabled(false);
        QVERIFY(!nested);
    }

    void picturesRemovedDuringTheShowGetTheirMessage() {
        picture("f/a.jpg", {10, 10});
        picture("f/b.jpg", {10, 10});
        picture("f/c.jpg", {10, 10});
        auto form = startedShow("f");
        tick(*form); // a, while b is decoded ahead
        QVERIFY(QFile::remove(tmp->path("f/b.jpg")));
        tick(*form);
        QCOMPARE(fake->messages.texts(),
                 QStringList{"Il file: .\\b.jpg non e' un file di immagini valido."});
        // The whole folder goes: every picture tick says so, and the show goes on.
        QVERIFY(QDir(tmp->path("f")).removeRecursively());
        for (int i = 0; i < 4; ++i)
            tick(*form);
        // c, the end of the pass, then a and b again: three more messages.
        QCOMPARE(fake->messages.shown.size(), std::size_t(4));
        QCOMPARE(form->Label1->text(), QStringLiteral("Quadrel Fine loop"));
        QCOMPARE(fake->programEnd.calls, 0);
    }

    // A file that does not answer (a share that stopped) holds only itself: the next tick
    // leaves it and the local pictures go on at their ticks; its message comes once, at
    // its bound, and never for a picture that answered.
    void aFileThatDoesNotAnswerHoldsOnlyItself() {
        picture("f/a.jpg", {10, 10});
        tmp->file("f/b.wmf", QByteArray("\x01\x00\x09\x00\x00\x03\x0c\x00\x00\x00\x00\x00"
                                        "\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00",
                                        24));
        picture("f/c.jpg", {10, 10});
        BlockingMetafiles away;
        fake->metafiles.drawer = &away;
        auto form = startedShow("f");
        form->setReadBound(1500);
        const auto caption = [&] { return form->Label1->text(); };
        tick(*form);
        QCOMPARE(caption(), QStringLiteral(".\\a.jpg"));
        form->Timer1_Timer(); // b: its file does not answer
        QTest::qWait(100);
        QVERIFY(form->tickUnderWay());
        QCOMPARE(caption(), QStringLiteral(".\\a.jpg"));
        tick(*form); // the next tick leaves b
        QCOMPARE(caption(), QStringLiteral(".\\c.jpg"));
        QCOMPARE(form->leftEntries(), QStringList{".\\b.wmf"});
        tick(*form); // the end of the pass
        tick(*form); // a, while b is asked for ahead again: the same decode
        QCOMPARE(caption(), QStringLiteral(".\\a.jpg"));
        form->Timer1_Timer();
        tick(*form);
        QCOMPARE(caption(), QStringLiteral(".\\c.jpg"));
        QVERIFY(fake->messages.texts().isEmpty()); // not before its bound
        QCOMPARE(away.entered(), 1);               // one thread on it, whatever the ticks
        // Its bound passes: one message, naming it.
        const QStringList once{"Il file: .\\b.wmf non e' un file di immagini valido."};
        QTRY_COMPARE_WITH_TIMEOUT(fake->messages.texts(), once, 10'000);
        // It answers at last, refused: no second message; it is tried again next time.
        away.letGo();
        QTRY_VERIFY_WITH_TIMEOUT(form->leftEntries().isEmpty(), 10'000);
        QCOMPARE(fake->messages.texts(), once);
        tick(*form); // the end of the pass
        tick(*form);
        QCOMPARE(caption(), QStringLiteral(".\\a.jpg"));
        tick(*form);
        QCOMPARE(fake->messages.texts().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(away.inside(), 0, 10'000);
    }

    void failingMediaNeverStopTheShow() {
        // No audio device, no soundfont, an unreadable tune: every media call fails.
        picture("f/mare.jpg", {10, 10});
        tmp->file("f/mare.wav", "RIFF");
        tmp->file("f/tema.mid", "not a tune");
        fake->media.mciResult = 277;
        auto form = startedShow("f");
        for (int i = 0; i < 4; ++i)
            tick(*form);
        QVERIFY(fake->messages.shown.empty());
        QCOMPARE(form->Label1->text(), QStringLiteral("Quadrel Fine loop"));
        form->Fine();
        QCOMPARE(fake->programEnd.calls, 1);
    }

    // The timer control.
    void timerWithPeriodZeroNeverTicks() {
        rt::Timer t;
        int ticks = 0;
        t.onTick([&] { ++ticks; });
        t.setEnabled(true);
        t.setInterval(0);
        QTest::qWait(100);
        QCOMPARE(ticks, 0);
        t.setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 2000);
        t.setEnabled(false);
        const int stopped = ticks;
        QTest::qWait(60);
        QCOMPARE(ticks, stopped);
    }

    void ticksNeverRunInsideOneAnother() {
        rt::Timer t;
        int depth = 0, maxDepth = 0, ticks = 0;
        t.onTick([&] {
            ++ticks;
            maxDepth = std::max(maxDepth, ++depth);
            if (ticks == 1) {
                // A handler that lets events run for a while, as a message box does.
                QElapsedTimer clock;
                clock.start();
                while (clock.elapsed() < 100)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
            --depth;
        });
        t.setInterval(5);
        t.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 2000);
        QCOMPARE(maxDepth, 1);
    }

private:
    std::unique_ptr<TempDir> tmp;
    std::unique_ptr<FakePlatform> fake;
    settings::Modulo1 s;
    int dialogs = 0;
    int eventRuns = 0;
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
