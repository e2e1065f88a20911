// The viewer form's start-up, under the offscreen platform, with the settings dialog
// replaced by a script.

#include "Form1.h"
#include "Numbers.h"
#include "Timer.h"

#include "FakePlatform.h"
#include "TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tmp = std::make_unique<TempDir>();
        fake = std::make_unique<FakePlatform>(
            rt::DosFileSystem().toDos(tmp->path()).value(), rt::DriveTable(), 960 * 15, 720 * 15);
        s = settings::Modulo1{};
    }
    void cleanup() {
        fake.reset();
        tmp.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
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
        form.Form_Load();
        QCOMPARE(fake->programEnd.calls, 0);
        QVERIFY(form.Timer1->enabled());
        QCOMPARE(form.Timer1->interval(), 5000);
        QCOMPARE(form.imageList[1], QStringLiteral(".\\a.jpg"));
        QCOMPARE(form.imageList[2], QStringLiteral("sub\\b.gif"));
        QVERIFY(form.imageList[3].isEmpty());
        QCOMPARE(form.geometry(), QRect(0, 0, 960, 720));
        QVERIFY(form.windowState() & Qt::WindowFullScreen);
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
        QVERIFY(form.imageList[1].isEmpty());
    }

    void activationSetsTheCrosshair() {
        viewer::Form1 form(fake->platform, s, [&] { s.GoFlag = settings::True; });
        form.Form_Activate();
        QCOMPARE(fake->pointer.last(), rt::PointerShape::Crosshair);
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
                while (clock.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
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
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
