// The settings dialog's clickable label, focus-reporting line edit, typed-length limit and
// etched frame.

#include "DialogControls.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace settings {

namespace {

// Swallows the mouse press that is on its way to a control at the moment it is
// installed, so that a click which tried to move the focus out of a box that refused to
// lose it does nothing else. Removes itself when control returns to the event loop.
class DropPendingPress final : public QObject {
public:
    static void install() {
        auto* filter = new DropPendingPress(qApp);
        qApp->installEventFilter(filter);
        filter->deleteLater();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            qApp->removeEventFilter(this);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    using QObject::QObject;
};

} // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
}

void ClickLabel::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
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
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void FocusLineEdit::focusInEvent(QFocusEvent* event) {
    emit focusIn();
    QLineEdit::focusInEvent(event);
}

void FocusLineEdit::focusOutEvent(QFocusEvent* event) {
    refused_ = false;
    emit focusLeaving(event->reason());
    if (refused_) {
        refused_ = false;
        if (event->reason() == Qt::MouseFocusReason) DropPendingPress::install();
        return;
    }
    QLineEdit::focusOutEvent(event);
}

TypedLengthLimit::TypedLengthLimit(QLineEdit* box, qsizetype typed)
    : QValidator(box), typed_(typed), limit_(typed) {
    connect(box, &QLineEdit::textChanged, this, [this](const QString& text) {
        limit_ = std::max(typed_, std::min(limit_, text.size()));
    });
}

QValidator::State TypedLengthLimit::validate(QString& input, int& /*pos*/) const {
    return input.size() > limit_ ? Invalid : Acceptable;
}

void setWholeText(QLineEdit* box, const QString& text) {
    if (auto* limit = dynamic_cast<TypedLengthLimit*>(const_cast<QValidator*>(box->validator())))
        limit->allow(text);
    box->setText(text);
}

EtchedFrame::EtchedFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    setMouseTracking(true);
}

void EtchedFrame::mouseMoveEvent(QMouseEvent* event) {
    // Moves over the controls inside that they do not take come up here too.
    if (!childAt(event->position().toPoint())) emit mouseMoved();
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
