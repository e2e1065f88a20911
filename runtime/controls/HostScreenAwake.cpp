// The screen kept awake: the session's screen saver inhibited over D-Bus, the X screen
// saver suspended.

#include "HostScreenAwake.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace rt {

namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ObjectPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int CallTimeoutMs = 1000;

// The X server's connection, when the program runs under X11 (XWayland included).
Display* x11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

class HostScreenAwake final : public ScreenAwake {
public:
    ~HostScreenAwake() override { release(); }

    void hold() override {
        if (held_) return;
        held_ = true;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service,
                                                               QStringLiteral("Inhibit"));
            call << QCoreApplication::applicationName()
                 << QStringLiteral("Proiezione di immagini in corso");
            const QDBusMessage reply = bus.call(call, QDBus::Block, CallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
                cookie_ = reply.arguments().constFirst().toUInt();
                inhibited_ = true;
            }
        }
        if (Display* display = x11Display()) {
            int event = 0, error = 0;
            if (XScreenSaverQueryExtension(display, &event, &error)) {
                XScreenSaverSuspend(display, True);
                XFlush(display);
                suspended_ = true;
            }
        }
    }

    void release() override {
        if (!held_) return;
        held_ = false;
        if (inhibited_) {
            QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service,
                                                               QStringLiteral("UnInhibit"));
            call << cookie_;
            QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
            inhibited_ = false;
        }
        if (suspended_) {
            if (Display* display = x11Display()) {
                XScreenSaverSuspend(display, False);
                XFlush(display);
            }
            suspended_ = false;
        }
    }

private:
    bool held_ = false;
    bool inhibited_ = false; // the service gave a cookie
    bool suspended_ = false; // the X screen saver is suspended
    uint cookie_ = 0;
};

} // namespace

std::unique_ptr<ScreenAwake> makeHostScreenAwake() {
    return std::make_unique<HostScreenAwake>();
}

} // namespace rt
