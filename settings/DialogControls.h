#pragma once
// The settings dialog's own kinds of controls: a label that reports clicks and mouse moves,
// a line edit that reports its focus and can refuse to lose it, the typed-length limit of a
// box, and the classic etched frame that reports mouse moves over its background. Each
// only reports, through its signals; the dialog's handlers decide.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace settings {

// A label that can be clicked: a click is the left button going down and coming up over
// it; the second press of a double click makes no second click.
class ClickLabel final : public QLabel {
    Q_OBJECT
public:
    // Tracks the mouse, so moves over it are reported without a button held.
    explicit ClickLabel(QWidget* parent = nullptr);

signals:
    void clicked();
    // Whenever the mouse moves over the label.
    void mouseMoved();

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
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // Said while focusLeaving() is handled: the box's value was refused and the focus is
    // back. The box then keeps its selection, and when the mouse moved the focus, the
    // press that did it goes to no control.
    void refuseFocusLoss() { refused_ = true; }

signals:
    void focusIn();
    void focusLeaving(Qt::FocusReason reason);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool refused_ = false;
};

// A box takes at most `typed` typed characters. A longer text the program puts in
// (setWholeText) is shown whole; the user can then only make it shorter.
class TypedLengthLimit final : public QValidator {
public:
    TypedLengthLimit(QLineEdit* box, qsizetype typed);
    // Lets the next text the program sets stand whole.
    void allow(const QString& text) { limit_ = std::max(typed_, text.size()); }
    State validate(QString& input, int& pos) const override;

private:
    const qsizetype typed_;
    qsizetype limit_;
};

// Sets a box's text as the program does: whole, whatever its length.
void setWholeText(QLineEdit* box, const QString& text);

// A frame as the classic forms draw it: an etched border whose top runs through the
// middle of the caption, so the controls can sit close under the caption.
class EtchedFrame final : public QGroupBox {
    Q_OBJECT
public:
    // Tracks the mouse, so moves over it are reported without a button held.
    explicit EtchedFrame(const QString& title, QWidget* parent = nullptr);

signals:
    // The mouse moved over the frame itself, not over a control in it.
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace settings
