#include "DrawingLayer.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace rt {

DrawingLayer::DrawingLayer(QWidget* form) : QWidget(form) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    form->installEventFilter(this);
    fitToForm();
    hide(); // shown only while it holds figures
}

void DrawingLayer::fitToForm() {
    const QSize size = parentWidget()->size();
    setGeometry(QRect(QPoint(0, 0), size));
    if (image_.size() != size) {
        endPainting();
        image_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        empty_ = true;
        dirty_ = QRegion();
    }
}

bool DrawingLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) fitToForm();
    return QWidget::eventFilter(watched, event);
}

QPainter& DrawingLayer::painter() {
    if (!painter_) painter_ = std::make_unique<QPainter>(&image_);
    return *painter_;
}

void DrawingLayer::endPainting() { painter_.reset(); }

void DrawingLayer::line(QPoint a, QPoint b, const QColor& colour) {
    QPainter& p = painter();
    p.setPen(QPen(colour, 1));
    if (a == b)
        p.drawPoint(a);
    else
        p.drawLine(a, b);
    empty_ = false;
    dirty_ += QRect(a, b).normalized().adjusted(-1, -1, 1, 1);
}

void DrawingLayer::box(QPoint a, QPoint b, const QColor& colour) {
    QPainter& p = painter();
    p.setPen(QPen(colour, 1));
    p.setBrush(Qt::NoBrush);
    const QRect r = QRect(a, b).normalized();
    if (r.width() <= 1 || r.height() <= 1) {
        p.fillRect(r, colour);
        dirty_ += r;
    } else {
        p.drawRect(r.adjusted(0, 0, -1, -1));
        // Only the outline changed: its four edges are repainted, not the inside.
        dirty_ += QRect(r.left(), r.top(), r.width(), 1);
        dirty_ += QRect(r.left(), r.bottom(), r.width(), 1);
        dirty_ += QRect(r.left(), r.top(), 1, r.height());
        dirty_ += QRect(r.right(), r.top(), 1, r.height());
    }
    empty_ = false;
}

std::chrono::nanoseconds DrawingLayer::frameInterval() const {
    const QScreen* s = screen();
    const double hz = s && s->refreshRate() > 1.0 ? s->refreshRate() : 60.0;
    return std::chrono::nanoseconds(static_cast<long long>(1e9 / hz));
}

bool DrawingLayer::present(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && (dirty_.isEmpty() || now - lastPresent_ < frameInterval())) return false;
    endPainting();
    raise();
    if (isHidden()) {
        show();
        repaint();
    } else if (!dirty_.isEmpty()) {
        repaint(dirty_); // what changed, not the whole screen
    }
    lastPresent_ = now;
    dirty_ = QRegion();
    ++frames_;
    return true;
}

void DrawingLayer::clear() {
    if (empty_) return;
    endPainting();
    image_.fill(Qt::transparent);
    empty_ = true;
    dirty_ = QRegion();
    hide();
}

void DrawingLayer::paintEvent(QPaintEvent* event) {
    endPainting(); // every figure drawn so far is in the image
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QRect& r : event->region()) p.drawImage(r, image_, r);
}

} // namespace rt
