// The program's own pictures, loaded once each from the files built into the program.

#include "Pictures.h"

#include <algorithm>

namespace assets {

namespace {

// The first picture of the file; QPixmap::load keeps it in the pixmap cache, so repeated
// calls share one picture.
QPixmap load(const char* name) {
    QPixmap p;
    p.load(pictureFile(QString::fromLatin1(name)));
    return p;
}

} // namespace

QString pictureFile(const QString& name) {
    return QStringLiteral(":/pictures/") + name;
}

QPixmap programIcon() {
    return load("quadrello.ico");
}

QPixmap banner(int index) {
    static const char* files[3] = {"banner-a.bmp", "banner-b.bmp", "banner-c.bmp"};
    return load(files[std::clamp(index, 0, 2)]);
}

QPixmap trevisoloIcon() {
    return load("trevisolo.ico");
}
QPixmap pencilIcon() {
    return load("pencil.ico");
}
QPoint pencilHotSpot() {
    return {30, 30};
}
QPixmap handIcon() {
    return load("hand.ico");
}
QPoint handHotSpot() {
    return {12, 0};
}

} // namespace assets
