// The program's own pictures: the files built into the program have the formats and
// sizes the dialog and the viewer expect, they load, and the drawing program makes the
// icons byte for byte as they are.

#include "Pictures.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

quint16 u16(const QByteArray& b, int at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32(const QByteArray& b, int at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

QByteArray resource(const QString& name) {
    QFile f(assets::pictureFile(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isStandardColour(QRgb p) {
    static const QList<QRgb> colours{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return colours.contains(qRgb(qRed(p), qGreen(p), qBlue(p)));
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void iconFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<int>>("sizes"); // of the images, in file order
        QTest::newRow("program icon") << "quadrello.ico" << QList<int>{32};
        QTest::newRow("Trevisolo") << "trevisolo.ico" << QList<int>{32, 16};
        QTest::newRow("pencil") << "pencil.ico" << QList<int>{32, 16};
        QTest::newRow("hand") << "hand.ico" << QList<int>{32};
    }
    void iconFiles() {
        QFETCH(QString, file);
        QFETCH(QList<int>, sizes);
        const QByteArray b = resource(file);
        QVERIFY(b.size() > 6);
        QCOMPARE(u16(b, 0), 0);
        QCOMPARE(u16(b, 2), 1); // an icon, not a cursor
        QCOMPARE(int(u16(b, 4)), int(sizes.size()));
        for (int i = 0; i < sizes.size(); ++i) {
            const int entry = 6 + 16 * i;
            QCOMPARE(int(quint8(b[entry])), sizes[i]);
            QCOMPARE(int(quint8(b[entry + 1])), sizes[i]);
            QCOMPARE(int(quint8(b[entry + 2])), 16); // colours
            QCOMPARE(u16(b, entry + 6), 4);          // bits per pixel
            const int image = int(u32(b, entry + 12));
            QVERIFY(image + 40 <= b.size());
            QCOMPARE(u32(b, image + 4), quint32(sizes[i]));
            QCOMPARE(u32(b, image + 8), quint32(2 * sizes[i])); // colours and mask
            QCOMPARE(u16(b, image + 14), 4);
        }
        QImageReader reader(assets::pictureFile(file));
        QCOMPARE(reader.imageCount(), int(sizes.size()));
        for (int i = 0; i < sizes.size(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage img = reader.read();
            QCOMPARE(img.size(), QSize(sizes[i], sizes[i]));
            QVERIFY(img.hasAlphaChannel());
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qAlpha(img.pixel(x, y)) != 0)
                        QVERIFY2(qAlpha(img.pixel(x, y)) == 255 &&
                                     isStandardColour(img.pixel(x, y)),
                                 qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }

    void bannerFiles() {
        QList<QByteArray> seen;
        for (const char* name : {"banner-a.bmp", "banner-b.bmp", "banner-c.bmp"}) {
            const QByteArray b = resource(QString::fromLatin1(name));
            QVERIFY2(b.startsWith("BM"), name);
            QCOMPARE(u32(b, 2), quint32(b.size()));
            QCOMPARE(u32(b, 14), 40u);
            QCOMPARE(u32(b, 18), 100u);
            QCOMPARE(u32(b, 22), 47u);
            QCOMPARE(u16(b, 28), 24); // 24-bit colour
            QCOMPARE(u32(b, 30), 0u); // uncompressed
            QVERIFY(!seen.contains(b));
            seen << b;
        }
    }

    void picturesLoad() {
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(assets::banner(i).size(), QSize(100, 47));
            QVERIFY(!assets::banner(i).hasAlphaChannel());
        }
        QVERIFY(assets::banner(0).toImage() != assets::banner(1).toImage());
        for (const QPixmap& p : {assets::programIcon(), assets::trevisoloIcon(),
                                 assets::pencilIcon(), assets::handIcon()})
            QCOMPARE(p.size(), QSize(32, 32));
        QCOMPARE(assets::pencilIcon().cacheKey(), assets::pencilIcon().cacheKey()); // shared
        QVERIFY(assets::pencilIcon().cacheKey() != assets::handIcon().cacheKey());
    }

    // A pointer points with its tip: the hot spot is drawn, and its far corner is not.
    void hotSpotsAreTheTips() {
        const QImage pencil = assets::pencilIcon().toImage();
        const QImage hand = assets::handIcon().toImage();
        QCOMPARE(assets::pencilHotSpot(), QPoint(30, 30));
        QCOMPARE(qAlpha(pencil.pixel(assets::pencilHotSpot())), 255);
        QCOMPARE(qAlpha(pencil.pixel(31, 31)), 0);
        QCOMPARE(qAlpha(pencil.pixel(31, 0)), 0);
        // Nothing of the pencil lies further down and right than its tip.
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (x + y > 60) QCOMPARE(qAlpha(pencil.pixel(x, y)), 0);
        QCOMPARE(assets::handHotSpot(), QPoint(12, 0));
        QCOMPARE(qAlpha(hand.pixel(assets::handHotSpot())), 255);
        for (int x = 0; x < 32; ++x)
            if (std::abs(x - 12) > 2) QCOMPARE(qAlpha(hand.pixel(x, 0)), 0); // the finger alone
    }

    void theDrawingProgramMakesTheseIcons() {
        QTemporaryDir out;
        QProcess draw;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        draw.setProcessEnvironment(env);
        draw.start(QStringLiteral(DRAW_PICTURES), {out.path()});
        QVERIFY(draw.waitForFinished(60000));
        QCOMPARE(draw.exitCode(), 0);
        for (const char* name : {"quadrello.ico", "trevisolo.ico", "pencil.ico", "hand.ico"}) {
            QFile drawn(out.filePath(QString::fromLatin1(name)));
            QVERIFY(drawn.open(QIODevice::ReadOnly));
            QVERIFY2(
                drawn.readAll() == resource(QString::fromLatin1(name)),
                qPrintable(QStringLiteral("%1 differs: run scripts/draw-pictures.sh").arg(name)));
        }
        for (const char* name : {"banner-a.bmp", "banner-b.bmp", "banner-c.bmp"})
            QCOMPARE(QFileInfo(out.filePath(QString::fromLatin1(name))).size(),
                     qint64(resource(QString::fromLatin1(name)).size()));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
