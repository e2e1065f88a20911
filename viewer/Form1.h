#pragma once
// The viewer form: the program's start-up form and the show itself.
//
// Start-up (Form_Load) lays out the caption and the picture, shows the settings dialog
// modally, and on OK covers the screen, starts the slide timer and builds the image list.
// Every tick (Timer1_Timer) then shows the next picture of the list fitted below its
// caption on a random background, or once a pass the end-of-pass caption on black. A
// click or any key ends the show (Fine).
//
// Positions and sizes are twips (15 per pixel), kept in single precision as the
// viewer's arithmetic expects; the widgets get the nearest pixel.

#include "DrawingLayer.h"
#include "FrameBudget.h"
#include "ImageBox.h"
#include "Modulo1.h"
#include "Platform.h"
#include "Prefetch.h"
#include "SlideShow.h"
#include "Sound.h"
#include "Timer.h"

#include <QDeadlineTimer>
#include <QFutureWatcher>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

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
    ~Form1() override;

    // --- Event handlers ----------------------------------------------------------
    // Start-up: layout, the settings dialog, the timer and the image list.
    void Form_Load();
    // The form became the active window: the crosshair pointer for the whole program.
    void Form_Activate();
    // One tick of the slide timer: the next picture, or the end-of-pass caption.
    void Timer1_Timer();
    void Form_Click();
    void Image1_Click();
    void Form_KeyDown();
    void Form_KeyPress();

    // --- Procedures ----------------------------------------------------------------
    // The animated clearing of the screen to black.
    void ClsDiag();
    // Ends the show and the program: the music is closed first.
    void Fine();

    // --- Controls ------------------------------------------------------------------
    rt::Timer* Timer1;
    rt::ImageBox* Image1;
    QLabel* Label1;

    // Geometry in twips.
    [[nodiscard]] float widthTwips() const { return width_; }
    [[nodiscard]] float heightTwips() const { return height_; }
    [[nodiscard]] const TwipRect& image1Twips() const { return image1_; }
    [[nodiscard]] const TwipRect& label1Twips() const { return label1_; }
    [[nodiscard]] QColor backColor() const;
    [[nodiscard]] const rt::DrawingLayer& drawing() const { return *drawing_; }
    // The show's order and the decode-ahead, to look at (the handlers move them on).
    [[nodiscard]] const SlideShow& slides() const { return slides_; }
    [[nodiscard]] const Prefetch& prefetch() const { return prefetch_; }

    // Replaces the way pending events are let run (tests watch it).
    void setLetEventsRun(std::function<void()> letEventsRun);
    // How long a picture's file may take to answer before the picture gets its message
    // (30 s from its tick; tests shorten it).
    void setReadBound(int ms);
    // The entries of the ticks left while their file had not answered, not yet answered.
    [[nodiscard]] QStringList leftEntries() const;
    // Whether a tick has begun and not ended: it waits for the walk to reach its slot, or
    // for its picture, or shows a message.
    [[nodiscard]] bool tickUnderWay() const { return tickUnderWay_; }
    // Waits, at most `ms`, until the sounds asked for so far have reached the media.
    [[nodiscard]] bool waitForSounds(int ms) const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // The form over the whole of the show's monitor, full screen, its size in twips read
    // from that monitor.
    void coverScreen();
    void setImage1(const TwipRect& r);
    void setImage1Left(float left);
    // Moves the picture's left edge to `left` and returns what the move leaves to paint.
    QRegion moveImage1(float left);
    void setLabel1Position(float left, float top);
    // Label1 sizes itself to its caption.
    void setLabel1Caption(const QString& caption);
    // The form's background; a new colour repaints the form, which clears its drawings.
    void setBackColor(const QColor& colour);
    // The rest of a tick once its slot is known.
    void goOnWith(const Tick& tick);
    // The walk found more pictures, or ended.
    void walkGoesOn();
    // The tick's picture arrived from the worker.
    void pictureArrived();
    // The next tick came while this one's file had not answered: the tick leaves it, and
    // its message comes when the file fails or once the bound has passed.
    void leaveTick();
    // The bound passed for the tick's file or one left before.
    void readBoundPassed();
    void armReadBound();
    // Shows the message of a file left that is due, when no tick is under way; whether
    // it showed one.
    bool tellLeft();
    // A file left answered: a picture is dropped, a failure gets its message.
    void leftAnswered(QFutureWatcher<Decoded>* answer);
    // A picture tick for `entry` with its picture; false when it cannot be shown.
    bool showPicture(const QString& entry, Decoded picture);
    // The end-of-pass caption, centred on black.
    void showEndOfPass();
    void emptyListPath();
    // Starts decoding the picture of the next picture tick.
    void prefetchNext();
    [[nodiscard]] ShowArea showArea() const {
        return {width_, height_, label1_.height, platform_.screen.pixelRatio()};
    }
    // Puts the changed part of the form on the screen when the pacer's next frame is due.
    void presentFrame(const QRegion& changed, FramePacer& pacer);
    // Slides the picture in from the left to its final left edge, in steps of 2000 twips.
    void slideIn(float finalLeft);
    // A transition's frames in the timing log: count, duration, late ones, longest gap.
    void logFrames(const char* what, const QByteArray& detail, qint64 start,
                   const FramePacer& pacer) const;

    rt::Platform& platform_;
    settings::Modulo1& s_;
    // The pictures found at the last start-up and the tick's position among them.
    SlideShow slides_;
    // The walk: its folder listings (shared with the walk, which may outlive a cancel), the
    // walk itself, and the pictures it has handed over so far.
    std::shared_ptr<rt::Worker> listers_;
    rt::Worker walker_;
    QFutureWatcher<QStringList> walk_;
    int walkTaken_ = 0;
    // The comments and the music, looked up and played on a worker of their own.
    rt::Worker soundWorker_;
    Sound sound_;
    // The next picture, decoded ahead, and the tick's picture on its way.
    Prefetch prefetch_;
    QFutureWatcher<Decoded> picture_;
    Prefetch::Taken taken_;
    QDeadlineTimer tickBound_; // the tick's file gets its message when this passes
    // Ticks left while their file had not answered, until it does: each one's message
    // comes once, when the file fails or its bound passes; a later tick that comes to the
    // same file waits for the same decode and gets no second message.
    struct Left {
        QString entry;
        QFutureWatcher<Decoded>* answer; // a child of the form
        QDeadlineTimer bound;
        bool failed = false; // answered, not a picture
        bool told = false;
    };
    std::vector<Left> left_;
    QTimer readBound_; // at the next bound of the tick's file or of one left
    int readBoundMs_ = 0;
    QString tickEntry_;
    bool tickUnderWay_ = false;
    bool waitingForSlot_ = false;  // for the walk to reach the tick's slot
    bool awaitingPicture_ = false; // for the tick's picture
    std::function<void()> showSettingsDialog_;
    std::function<void()> letEventsRun_;
    rt::DrawingLayer* drawing_;
    float width_ = 0, height_ = 0;
    bool fullScreenWhenShown_ = false; // made full screen once first painted
    TwipRect image1_;
    TwipRect label1_;
    bool pressedOnForm_ = false;
};

} // namespace viewer
