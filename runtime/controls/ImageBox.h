#pragma once
// A picture control: shows one picture at its own size, or stretched over the control
// when the sizes differ (an icon). A picture the display server holds is shown by a
// window of the server's over the control, so that showing it costs the program nothing;
// any other is painted by the control.

#include "ScreenPictures.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace rt {

class ImageBox final : public QWidget {
public:
    ImageBox(ScreenPictures& pictures, QWidget* parent);
    ~ImageBox() override;

    // `image` in device pixels with the screen's pixel ratio; `held` the server's copy of
    // it, when there is one (then `image` may be null: the server's pixels are read back
    // should the control have to paint the picture itself). The picture it replaces is kept until
    // letPreviousGo().
    void setPicture(QImage image, std::shared_ptr<const HeldPicture> held = nullptr);
    // Lets the picture shown before go, once the new one is on the screen: giving 33 MB
    // back to the system takes milliseconds, which a transition's frames cannot spare.
    void letPreviousGo();
    // Puts a picture the server holds on the screen now, where the control stands, ahead
    // of the form's next present: the server copies it while the program paints the rest.
    void present();
    [[nodiscard]] const QImage& picture() const { return image_; }
    // Whether the server's copy is what the screen shows.
    [[nodiscard]] bool shownByServer() const { return held_ && window_ && isVisible(); }
    // The control paints its picture from now on, under whatever is drawn over the form
    // (the server's window would cover it); nothing changes on the screen.
    void dropServerCopy();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeWindow();
    // A held picture's pixels read back, at the control's pixel ratio.
    [[nodiscard]] QImage pixelsOf(const HeldPicture& held) const;

    ScreenPictures& pictures_;
    QImage image_, previous_;
    std::shared_ptr<const HeldPicture> held_, previousHeld_;
    std::unique_ptr<PictureWindow> window_;
    WId windowParent_ = 0;
};

} // namespace rt
