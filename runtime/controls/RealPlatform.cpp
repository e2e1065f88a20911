// The real message boxes, pointer, program end and screen (in twips).

#include "RealPlatform.h"

#include "WaylandActivation.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <utility>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

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
    case PointerShape::Arrow:
        cursor = QCursor(Qt::ArrowCursor);
        break;
    case PointerShape::Crosshair:
        cursor = QCursor(Qt::CrossCursor);
        break;
    case PointerShape::Custom:
        cursor =
            icon_.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(icon_, hotSpot_.x(), hotSpot_.y());
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
    // A worker may be waiting in the kernel on a share that stopped answering, and some
    // shares hold a request until they answer it, killed or not: the process then lingers
    // until they do. Its display, sound and file connections go first, so that for the
    // user the program has ended at once whatever the shares do.
    ::close_range(3, ~0U, 0);
    std::_Exit(0);
}

namespace {
// Where windows stand is not told by a Wayland compositor: a window is on the output it
// says the window entered.
bool placesUnknown() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

QtScreen::QtScreen() {
    QObject::connect(qApp, &QGuiApplication::screenRemoved, context_.get(), [this](QScreen* gone) {
        if (gone == shown()) changed();
    });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, context_.get(),
                     [this] { changed(); });
    watch();
}

QScreen* QtScreen::shown() const {
    return chosen_ ? chosen_.data() : QGuiApplication::primaryScreen();
}

void QtScreen::watch() {
    QObject::disconnect(watched_);
    if (QScreen* s = shown())
        watched_ =
            QObject::connect(s, &QScreen::geometryChanged, context_.get(), [this] { changed(); });
}

void QtScreen::changed() {
    chosen_ = nullptr;
    changed_ = true;
    // The primary one may be going itself: it is watched once Qt has a new one.
    QMetaObject::invokeMethod(
        context_.get(), [this] { watch(); }, Qt::QueuedConnection);
    QObject::disconnect(watched_);
}

double QtScreen::widthTwips() const {
    const QScreen* s = shown();
    return double(s ? s->geometry().width() : 640) * TwipsPerPixel;
}
double QtScreen::heightTwips() const {
    const QScreen* s = shown();
    return double(s ? s->geometry().height() : 480) * TwipsPerPixel;
}
double QtScreen::pixelRatio() const {
    const QScreen* s = shown();
    return s ? s->devicePixelRatio() : 1.0;
}

QRect QtScreen::primaryArea() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 640, 480);
}

void QtScreen::settleOn(const QWidget& window) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* on = nullptr;
    if (placesUnknown()) {
        on = window.screen();
    } else {
        QList<QRect> areas;
        for (const QScreen* s : screens)
            areas << s->geometry();
        const int i = monitorHolding(window.frameGeometry(), areas,
                                     int(screens.indexOf(QGuiApplication::primaryScreen())));
        if (i >= 0) on = screens[i];
    }
    chosen_ = on;
    changed_ = false;
    watch();
    // Asked for now, while the window has the focus and the key or click that settles the
    // show is the last input: the compositor issues tokens only for that.
    if (QWindow* handle = window.windowHandle())
        if (const std::optional<QString> token = activationTokenFor(*handle))
            handActivationOn(*token);
}

void QtScreen::cover(QWidget& form) const {
    QScreen* s = shown();
    if (!s) return;
    form.setScreen(s);
    form.setGeometry(s->geometry());
}

bool QtScreen::takeChange() {
    return std::exchange(changed_, false);
}

void installFontSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

Result<QString> programFolderOf(const DosFileSystem& files) {
    const QString folder = QCoreApplication::applicationDirPath();
    // Bytes that are not UTF-8 do not come back from the decoded name.
    char link[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", link, sizeof link);
    if (n > 0) {
        const QByteArray exe(link, qsizetype(n));
        if (QFile::encodeName(folder) != exe.left(std::max<qsizetype>(exe.lastIndexOf('/'), 1)))
            return Error{err::BadFileName, QStringLiteral("Program folder is not UTF-8")};
    }
    return files.toDos(folder);
}

QString programFolderRefusal(const QString& hostFolder) {
    return QStringLiteral("Quadrello non può funzionare dalla cartella\n%1\nperché il suo "
                          "nome contiene caratteri che un percorso DOS non ammette "
                          "(: * ? \" < > | o caratteri di controllo) o che non sono UTF-8.\n"
                          "Spostare il programma in un'altra cartella.")
        .arg(hostFolder);
}

} // namespace rt
