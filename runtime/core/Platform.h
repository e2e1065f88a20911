#pragma once
// The small services the forms rely on besides the file system. Each has a real
// implementation (RealPlatform.h) and test doubles (tests/support). The forms receive
// a Platform at construction; nothing reaches these through globals.

#include "Clock.h"
#include "DosFiles.h"
#include "Launcher.h"
#include "Media.h"
#include "MetafileDrawer.h"
#include "Registry.h"
#include "ScreenAwake.h"
#include "ScreenPictures.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>

class QPixmap;
class QWidget;

namespace rt {

// The application title: it titles every message box.
inline const QString AppTitle = QStringLiteral("Quadrello");

// Message box styles.
namespace mb {
inline constexpr int OkOnly = 0;
inline constexpr int Question = 32; // OK button with a question-mark icon
} // namespace mb

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal message box with an OK button, titled `title`; returns when the
    // user has closed it.
    virtual void show(const QString& text, int style, const QString& title) = 0;
};

enum class PointerShape { Default = 0, Arrow = 1, Crosshair = 2, Custom = 99 };

// The application-wide mouse pointer: one setting for every window, kept until set again.
class MousePointer {
public:
    virtual ~MousePointer() = default;
    // The picture used by PointerShape::Custom (an icon; its hot spot in pixels).
    virtual void setIcon(const QPixmap& icon, QPoint hotSpot) = 0;
    virtual void setShape(PointerShape shape) = 0;
};

// Ending the program at once. A caller must return right after end(): the real
// implementation never comes back, a test one records the call and does.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void end() = 0;
};

// The show's screen: one monitor of the desktop, in twips (1/1440 inch; 15 twips per
// logical pixel, so 15 / pixelRatio per device pixel on a monitor scaled for its density).
// Until the dialog's OK settles it, the show's monitor is the primary one.
class Screen {
public:
    virtual ~Screen() = default;
    [[nodiscard]] virtual double widthTwips() const = 0;
    [[nodiscard]] virtual double heightTwips() const = 0;
    // Device pixels per logical pixel: 1 on an ordinary screen, 2 on one scaled twice over.
    [[nodiscard]] virtual double pixelRatio() const = 0;
    // Where the primary monitor stands on the desktop, in logical pixels.
    [[nodiscard]] virtual QRect primaryArea() const = 0;
    // The show's monitor becomes the one that holds most of `window`, a top-level window
    // on the screen (where the display server does not tell where windows stand, the
    // monitor it says the window is on). Under Wayland the focus `window` has is handed on
    // too: the next window of the program to ask for it gets it.
    virtual void settleOn(const QWidget& window) = 0;
    // Puts the top-level `form` over the whole of the show's monitor: its place and size,
    // and the monitor the display server is to show it on.
    virtual void cover(QWidget& form) const = 0;
    // Whether the show's monitor changed, went away or stopped being what was chosen since
    // the last call (the show's monitor is then the primary one, as it is now); the
    // show lays itself out again when it has.
    [[nodiscard]] virtual bool takeChange() = 0;
};
// The monitor of `monitors` (places on the desktop) that holds most of `window`, or
// `fallback` when none holds any of it; the first of equals.
[[nodiscard]] int monitorHolding(const QRect& window, const QList<QRect>& monitors, int fallback);
inline constexpr int TwipsPerPixel = 15;

// A uniform pseudo-random generator in [0, 1), reseeded at will.
class Random {
public:
    void seed(double seed);
    [[nodiscard]] double next();

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

// Everything the forms get from the platform, gathered at one composition point.
struct Platform {
    DosFileSystem& files;
    MessageBoxes& messages;
    MousePointer& pointer;
    ProgramEnd& programEnd;
    Screen& screen;
    Clock& clock;
    Random& random;
    // Shared with the jobs that use them, which a share may hold past the forms' end.
    std::shared_ptr<Media> media;
    Launcher& launcher;
    Registry& registry;
    ScreenAwake& screenAwake;
    std::shared_ptr<MetafileDrawer> metafiles; // what the picture loader draws metafiles with
    // Pictures held by the display server; shared with the decode worker, whose last job
    // may end after the forms are gone.
    std::shared_ptr<ScreenPictures> screenPictures;
    QString programFolder; // DOS path of the executable's folder: no final "\" except at a root
};

// "C:\prog" + "\" ; a root "C:\" stays as it is.
[[nodiscard]] inline QString withBackslash(const QString& folder) {
    return folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('\\');
}

} // namespace rt
