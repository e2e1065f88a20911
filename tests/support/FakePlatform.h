#pragma once
// Test doubles for the platform services, and a Platform that gathers them over a
// real DOS file system (pointed at temporary folders by the test).

#include "Platform.h"
#include "RegistryHive.h"

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct ShownMessage {
    QString text;
    int style;
    QString title;
};

// Records every message box; `onShow` lets a test act while the box is "open".
class RecordingMessages final : public rt::MessageBoxes {
public:
    void show(const QString& text, int style, const QString& title) override {
        shown.push_back({text, style, title});
        if (onShow) onShow(shown.back());
    }
    [[nodiscard]] QStringList texts() const {
        QStringList l;
        for (const auto& m : shown)
            l << m.text;
        return l;
    }
    std::vector<ShownMessage> shown;
    std::function<void(const ShownMessage&)> onShow;
};

class RecordingPointer final : public rt::MousePointer {
public:
    void setIcon(const QPixmap& icon, QPoint hotSpot) override {
        iconKey = icon.cacheKey();
        hot = hotSpot;
    }
    void setShape(rt::PointerShape shape) override { shapes.push_back(shape); }
    [[nodiscard]] rt::PointerShape last() const {
        return shapes.empty() ? rt::PointerShape::Default : shapes.back();
    }
    std::vector<rt::PointerShape> shapes;
    qint64 iconKey = 0;
    QPoint hot;
};

class RecordingEnd final : public rt::ProgramEnd {
public:
    void end() override { ++calls; }
    int calls = 0;
};

// A desktop of monitors (places in logical pixels, each with its pixel ratio); by default
// one of w x h twips at the origin. A window is on the monitor that holds most of it, as
// on X. `change` moves the show to the primary monitor as a monitor change does.
class FixedScreen final : public rt::Screen {
public:
    struct Monitor {
        QRect area;
        double ratio = 1;
    };
    FixedScreen(double w, double h, double ratio = 1)
        : monitors{{QRect(0, 0, int(w / rt::TwipsPerPixel), int(h / rt::TwipsPerPixel)), ratio}} {}
    [[nodiscard]] double widthTwips() const override {
        return monitors[std::size_t(shown)].area.width() * double(rt::TwipsPerPixel);
    }
    [[nodiscard]] double heightTwips() const override {
        return monitors[std::size_t(shown)].area.height() * double(rt::TwipsPerPixel);
    }
    [[nodiscard]] double pixelRatio() const override { return monitors[std::size_t(shown)].ratio; }
    [[nodiscard]] QRect primaryArea() const override { return monitors[std::size_t(primary)].area; }
    void settleOn(const QWidget& window) override {
        QList<QRect> areas;
        for (const Monitor& m : monitors)
            areas << m.area;
        shown = rt::monitorHolding(window.frameGeometry(), areas, primary);
        changed = false;
    }
    void cover(QWidget& form) const override {
        form.setGeometry(monitors[std::size_t(shown)].area);
    }
    [[nodiscard]] bool takeChange() override { return std::exchange(changed, false); }
    // The monitors changed: the show's monitor is the primary one again.
    void change() {
        shown = primary;
        changed = true;
    }

    std::vector<Monitor> monitors;
    int primary = 0;
    int shown = 0;
    bool changed = false;
};

// The time of day as set; a monotonic time that moves only when it is set or slept to
// (a sleep returns at once, the clock at the moment it waited for).
class FakeClock final : public rt::Clock {
public:
    [[nodiscard]] double secondsSinceMidnight() const override { return seconds; }
    [[nodiscard]] std::chrono::nanoseconds monotonic() const override { return now; }
    void sleepUntil(std::chrono::nanoseconds at) override { now = std::max(now, at); }
    double seconds = 43200.5;
    std::chrono::nanoseconds now = std::chrono::seconds(1);
};

// Records every media call; the commands as sent, the sounds as DOS paths.
class RecordingMedia final : public rt::Media {
public:
    int mciSendString(const QString& command) override {
        commands << command;
        return mciResult;
    }
    bool sndPlaySound(const QString& path, int flags) override {
        sounds << path;
        soundFlags.push_back(flags);
        return true;
    }
    QStringList commands;
    QStringList sounds;
    std::vector<int> soundFlags;
    int mciResult = 0;
};

struct LaunchCall {
    QString commandLine;
    int windowStyle;
};

// Records every command line; answers with `result`.
class RecordingLauncher final : public rt::Launcher {
public:
    rt::Result<qint64> shell(const QString& commandLine, int windowStyle) override {
        calls.push_back({commandLine, windowStyle});
        return result;
    }
    std::vector<LaunchCall> calls;
    rt::Result<qint64> result = qint64(4242);
};

struct RegistryOpen {
    QString subKey;
    std::uint32_t access;
};

