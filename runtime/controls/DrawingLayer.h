#pragma once
// A form's drawing surface: lines and box outlines drawn over the form and its controls,
// in pixels, kept until cleared. What is drawn reaches the screen when presented (the
// form paces its presents to the display's frames), each showing every figure drawn so
// far.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>

#include <chrono>
#include <memory>
#include <vector>

namespace rt {

class DrawingLayer final : public QWidget {
public:
    // Covers `form` and follows its size; lets every mouse event through to the form.
    explicit DrawingLayer(QWidget* form);

    // A one-pixel line between two points, both ends included.
    void line(QPoint a, QPoint b, const QColor& colour);
    // The one-pixel outline of the box with these opposite corners.
    void box(QPoint a, QPoint b, const QColor& colour);
    // Puts what was drawn on the screen, and returns once the display server has drawn
    // it. Lets no event run.
    void present();
    // Forgets every figure.
    void clear();
    [[nodiscard]] bool isEmpty() const { return empty_; }
    // The picture drawn so far (transparent where nothing was drawn).
    [[nodiscard]] const QImage& image() const {
        endPainting();
        return image_;
    }
    // What the figures drawn since the last present changed: what the next present puts
    // on the screen, and nothing else.
    [[nodiscard]] const QRegion& pending() const { return dirty_; }
    // How many times present() put figures on the screen since the layer was made.
    [[nodiscard]] int presentedFrames() const { return frames_; }
    // One display refresh.
    [[nodiscard]] std::chrono::nanoseconds frameInterval() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToForm();

    mutable QImage image_;
    bool empty_ = true;
    // Opaque strips drawn but not yet written into the image, in order. Drawing one that
    // covers exactly one of the last few replaces it: a wipe draws each strip in white,
    // then in black, and its next step mostly lands on the same pixels, so that most of a
    // frame's strips are written over before they are ever shown. The image that reaches
    // the screen is the same as with every strip written.
    struct Strip {
        QRect rect;
        QRgb pixel;
    };
    mutable std::vector<Strip> strips_;
    static constexpr std::size_t RecentStrips = 8;
    static constexpr std::size_t MaxStrips = 4096;
    void strip(const QRect& r, const QColor& colour);
    void writeStrips() const;
    QRegion dirty_; // drawn since the last present
    // Open on the image between presents: starting a painter for each of the thousands of
    // figures of a wipe would cost more than drawing them.
    mutable std::unique_ptr<QPainter> painter_;
    QPainter& painter();
    void endPainting() const;
    int frames_ = 0;
};

} // namespace rt
