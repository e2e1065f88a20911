#pragma once
// The viewer form: the program's start-up form. It lays out its caption and picture,
// shows the settings dialog modally, and on OK covers the screen, starts the slide
// timer and builds the image list.
//
// Positions and sizes are twips (15 per pixel), kept in single precision as the
// viewer's arithmetic expects; the widgets get the nearest pixel.

#include "ImageList.h"
#include "Modulo1.h"
#include "Platform.h"
#include "Timer.h"

#include <QLabel>
#include <QWidget>

#include <functional>

namespace viewer {

// A position and size in twips, applied to a widget in pixels.
struct TwipRect {
    float left = 0, top = 0, width = 0, height = 0;
};

class Form1 final : public QWidget {
public:
    // `showSettingsDialog` shows the settings dialog modally and returns once it is closed.
    Form1(rt::Platform& platform, settings::Modulo1& settings,
          std::function<void()> showSettingsDialog, QWidget* parent = nullptr);

    // Start-up: layout, the settings dialog, the timer and the image list.
    void Form_Load();
    // The form became the active window: the crosshair pointer for the whole program.
    void Form_Activate();
    // One tick of the slide timer.
    void Timer1_Timer();

    // Controls.
    rt::Timer* Timer1;
    QLabel* Image1;
    QLabel* Label1;

    // The pictures found at the last start-up.
    ImageList imageList = emptyImageList();

    // Geometry in twips.
    [[nodiscard]] float widthTwips() const { return width_; }
    [[nodiscard]] float heightTwips() const { return height_; }
    [[nodiscard]] const TwipRect& image1Twips() const { return image1_; }
    [[nodiscard]] const TwipRect& label1Twips() const { return label1_; }

protected:
    bool event(QEvent* e) override;

private:
    void setImage1(const TwipRect& r);
    void setLabel1Position(float left, float top);
    // Label1 sizes itself to its caption.
    void setLabel1Caption(const QString& caption);

    rt::Platform& platform_;
    settings::Modulo1& s_;
    std::function<void()> showSettingsDialog_;
    float width_ = 0, height_ = 0;
    TwipRect image1_;
    TwipRect label1_;
};

} // namespace viewer
