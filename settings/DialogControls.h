#pragma once
// The settings dialog's own kinds of controls: a label that reports clicks and mouse moves,
// a line edit that reports its focus, and the classic etched frame that reports mouse moves
// over its background. Each only hands the events on; the dialog's handlers decide.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <functional>

namespace settings {

// A label that can be clicked: a click is the left button going down and coming up over
// it; the second press of a double click makes no second click.
class ClickLabel final : public QLabel {
public:
    // Tracks the mouse, so moves over it are reported without a button held.
    explicit ClickLabel(QWidget* parent = nullptr);

    std::function<void()> onClick;
    // Runs whenever the mouse moves over the label.
    std::function<void()> onMouseMove;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false; // the left button went down over the label
};

// A line edit that tells when it takes and loses the focus, before it handles the change
// itself.
class FocusLineEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    std::function<void()> onFocusIn;
    // Returns true to keep the box from handling the loss: it then keeps its selection.
    std::function<bool(Qt::FocusReason)> onFocusOut;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// A frame as the classic forms draw it: an etched border whose top runs through the
// middle of the caption, so the controls can sit close under the caption.
class EtchedFrame final : public QGroupBox {
public:
    // Tracks the mouse, so moves over it are reported without a button held.
    explicit EtchedFrame(const QString& title, QWidget* parent = nullptr);

    // Runs when the mouse moves over the frame itself, not over a control in it.
    std::function<void()> onMouseMove;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace settings
