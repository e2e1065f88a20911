// Activation tokens asked of the compositor on a queue of our own, beside Qt's, on Qt's
// connection to it.

#include "WaylandActivation.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace rt {
namespace {

// What the compositor offers and answers, as the events of our queue come in.
struct Exchange {
    xdg_activation_v1* activation = nullptr;
    bool seat = false; // the compositor has one: Qt has taken it as its input device
    std::optional<QString> token;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t /*version*/) {
    auto* x = static_cast<Exchange*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0) x->seat = true;
    if (!x->activation && std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        x->activation = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}
void onGlobalRemoved(void*, wl_registry*, uint32_t) {}
const wl_registry_listener RegistryListener{onGlobal, onGlobalRemoved};

void onDone(void* data, xdg_activation_token_v1* /*token*/, const char* token) {
    static_cast<Exchange*>(data)->token = QString::fromUtf8(token);
}
const xdg_activation_token_v1_listener TokenListener{onDone};

void onSync(void* data, wl_callback* /*callback*/, uint32_t /*serial*/) {
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener SyncListener{onSync};

// Dispatches `queue` until `done` or the deadline; false when the deadline came first or
// the connection failed. Qt's own thread reads the same connection: the reading is shared
// the way libwayland lays down (prepare, poll, read or cancel).
bool dispatchUntil(wl_display* display, wl_event_queue* queue, const std::function<bool()>& done,
                   const QDeadlineTimer& deadline) {
    while (!done()) {
        if (wl_display_prepare_read_queue(display, queue) != 0) {
            if (wl_display_dispatch_queue_pending(display, queue) < 0) return false;
            continue;
        }
        wl_display_flush(display);
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        const qint64 left = deadline.remainingTime();
        const int ready = left == 0 ? 0 : poll(&fd, 1, int(left < 0 ? 1000 : left));
        if (ready > 0) {
            if (wl_display_read_events(display) < 0) return false;
        } else {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) continue;
            if (deadline.hasExpired() || ready < 0) return false;
        }
        if (wl_display_dispatch_queue_pending(display, queue) < 0) return false;
    }
    return true;
}

// A round trip on our queue: every event asked for before it has come in.
bool roundTrip(wl_display* display, wl_display* onQueue, wl_event_queue* queue,
               const QDeadlineTimer& deadline) {
    bool synced = false;
    wl_callback* callback = wl_display_sync(onQueue);
    wl_callback_add_listener(callback, &SyncListener, &synced);
    const bool ok = dispatchUntil(
        display, queue, [&] { return synced; }, deadline);
    wl_callback_destroy(callback);
    return ok;
}

} // namespace

std::optional<QString> activationTokenFor(QWindow& window, int waitMs) {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) return std::nullopt;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native) return std::nullopt;
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window));
    if (!display || !surface) return std::nullopt;

    const QDeadlineTimer deadline(waitMs);
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* onQueue = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(onQueue), queue);
    Exchange x;
    wl_registry* registry = wl_display_get_registry(onQueue);
    wl_registry_add_listener(registry, &RegistryListener, &x);
    xdg_activation_token_v1* token = nullptr;
    if (roundTrip(display, onQueue, queue, deadline) && x.activation) {
        token = xdg_activation_v1_get_activation_token(x.activation);
        xdg_activation_token_v1_add_listener(token, &TokenListener, &x);
        // The user's last input, on the window that has it: what the compositor checks.
        // (Qt reads its input device for them, which it has only when there is a seat.)
        if (x.seat) {
            auto* seat = static_cast<wl_seat*>(native->nativeResourceForIntegration("wl_seat"));
            const auto serial = uint32_t(quintptr(native->nativeResourceForIntegration("serial")));
            if (seat && serial) xdg_activation_token_v1_set_serial(token, serial, seat);
        }
        xdg_activation_token_v1_set_surface(token, surface);
        xdg_activation_token_v1_commit(token);
        dispatchUntil(
            display, queue, [&] { return x.token.has_value(); }, deadline);
    }
    if (token) xdg_activation_token_v1_destroy(token);
    if (x.activation) xdg_activation_v1_destroy(x.activation);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(onQueue);
    // What is still queued for our objects goes with the queue.
    wl_display_flush(display);
    wl_event_queue_destroy(queue);
    if (x.token && x.token->isEmpty()) return std::nullopt;
    return x.token;
}

void handActivationOn(const QString& token) {
    qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

} // namespace rt
