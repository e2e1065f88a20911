// Centring a dialog again by the frame the window manager gives it.

#include "FrameCentring.h"

#include "Numbers.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace settings {

FrameCentring::FrameCentring(QWidget* dialog, std::function<void()> centre, FrameWait wait,
                             std::function<bool()> frameKnown)
    : QObject(dialog), dialog_(dialog), centre_(std::move(centre)), wait_(wait),
      frameKnown_(std::move(frameKnown)) {
    if (!frameKnown_) {
        frameKnown_ = [dialog] {
            return dialog->windowHandle() && !dialog->windowHandle()->frameMargins().isNull();
        };
    }
    dialog->installEventFilter(this);
}

bool FrameCentring::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog_ && event->type() == QEvent::Show) {
        // The window exists now and is about to be mapped: its first exposure is watched.
        dialog_->removeEventFilter(this);
        if (QWindow* window = dialog_->windowHandle()) window->installEventFilter(this);
    } else if (watched == dialog_->windowHandle() && event->type() == QEvent::Expose &&
               dialog_->windowHandle()->isExposed()) {
        // Before the first paint: the dialog is centred by its outer size when the frame is
        // known already, and otherwise as soon as it is.
        dialog_->windowHandle()->removeEventFilter(this);
        if (frameKnown_())
            centre_();
        else
            waitForFrame();
    }
    return QObject::eventFilter(watched, event);
}

void FrameCentring::waitForFrame() {
    auto* wait = new QTimer(this);
    connect(wait, &QTimer::timeout, this, [this, wait, looks = 0]() mutable {
        const bool known = frameKnown_();
        if (known) centre_();
        if (known || ++looks >= wait_.steps) {
            wait->stop();
            wait->deleteLater();
        }
    });
    wait->start(wait_.stepMs);
}

QPoint centredOn(QSize screen, QSize outer) {
    return {int(rt::roundHalfEven((screen.width() - outer.width()) / 2.0)),
            int(rt::roundHalfEven((screen.height() - outer.height()) / 2.0))};
}

} // namespace settings
