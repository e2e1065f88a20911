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
        image_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        empty_ = true;
    }
}

bool DrawingLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) fitToForm();
    return QWidget::eventFilter(watched, event);
}

void DrawingLayer::line(QPoint a, QPoint b, const QColor& colour) {
    QPainter p(&image_);
    p.setPen(QPen(colour, 1));
    if (a == b)
        p.drawPoint(a);
    else
        p.drawLine(a, b);
    empty_ = false;
    dirty_ = true;
}

void DrawingLayer::box(QPoint a, QPoint b, const QColor& colour) {
    QPainter p(&image_);
    p.setPen(QPen(colour, 1));
    p.setBrush(Qt::NoBrush);
    const QRect r = QRect(a, b).normalized();
    if (r.width() <= 1 || r.height() <= 1)
        p.fillRect(r, colour);
    else
        p.drawRect(r.adjusted(0, 0, -1, -1));
    empty_ = false;
    dirty_ = true;
}

std::chrono::nanoseconds DrawingLayer::frameInterval() const {
    const QScreen* s = screen();
    const double hz = s && s->refreshRate() > 1.0 ? s->refreshRate() : 60.0;
    return std::chrono::nanoseconds(static_cast<long long>(1e9 / hz));
}

bool DrawingLayer::present(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && (!dirty_ || now - lastPresent_ < frameInterval())) return false;
    if (isHidden()) show();
    raise();
    repaint();
    lastPresent_ = now;
    dirty_ = false;
    ++frames_;
    return true;
}

void DrawingLayer::clear() {
    if (empty_) return;
    image_.fill(Qt::transparent);
    empty_ = true;
    dirty_ = false;
    hide();
}

void DrawingLayer::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QRect& r : event->region()) p.drawImage(r, image_, r);
}

} // namespace rt
