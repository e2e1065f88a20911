#include "Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>

namespace assets {

namespace {

// The 16-colour standard palette entries used by the icons.
const QColor Black(0, 0, 0), Green(0, 128, 0), Olive(128, 128, 0),
    Grey(128, 128, 128), Silver(192, 192, 192), Yellow(255, 255, 0), Lime(0, 255, 0),
    Aqua(0, 255, 255), White(255, 255, 255), Red(255, 0, 0);

QPixmap transparent(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

} // namespace

QPixmap programIcon() {
    QPixmap pix = transparent(32, 32);
    QPainter p(&pix);
    // Frame
    p.fillRect(1, 3, 30, 26, Olive);
    p.fillRect(3, 5, 26, 22, Yellow);
    // Picture: sky, sun, hills
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
    return pix;
}

QPixmap banner(int index) {
    QPixmap pix(100, 47);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    static const QColor tops[3] = {QColor(20, 60, 160), QColor(160, 30, 40), QColor(20, 120, 60)};
    static const QColor bottoms[3] = {QColor(90, 170, 250), QColor(250, 160, 60),
                                      QColor(160, 230, 120)};
    static const char* lines[3] = {"TREVISOLO", "giochi", "utilities"};
    const int i = std::clamp(index, 0, 2);
    QLinearGradient g(0, 0, 0, 47);
    g.setColorAt(0, tops[i]);
    g.setColorAt(1, bottoms[i]);
    p.fillRect(pix.rect(), g);
    p.setPen(QPen(White, 2));
    p.drawRect(QRectF(1, 1, 98, 45));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(i == 0 ? 15 : 17);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QRect(1, 1, 100, 47), Qt::AlignCenter, QString::fromLatin1(lines[i]));
    p.setPen(White);
    p.drawText(QRect(0, 0, 100, 47), Qt::AlignCenter, QString::fromLatin1(lines[i]));
    return pix;
}

QPixmap trevisoloIcon() {
    QPixmap pix = transparent(32, 32);
    QPainter p(&pix);
    p.setPen(Black);
    p.setBrush(White);
    p.drawRect(4, 4, 23, 23);
    p.setPen(Qt::NoPen);
    p.setBrush(Red);
    for (const QPoint c : {QPoint(9, 9), QPoint(15, 15), QPoint(21, 21), QPoint(21, 9),
                           QPoint(9, 21)})
        p.drawRect(c.x() - 2, c.y() - 2, 4, 4);
    return pix;
}

QPixmap pencilIcon() {
    QPixmap pix = transparent(32, 32);
    QPainter p(&pix);
    // Body along the diagonal from (2,2) to the tip at (30,30).
    const QPolygon body({QPoint(2, 7), QPoint(7, 2), QPoint(25, 20), QPoint(20, 25)});
    p.setPen(Black);
    p.setBrush(Yellow);
    p.drawPolygon(body);
    p.setBrush(Red);
    p.drawPolygon(QPolygon({QPoint(2, 7), QPoint(7, 2), QPoint(9, 4), QPoint(4, 9)}));
    p.setBrush(Silver);
    p.drawPolygon(QPolygon({QPoint(20, 25), QPoint(25, 20), QPoint(30, 30)}));
    p.setPen(Black);
    p.drawPoint(30, 30);
    p.drawLine(28, 28, 30, 30);
    return pix;
}

QPoint pencilHotSpot() { return {30, 30}; }

QPixmap handIcon() {
    QPixmap pix = transparent(32, 32);
    QPainter p(&pix);
    p.setPen(Black);
    p.setBrush(White);
    // Index finger up from (12,1), fist below.
    QPainterPath hand;
    hand.moveTo(10, 3);
    hand.arcTo(QRectF(10, 0, 5, 5), 180, -180);
    hand.lineTo(15, 14);
    hand.lineTo(25, 14);
    hand.lineTo(27, 17);
    hand.lineTo(27, 25);
    hand.lineTo(23, 31);
    hand.lineTo(11, 31);
    hand.lineTo(6, 22);
    hand.lineTo(5, 17);
    hand.lineTo(8, 16);
    hand.lineTo(10, 19);
    hand.closeSubpath();
    p.drawPath(hand);
    p.drawLine(19, 14, 19, 19);
    p.drawLine(23, 14, 23, 19);
    p.setBrush(Grey);
    p.drawRect(11, 27, 13, 3);
    return pix;
}

QPoint handHotSpot() { return {12, 0}; }

} // namespace assets
