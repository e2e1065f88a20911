// The settings dialog's clickable label, focus-reporting line edit and etched frame.

#include "DialogControls.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace settings {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
}

void ClickLabel::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) onMouseMove();
    QLabel::mouseMoveEvent(event);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    pressed_ = true;
    event->accept();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not a press: the click of the first press is the only one.
    if (event->button() != Qt::LeftButton) return QLabel::mouseDoubleClickEvent(event);
    pressed_ = false;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QLabel::mouseReleaseEvent(event);
    pressed_ = false;
    event->accept();
    // Let go outside the label: no click.
    if (rect().contains(event->position().toPoint()) && onClick) onClick();
}

void FocusLineEdit::focusInEvent(QFocusEvent* event) {
    if (onFocusIn) onFocusIn();
    QLineEdit::focusInEvent(event);
}

void FocusLineEdit::focusOutEvent(QFocusEvent* event) {
    if (onFocusOut && onFocusOut(event->reason())) return;
    QLineEdit::focusOutEvent(event);
}

EtchedFrame::EtchedFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    setMouseTracking(true);
}

void EtchedFrame::mouseMoveEvent(QMouseEvent* event) {
    // Moves over the controls inside that they do not take come up here too.
    if (onMouseMove && !childAt(event->position().toPoint())) onMouseMove();
    QGroupBox::mouseMoveEvent(event);
}

void EtchedFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const QRect border = rect().adjusted(0, fm.height() / 2, -1, -1);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(border.adjusted(0, 0, -1, -1));
    p.setPen(QColor(255, 255, 255));
    p.drawRect(border.adjusted(1, 1, 0, 0));
    const QRect caption(6, 0, fm.horizontalAdvance(title()) + 6, fm.height());
    p.fillRect(caption, palette().window());
    style()->drawItemText(&p, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                          QPalette::WindowText);
}

} // namespace settings
