#include "RealPlatform.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

namespace rt {

namespace {
// The window a message belongs to: the active one, or else the show's screen-filling form,
// so that the window manager keeps the message above it.
QWidget* messageOwner() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isFullScreen()) return w;
    return nullptr;
}
} // namespace

void QtMessageBoxes::show(const QString& text, int style, const QString& title) {
    QMessageBox box(style == mb::Question ? QMessageBox::Question : QMessageBox::NoIcon, title,
                    text, QMessageBox::Ok, messageOwner());
    box.exec();
}

QtMousePointer::~QtMousePointer() {
    if (overridden_ && qApp) QApplication::restoreOverrideCursor();
}

void QtMousePointer::setIcon(const QPixmap& icon, QPoint hotSpot) {
    icon_ = icon;
    hotSpot_ = hotSpot;
}

void QtMousePointer::setShape(PointerShape shape) {
    QCursor cursor;
    switch (shape) {
    case PointerShape::Default:
        if (overridden_) QApplication::restoreOverrideCursor();
        overridden_ = false;
        return;
    case PointerShape::Arrow: cursor = QCursor(Qt::ArrowCursor); break;
    case PointerShape::Crosshair: cursor = QCursor(Qt::CrossCursor); break;
    case PointerShape::Custom:
        cursor = icon_.isNull() ? QCursor(Qt::ArrowCursor)
                                : QCursor(icon_, hotSpot_.x(), hotSpot_.y());
        break;
    }
    if (overridden_) {
        QApplication::changeOverrideCursor(cursor);
    } else {
        QApplication::setOverrideCursor(cursor);
        overridden_ = true;
    }
}

void ProcessEnd::end() {
    std::fflush(nullptr);
    std::_Exit(0);
}

namespace {
QSize screenPixels() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(640, 480);
}
} // namespace

double QtScreen::widthTwips() const { return double(screenPixels().width()) * TwipsPerPixel; }
double QtScreen::heightTwips() const { return double(screenPixels().height()) * TwipsPerPixel; }
double QtScreen::pixelRatio() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->devicePixelRatio() : 1.0;
}

double SystemClock::secondsSinceMidnight() const {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void installFontSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QString programFolderOf(const DosFileSystem& files) {
    const Result<QString> dos = files.toDos(QCoreApplication::applicationDirPath());
    return dos.ok() ? dos.value() : QStringLiteral("C:\\");
}

} // namespace rt
