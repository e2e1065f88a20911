// The dialog's centring by its frame: where a window stands centred, and that the centring
// runs once, when the frame is known at the first exposure or a moment after, and is given
// up when the frame never comes.

#include "FrameCentring.h"

#include <QTest>
#include <QTimer>
#include <QWidget>

using settings::FrameCentring;

class TestFrameCentring final : public QObject {
    Q_OBJECT

private slots:
    void centredOn_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("at");
        QTest::newRow("even") << QSize(1024, 768) << QSize(508, 396) << QPoint(258, 186);
        QTest::newRow("half to even, down")
            << QSize(1025, 769) << QSize(504, 392) << QPoint(260, 188);
        QTest::newRow("half to even, up")
            << QSize(1027, 771) << QSize(504, 392) << QPoint(262, 190);
        QTest::newRow("larger than the screen")
            << QSize(640, 480) << QSize(700, 500) << QPoint(-30, -10);
    }
    void centredOn() {
        QFETCH(QSize, screen);
        QFETCH(QSize, outer);
        QTEST(settings::centredOn(screen, outer), "at");
    }

    // How many looks the frame takes to be known (0: at the exposure; never: -1), and
    // how often the centring runs.
    void runsOnceWhenTheFrameIsKnown_data() {
        QTest::addColumn<int>("knownAtLook");
        QTest::addColumn<int>("centred");
        QTest::addColumn<int>("looks");
        QTest::newRow("known at the first exposure") << 0 << 1 << 1;
        QTest::newRow("known a moment after") << 3 << 1 << 4;
        QTest::newRow("never known: given up") << -1 << 0 << 1 + 5; // the exposure's, the wait's
    }
    void runsOnceWhenTheFrameIsKnown() {
        QFETCH(int, knownAtLook);
        QWidget dialog;
        dialog.resize(200, 100);
        int looks = 0, centred = 0;
        new FrameCentring(
            &dialog, [&] { ++centred; }, {1, 5},
            [&] {
                const int look = looks++;
                return knownAtLook >= 0 && look >= knownAtLook;
            });
        QCOMPARE(centred, 0); // nothing before the dialog is shown
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.findChildren<QTimer*>().isEmpty()); // the wait is over
        QTEST(centred, "centred");
        QTEST(looks, "looks");

        // Shown again: the first showing only is watched.
        dialog.hide();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(20);
        QTEST(centred, "centred");
    }
};

QTEST_MAIN(TestFrameCentring)
#include "tst_framecentring.moc"
