#pragma once
// Pictures copied to the display server ahead of their tick. Showing a held picture costs
// the server one copy within its own memory and the program nothing: at 3840 x 2160 a
// picture painted by the program would first be copied into the window's buffer and then
// sent, 33 MB each way, within the tick.

#include <QRect>

#include <memory>

class QImage;

namespace rt {

// A picture the display server holds; freed when the last reference goes, on any thread.
class HeldPicture {
public:
    virtual ~HeldPicture() = default;
    [[nodiscard]] virtual QSize size() const = 0; // in device pixels
    // Its pixels, read back from the server, for the program to paint it after all
    // (its own copy went once the server held it); null when they cannot be read.
    [[nodiscard]] virtual QImage pixels() const = 0;
};

// A window of the display server's, inside one of the program's, that shows held pictures
// by itself: the server repaints it when uncovered, without asking the program.
class PictureWindow {
public:
    virtual ~PictureWindow() = default;
    // Shows `picture` at `area` (device pixels, within the program's window), on top of
    // what the program paints there, and returns once the server has shown it.
    virtual void show(const std::shared_ptr<const HeldPicture>& picture, const QRect& area) = 0;
    // Takes the window off the screen; what the program painted under it shows again.
    virtual void hide() = 0;
};

class ScreenPictures {
public:
    virtual ~ScreenPictures() = default;
    // A copy of `image` in the display server, or null when the server cannot hold it: no
    // such server, a picture with transparency (the form's colour shows through it), or
    // no room. Safe from any thread. Once held, the program lets its own copy go.
    [[nodiscard]] virtual std::shared_ptr<const HeldPicture> hold(const QImage& image) = 0;
    // A picture window inside the program's window `parent` (a native window id), or null
    // when that window cannot show held pictures. On the GUI thread.
    [[nodiscard]] virtual std::unique_ptr<PictureWindow> windowIn(quintptr parent) = 0;
};

// A display without server-side pictures: the program paints every picture itself.
class NoScreenPictures final : public ScreenPictures {
public:
    std::shared_ptr<const HeldPicture> hold(const QImage&) override { return nullptr; }
    std::unique_ptr<PictureWindow> windowIn(quintptr) override { return nullptr; }
};

} // namespace rt
