#pragma once
// A dialog centred again by its outer size once the window manager has told its frame.
// Until the dialog's window is first exposed the frame is not known (the dialog was
// centred by its client area alone), and a busy window manager may tell it only a moment
// after that. Only the dialog's first showing is watched.

#include <QObject>
#include <QPoint>
#include <QSize>

#include <functional>

class QWidget;

namespace settings {

// How long to wait for the frame after the first exposure: `steps` looks, `stepMs`
// apart; then it is given up.
struct FrameWait {
    int stepMs = 10;
    int steps = 200;
};

class FrameCentring final : public QObject {
public:
    // Runs `centre` once the frame of `dialog` is known: at the first exposure when it is
    // known then, or at the first look of the wait that finds it; never more than once.
    // `frameKnown` says whether it is (by default: the window has frame margins).
    FrameCentring(QWidget* dialog, std::function<void()> centre, FrameWait wait = {},
                  std::function<bool()> frameKnown = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void waitForFrame();

    QWidget* dialog_;
    std::function<void()> centre_;
    FrameWait wait_;
    std::function<bool()> frameKnown_;
};

// The top-left corner of a window of outer size `outer` centred on a screen of `screen`
// (pixels; halves rounded to even).
[[nodiscard]] QPoint centredOn(QSize screen, QSize outer);

} // namespace settings
