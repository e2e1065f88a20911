// Draws the program's own pictures and writes them in the formats the program carries:
//
//   quadrello.ico   the program icon, 32 x 32, 16 colours
//   banner-a.bmp    the three banners advertising Trevisolo, 100 x 47, 24-bit
//   banner-b.bmp
//   banner-c.bmp
//   trevisolo.ico   the Trevisolo die, 32 x 32 and 16 x 16, 16 colours
//   pencil.ico      the pencil pointer, 32 x 32 and 16 x 16, 16 colours (tip at 30,30)
//   hand.ico        the pointing-hand pointer, 32 x 32, 16 colours (finger tip at 12,0)
//
// Usage: draw_pictures FOLDER. scripts/draw-pictures.sh runs it into assets/pictures.
// Icons are drawn without antialiasing in the standard colours only, so they come out
// the same everywhere; the banners' lettering depends on the Liberation Sans font.

#include "IconFiles.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <cstdio>
#include <functional>

namespace {

// The colours of the classic 16-colour palette that the pictures use.
const QColor Black(0, 0, 0), Maroon(128, 0, 0), Green(0, 128, 0), Olive(128, 128, 0),
    Silver(192, 192, 192), Grey(128, 128, 128), Red(255, 0, 0), Lime(0, 255, 0),
    Yellow(255, 255, 0), Aqua(0, 255, 255), White(255, 255, 255);

QImage canvas(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// A picture drawn on a 32-pixel grid, painted at `size` pixels.
QImage icon(int size, const std::function<void(QPainter&)>& paint) {
    QImage img = canvas(size);
    QPainter p(&img);
    p.scale(size / 32.0, size / 32.0);
    paint(p);
    return img;
}

QImage small(const std::function<void(QPainter&)>& paint) {
    QImage img = canvas(16);
    QPainter p(&img);
    paint(p);
    return img;
}

void programIcon(QPainter& p) {
    // A framed landscape: gilt frame, sky, sun and green hills.
    p.fillRect(1, 3, 30, 26, Olive);
    p.fillRect(3, 5, 26, 22, Yellow);
    p.fillRect(5, 7, 22, 18, Aqua);
    p.setPen(Qt::NoPen);
    p.setBrush(Yellow);
    p.drawEllipse(QRect(19, 9, 6, 6));
    p.setBrush(Green);
    p.drawPolygon(QPolygon({QPoint(5, 25), QPoint(5, 18), QPoint(12, 13), QPoint(19, 20),
                            QPoint(23, 17), QPoint(27, 21), QPoint(27, 25)}));
    p.setBrush(Lime);
    p.drawPolygon(QPolygon({QPoint(5, 25), QPoint(5, 22), QPoint(12, 18), QPoint(18, 25)}));
    p.setPen(Black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 3, 29, 25);
    p.drawRect(4, 6, 23, 19);
}

void die(QPainter& p) {
    // A red die showing five, with a shaded side.
    p.setPen(Black);
    p.setBrush(Maroon);
    p.drawPolygon(QPolygon({QPoint(26, 6), QPoint(30, 2), QPoint(30, 26), QPoint(26, 30)}));
    p.setBrush(Red);
    p.drawPolygon(QPolygon({QPoint(2, 6), QPoint(6, 2), QPoint(30, 2), QPoint(26, 6)}));
    p.setBrush(White);
    p.drawRect(2, 6, 24, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(Black);
    for (const QPoint c :
         {QPoint(8, 12), QPoint(20, 12), QPoint(14, 18), QPoint(8, 24), QPoint(20, 24)})
        p.drawRect(c.x() - 2, c.y() - 2, 4, 4);
}

void pencil(QPainter& p) {
    // Slanting from the eraser at top left to the tip at bottom right (30,30).
    p.setPen(Black);
    p.setBrush(Yellow);
    p.drawPolygon(QPolygon({QPoint(5, 9), QPoint(9, 5), QPoint(25, 21), QPoint(21, 25)}));
    p.setBrush(Red);
    p.drawPolygon(QPolygon({QPoint(1, 5), QPoint(5, 1), QPoint(9, 5), QPoint(5, 9)}));
    p.setBrush(Silver);
    p.drawPolygon(QPolygon({QPoint(21, 25), QPoint(25, 21), QPoint(30, 30)}));
    p.setPen(Olive);
    p.drawLine(8, 8, 23, 23);
    p.setPen(Black);
    p.drawLine(28, 28, 30, 30);
}

// The 16-pixel variants, drawn on their own grid.
void smallDie(QPainter& p) {
    p.fillRect(3, 1, 12, 1, Red);
    p.fillRect(2, 2, 12, 1, Red);
    p.fillRect(14, 1, 2, 14, Maroon);
    p.setPen(Black);
    p.setBrush(White);
    p.drawRect(0, 3, 13, 12);
    p.fillRect(3, 6, 2, 2, Black);
    p.fillRect(9, 6, 2, 2, Black);
    p.fillRect(6, 9, 2, 2, Black);
    p.fillRect(3, 12, 2, 1, Black);
    p.fillRect(9, 12, 2, 1, Black);
}

void smallPencil(QPainter& p) {
    // Tip at (15,15).
    p.setPen(Black);
    p.setBrush(Yellow);
    p.drawPolygon(QPolygon({QPoint(2, 5), QPoint(5, 2), QPoint(13, 10), QPoint(10, 13)}));
    p.fillRect(1, 1, 3, 3, Red);
    p.setPen(Silver);
    p.drawLine(11, 12, 12, 11);
    p.drawLine(12, 13, 13, 12);
    p.setPen(Black);
    p.drawLine(14, 14, 15, 15);
}

void hand(QPainter& p) {
    // The index finger up, its tip at (12,0), the other fingers folded.
    p.setPen(Black);
    p.setBrush(White);
    QPainterPath h;
    h.moveTo(10, 3);
    h.arcTo(QRectF(10, 0, 5, 5), 180, -180);
    h.lineTo(15, 14);
    h.lineTo(25, 14);
    h.lineTo(27, 17);
    h.lineTo(27, 25);
    h.lineTo(23, 31);
    h.lineTo(11, 31);
    h.lineTo(6, 22);
    h.lineTo(5, 17);
    h.lineTo(8, 16);
    h.lineTo(10, 19);
    h.closeSubpath();
    p.drawPath(h);
    p.drawLine(19, 14, 19, 19);
    p.drawLine(23, 14, 23, 19);
    p.setBrush(Grey);
    p.drawRect(11, 27, 13, 3);
}

QFont font(int pixels, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void shadowText(QPainter& p, const QRect& box, int flags, const QString& text, const QColor& c) {
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(box.translated(1, 1), flags, text);
    p.setPen(c);
    p.drawText(box, flags, text);
}

// Banner A: the name. B: the games. C: the utilities.
QImage banner(int which) {
    QImage img(100, 47, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    static const QColor tops[3] = {QColor(16, 40, 130), QColor(150, 24, 36), QColor(12, 100, 60)};
    static const QColor bottoms[3] = {QColor(70, 150, 240), QColor(245, 150, 50),
                                      QColor(140, 220, 110)};
    QLinearGradient g(0, 0, 0, 47);
    g.setColorAt(0, tops[which]);
    g.setColorAt(1, bottoms[which]);
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 97, 44));

    if (which == 0) {
        p.setFont(font(16, true));
        shadowText(p, QRect(0, 5, 100, 20), Qt::AlignCenter, QStringLiteral("TREVISOLO"), Yellow);
        p.setFont(font(10, false));
        shadowText(p, QRect(0, 24, 100, 14), Qt::AlignCenter, QStringLiteral("giochi e utilities"),
                   White);
        p.setPen(Qt::NoPen);
        p.setBrush(White);
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(34 + 8 * i, 40), 1.5, 1.5);
        return img;
    }
    // A pictogram on the left, two lines of text on the right.
    if (which == 1) {
        p.setPen(QPen(Black, 1));
        p.setBrush(White);
        p.drawRoundedRect(QRectF(8.5, 12.5, 22, 22), 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(Red);
        for (const QPointF c : {QPointF(14, 18), QPointF(25, 18), QPointF(19.5, 23.5),
                                QPointF(14, 29), QPointF(25, 29)})
            p.drawEllipse(c, 2, 2);
    } else {
        p.setPen(QPen(Black, 1));
        p.setBrush(Silver);
        QPainterPath wrench;
        wrench.addEllipse(QRectF(6, 8, 13, 13));
        QPainterPath handle;
        handle.moveTo(14, 18);
        handle.lineTo(30, 34);
        handle.lineTo(26, 38);
        handle.lineTo(10, 22);
        handle.closeSubpath();
        QPainterPath jaw;
        jaw.addRect(QRectF(9, 5, 5, 9));
        QTransform t;
        t.translate(12.5, 14.5);
        t.rotate(-45);
        t.translate(-12.5, -14.5);
        p.drawPath(wrench.united(handle).subtracted(t.map(jaw)));
    }
    p.setFont(font(15, true));
    shadowText(p, QRect(36, 8, 62, 18), Qt::AlignLeft | Qt::AlignVCenter,
               which == 1 ? QStringLiteral("GIOCHI") : QStringLiteral("UTILITY"), White);
    p.setFont(font(9, false));
    shadowText(p, QRect(36, 26, 62, 12), Qt::AlignLeft | Qt::AlignVCenter,
               which == 1 ? QStringLiteral("carte e dadi") : QStringLiteral("per ogni giorno"),
               White);
    return img;
}

bool write(const QDir& folder, const QString& name, const QByteArray& bytes) {
    QFile f(folder.filePath(name));
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = QDir().mkpath(out.path());
    ok = ok && write(out, "quadrello.ico", draw::icoFile({icon(32, programIcon)}));
    ok = ok && write(out, "banner-a.bmp", draw::bmpFile(banner(0)));
    ok = ok && write(out, "banner-b.bmp", draw::bmpFile(banner(1)));
    ok = ok && write(out, "banner-c.bmp", draw::bmpFile(banner(2)));
    ok = ok && write(out, "trevisolo.ico", draw::icoFile({icon(32, die), small(smallDie)}));
    ok = ok && write(out, "pencil.ico", draw::icoFile({icon(32, pencil), small(smallPencil)}));
    ok = ok && write(out, "hand.ico", draw::icoFile({icon(32, hand)}));
    return ok ? 0 : 1;
}
