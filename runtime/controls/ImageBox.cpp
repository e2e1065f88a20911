// The picture control: its picture painted, or shown by the server's window over it.

#include "ImageBox.h"

#include <QEvent>
#include <QPainter>

namespace rt {

ImageBox::ImageBox(ScreenPictures& pictures, QWidget* parent)
    : QWidget(parent), pictures_(pictures) {}

ImageBox::~ImageBox() = default;

void ImageBox::setPicture(QImage image, std::shared_ptr<const HeldPicture> held) {
    previous_ = std::move(image_);
    previousHeld_ = std::move(held_);
    image_ = std::move(image);
    held_ = std::move(held);
    // A window inside the form's own; made again should Qt have made the form's anew.
    if (held_ && (!window_ || windowParent_ != window()->winId())) {
        windowParent_ = window()->winId();
        window_ = pictures_.windowIn(windowParent_);
    }
    if (!window_ && held_) {
        // Shown by no window of the server's after all: painted from its pixels.
        if (image_.isNull()) image_ = pixelsOf(*held_);
        held_.reset();
    }
    // An opaque picture covers the control: the form's background is not painted under
    // it, which spares a screen's worth of pixels on a large screen.
    setAttribute(Qt::WA_OpaquePaintEvent, held_ || !image_.hasAlphaChannel());
    if (!held_ && window_) window_->hide();
    update();
}

void ImageBox::letPreviousGo() {
    previous_ = QImage();
    previousHeld_.reset();
}

void ImageBox::present() {
    if (held_ && window_ && isVisible()) placeWindow();
}

QImage ImageBox::pixelsOf(const HeldPicture& held) const {
    QImage pixels = held.pixels();
    pixels.setDevicePixelRatio(devicePixelRatio());
    return pixels;
}

void ImageBox::dropServerCopy() {
    if (!held_) return;
    // The program's copy went once the server held the picture: read back, or, should
    // that fail, the server's window stays (the figures are then drawn around it).
    if (image_.isNull()) image_ = pixelsOf(*held_);
    if (image_.isNull()) return;
    held_.reset();
    // Painted under the window first, then uncovered: the same pixels throughout.
    repaint();
    window_->hide();
}

void ImageBox::placeWindow() {
    const qreal ratio = devicePixelRatio();
    const QPoint at = mapTo(window(), QPoint(0, 0));
    window_->show(held_, QRect(qRound(at.x() * ratio), qRound(at.y() * ratio),
                               held_->size().width(), held_->size().height()));
}

void ImageBox::paintEvent(QPaintEvent*) {
    // The server's window is placed when the control is painted, where the form's
    // present puts it, rather than at each step of setting the control up: a window shown
    // at its old place and then moved would cost the server two copies of the picture.
    if (held_) {
        placeWindow();
        return;
    }
    if (image_.isNull()) return;
    QPainter p(this);
    const QSize device = size() * devicePixelRatio();
    if (image_.size() == device) {
        p.drawImage(QPoint(0, 0), image_);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), image_);
    }
}

bool ImageBox::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        // The server's window is placed again at the next present. A control painting its
        // own picture is moved by Qt, which paints only what the move uncovers.
        if (held_) update();
        break;
    case QEvent::Hide:
        if (window_) window_->hide();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

} // namespace rt