// The real hive-file registry over `hivePath` (a host path; none at first: a registry
// without keys), recording every open and every value asked for.
class RecordingRegistry final : public rt::Registry {
public:
    void useHive(const QString& hostPath) { hive_ = rt::HiveRegistry(hostPath); }
    long RegOpenKeyEx(rt::HKEY root, const QString& subKey, std::uint32_t options,
                      std::uint32_t access, rt::HKEY& key) override {
        opens.push_back({subKey, access});
        return hive_.RegOpenKeyEx(root, subKey, options, access, key);
    }
    long RegQueryValueEx(rt::HKEY key, const QString& valueName, std::uint32_t& type,
                         QByteArray& data, std::uint32_t& size) override {
        queries << valueName;
        return hive_.RegQueryValueEx(key, valueName, type, data, size);
    }
    long RegCloseKey(rt::HKEY key) override {
        ++closes;
        return hive_.RegCloseKey(key);
    }
    std::vector<RegistryOpen> opens;
    QStringList queries;
    int closes = 0;

private:
    rt::HiveRegistry hive_{QString()};
};

// Records whether the screen is held awake, and each change.
class RecordingScreenAwake final : public rt::ScreenAwake {
public:
    void hold() override {
        if (!held) changes << QStringLiteral("hold");
        held = true;
    }
    void release() override {
        if (held) changes << QStringLiteral("release");
        held = false;
    }
    bool held = false;
    QStringList changes;
};

// Metafiles drawn by the helper a test hands in (`drawer`), counting the calls; without
// one, every metafile is refused.
class HandedMetafiles final : public rt::MetafileDrawer {
public:
    rt::Result<QSize> size(rt::MetafileKind kind, const QByteArray& bytes) override {
        ++sizes;
        if (!drawer) return none();
        return drawer->size(kind, bytes);
    }
    rt::Result<QImage> render(rt::MetafileKind kind, const QByteArray& bytes, QSize size) override {
        ++renders;
        if (!drawer) return none();
        return drawer->render(kind, bytes, size);
    }
    rt::MetafileDrawer* drawer = nullptr;
    int sizes = 0, renders = 0;

private:
    static rt::Error none() { return rt::refusedPicture(QStringLiteral("no metafile drawer")); }
};

// A drawer that holds every call until it is let go, as a file of a share that stopped
// answering holds its reader; let go, it refuses the metafile.
class BlockingMetafiles final : public rt::MetafileDrawer {
public:
    rt::Result<QSize> size(rt::MetafileKind, const QByteArray&) override {
        hold();
        return rt::refusedPicture(QStringLiteral("let go"));
    }
    rt::Result<QImage> render(rt::MetafileKind, const QByteArray&, QSize) override {
        hold();
        return rt::refusedPicture(QStringLiteral("let go"));
    }
    void letGo() {
        std::lock_guard lock(m_);
        free_ = true;
        cv_.notify_all();
    }
    // Calls that came in so far, and calls not yet returned.
    [[nodiscard]] int entered() const { return entered_; }
    [[nodiscard]] int inside() const { return inside_; }

private:
    void hold() {
        ++entered_;
        ++inside_;
        {
            std::unique_lock lock(m_);
            cv_.wait(lock, [&] { return free_; });
        }
        --inside_; // the last this object is touched by the call
    }
    std::mutex m_;
    std::condition_variable cv_;
    bool free_ = false;
    std::atomic<int> entered_ = 0, inside_ = 0;
};

// One test's platform. The program folder is given as a DOS path.
struct FakePlatform {
    explicit FakePlatform(const QString& programFolder, rt::DriveTable drives = rt::DriveTable(),
                          double screenW = 1024 * 15, double screenH = 768 * 15)
        : files(std::move(drives)),
          screen(screenW, screenH), platform{files,          messages,     pointer,
                                             programEnd,     screen,       clock,
                                             random,         sharedMedia,  launcher,
                                             registry,       screenAwake,  sharedMetafiles,
                                             screenPictures, programFolder} {}

    rt::DosFileSystem files;
    RecordingMessages messages;
    RecordingPointer pointer;
    RecordingEnd programEnd;
    FixedScreen screen;
    FakeClock clock;
    rt::Random random;
    std::shared_ptr<RecordingMedia> sharedMedia = std::make_shared<RecordingMedia>();
    RecordingMedia& media = *sharedMedia;
    RecordingLauncher launcher;
    RecordingRegistry registry;
    RecordingScreenAwake screenAwake;
    std::shared_ptr<HandedMetafiles> sharedMetafiles = std::make_shared<HandedMetafiles>();
    HandedMetafiles& metafiles = *sharedMetafiles;
    std::shared_ptr<rt::ScreenPictures> screenPictures = std::make_shared<rt::NoScreenPictures>();
    rt::Platform platform;
};
