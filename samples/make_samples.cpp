// Draws the sample pictures of the program folder's "esempi" folder: one picture in each
// of the eight formats the show reads, of different sizes, portrait and landscape, one
// larger than a screen. Usage: make_samples OUTPUT_FOLDER

#include "MetafileWriter.h"
#include "PictureWriters.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>

namespace {

bool save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A sunset over the sea, 2400 x 1600: larger than most screens.
QImage sunset() {
    QImage img(2400, 1600, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 1000);
    sky.setColorAt(0, QColor(40, 30, 90));
    sky.setColorAt(0.6, QColor(230, 100, 60));
    sky.setColorAt(1, QColor(255, 200, 90));
    p.fillRect(0, 0, 2400, 1000, sky);
    QRadialGradient sun(1200, 960, 260);
    sun.setColorAt(0, QColor(255, 250, 200));
    sun.setColorAt(0.5, QColor(255, 200, 80));
    sun.setColorAt(1, QColor(255, 200, 80, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(1200, 960), 260, 260);
    QLinearGradient sea(0, 1000, 0, 1600);
    sea.setColorAt(0, QColor(200, 110, 70));
    sea.setColorAt(1, QColor(20, 40, 80));
    p.fillRect(0, 1000, 2400, 600, sea);
    p.setPen(QPen(QColor(255, 220, 140, 150), 6));
    for (int y = 1020; y < 1600; y += 38) {
        const int half = 60 + (y - 1000) / 2;
        p.drawLine(1200 - half, y, 1200 + half, y);
    }
    return img;
}

// A lighthouse on the rocks, portrait 360 x 540.
QImage lighthouse() {
    QImage img(360, 540, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 540);
    sky.setColorAt(0, QColor(90, 160, 230));
    sky.setColorAt(1, QColor(200, 230, 250));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 80, 70));
    p.drawPolygon(QPolygon({{0, 540}, {0, 470}, {90, 430}, {200, 450}, {360, 420}, {360, 540}}));
    for (int i = 0; i < 6; ++i) {
        p.setBrush(i % 2 ? QColor(250, 250, 250) : QColor(200, 30, 30));
        const int top = 140 + i * 50, inset = i * 4;
        p.drawPolygon(QPolygon({{150 - 20 + inset - 24, top + 50},
                                {150 + 20 - inset + 84, top + 50},
                                {150 + 20 - inset + 80, top},
                                {150 - 20 + inset - 20, top}}));
    }
    p.setBrush(QColor(255, 230, 120));
    p.drawRect(140, 100, 80, 40);
    p.setBrush(QColor(60, 60, 60));
    p.drawPolygon(QPolygon({{130, 100}, {230, 100}, {180, 60}}));
    return img;
}

// A sunflower on a summer sky, 400 x 400, in a handful of flat colours.
QImage sunflower() {
    QImage img(400, 400, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor(120, 190, 250));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 140, 40));
    p.drawRect(192, 200, 16, 200);
    p.drawEllipse(QRect(200, 280, 90, 40));
    p.setBrush(QColor(250, 210, 20));
    for (int i = 0; i < 16; ++i) {
        p.save();
        p.translate(200, 170);
        p.rotate(i * 22.5);
        p.drawEllipse(QRect(-16, -120, 32, 80));
        p.restore();
    }
    p.setBrush(QColor(110, 60, 20));
    p.drawEllipse(QPoint(200, 170), 50, 50);
    return img;
}

// A five-pointed star, 48 x 48, for the icon.
QImage star() {
    QImage img(48, 48, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 9.5 : 22.0, a = -M_PI / 2 + i * M_PI / 5;
        points << QPointF(24 + r * std::cos(a), 25 + r * std::sin(a));
    }
    p.setPen(QPen(QColor(150, 90, 0), 2));
    p.setBrush(QColor(255, 200, 0));
    p.drawPolygon(points);
    return img;
}

// A sailing boat, 480 x 320.
QImage boat() {
    QImage img(480, 320, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 0, 480, 220, QColor(170, 215, 245));
    p.fillRect(0, 220, 480, 100, QColor(30, 90, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 60, 30));
    p.drawPolygon(QPolygon({{130, 220}, {350, 220}, {320, 260}, {160, 260}}));
    p.setBrush(QColor(250, 250, 245));
    p.drawPolygon(QPolygon({{240, 40}, {240, 210}, {340, 210}}));
    p.setBrush(QColor(230, 60, 50));
    p.drawPolygon(QPolygon({{232, 70}, {232, 210}, {160, 210}}));
    return img;
}

// An arrow pointer, 32 x 32, its tip at the top left.
QImage arrow() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({{1, 1}, {1, 24}, {7, 18}, {12, 28}, {16, 26}, {11, 17}, {19, 17}}));
    return img;
}

// An island on a map, as a placeable WMF of 3 x 2 inches.
QByteArray islandMap() {
    samples::WmfWriter w(4320, 2880);
    w.colours(QColor(70, 130, 200), QColor(40, 80, 160), 10);
    w.rectangle({0, 0, 4320, 2880});
    w.colours(QColor(230, 210, 150), QColor(150, 120, 60), 20);
    w.polygon({{900, 1400},
               {1400, 700},
               {2400, 500},
               {3300, 900},
               {3500, 1700},
               {2700, 2300},
               {1500, 2300}});
    w.colours(QColor(60, 150, 60), QColor(30, 100, 30), 10);
    w.ellipse({1700, 1000, 1100, 800});
    w.colours(QColor(200, 40, 40), QColor(120, 0, 0), 10);
    w.polygon({{2250, 1150}, {2400, 1500}, {2100, 1500}});
    w.colours(QColor(0, 0, 0), QColor(255, 255, 255), 30);
    w.polyline({{300, 2600}, {700, 2300}, {1100, 2600}, {1500, 2300}});
    return w.bytes();
}

// Waves, as an EMF of 640 x 240 pixels.
QByteArray waves() {
    samples::EmfWriter w(640, 240);
    w.colours(QColor(250, 245, 230), QColor(250, 245, 230), 0);
    w.rectangle({0, 0, 640, 240});
    const QColor blues[] = {QColor(30, 60, 140), QColor(40, 110, 190), QColor(90, 170, 230)};
    for (int band = 0; band < 3; ++band) {
        QVector<QPoint> points{{0, 240}};
        for (int x = 0; x <= 640; x += 16)
            points << QPoint(x, 90 + band * 45 + int(18 * std::sin((x + band * 40) / 40.0)));
        points << QPoint(640, 240);
        w.colours(blues[band], blues[band].darker(130), 2);
        w.polygon(points);
    }
    return w.bytes();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const auto at = [&](const char* name) { return out.filePath(QString::fromLatin1(name)); };
    bool ok = sunset().save(at("01-tramonto.jpg"), "JPEG", 88);
    ok = lighthouse().save(at("02-faro.bmp"), "BMP") && ok;
    ok = save(at("03-girasole.gif"), writers::gif(sunflower())) && ok;
    ok = star().save(at("04-stella.ico"), "ICO") && ok;
    ok = save(at("05-mappa.wmf"), islandMap()) && ok;
    ok = save(at("06-onde.emf"), waves()) && ok;
    ok = boat().save(at("07-barca.dib"), "BMP") && ok;
    ok = save(at("08-freccia.cur"), writers::cursor(arrow(), 1, 1)) && ok;
    if (!ok) std::fprintf(stderr, "make_samples: could not write every picture\n");
    return ok ? 0 : 1;
}
