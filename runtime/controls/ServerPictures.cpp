// The X server's pictures: each a pixmap filled from memory shared by descriptor, shown as
// the background of a child window of the program's window, which the server repaints
// by itself.

#include "ServerPictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace rt {

namespace {

constexpr std::uint8_t Depth = 24;
constexpr int LargestPixmap = 32767; // a side, as the X protocol's signed 16-bit positions allow

// The connection and what every picture needs of it; shared by the pictures, which may
// outlive the object that made them on a worker's thread.
struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_visualid_t visual = 0;
    xcb_gcontext_t gc = 0;
    ~Connection() { xcb_disconnect(c); }

    // A round trip: every request sent so far has been carried out.
    void sync() const {
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        // Errors of requests nobody checks (a window whose parent Qt has destroyed) would
        // otherwise pile up in the connection's queue.
        while (xcb_generic_event_t* e = xcb_poll_for_event(c))
            std::free(e);
    }
    [[nodiscard]] bool failed(xcb_void_cookie_t cookie) const {
        xcb_generic_error_t* error = xcb_request_check(c, cookie);
        const bool failed = error != nullptr;
        std::free(error);
        return failed;
    }
};

class ServerPicture final : public HeldPicture {
public:
    ServerPicture(std::shared_ptr<const Connection> connection, xcb_pixmap_t pixmap, QSize size)
        : connection_(std::move(connection)), pixmap_(pixmap), size_(size) {}
    ~ServerPicture() override {
        // A window still showing it keeps it in the server until shown another.
        xcb_free_pixmap(connection_->c, pixmap_);
        xcb_flush(connection_->c);
    }
    [[nodiscard]] QSize size() const override { return size_; }
    [[nodiscard]] QImage pixels() const override;
    [[nodiscard]] xcb_pixmap_t pixmap() const { return pixmap_; }

private:
    std::shared_ptr<const Connection> connection_;
    xcb_pixmap_t pixmap_;
    QSize size_;
};

class ServerWindow final : public PictureWindow {
public:
    ServerWindow(std::shared_ptr<const Connection> connection, xcb_window_t window)
        : connection_(std::move(connection)), window_(window) {}
    ~ServerWindow() override {
        xcb_destroy_window(connection_->c, window_);
        xcb_flush(connection_->c);
    }

    void show(const std::shared_ptr<const HeldPicture>& picture, const QRect& area) override {
        const auto* held = dynamic_cast<const ServerPicture*>(picture.get());
        if (!held) {
            hide();
            return;
        }
        xcb_connection_t* c = connection_->c;
        const bool changed = picture != shown_;
        if (!changed && area == area_ && mapped_) return; // on the screen as it is
        if (changed) {
            const std::uint32_t background = held->pixmap();
            xcb_change_window_attributes(c, window_, XCB_CW_BACK_PIXMAP, &background);
        }
        if (area != area_) {
            const std::uint32_t values[] = {std::uint32_t(area.x()), std::uint32_t(area.y()),
                                            std::uint32_t(std::max(1, area.width())),
                                            std::uint32_t(std::max(1, area.height()))};
            xcb_configure_window(c, window_,
                                 XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y |
                                     XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                 values);
            area_ = area;
        }
        // A window mapped is painted from its background; one already on the screen
        // is painted again only when its picture changed (a move carries its pixels).
        if (!mapped_) {
            xcb_map_window(c, window_);
            mapped_ = true;
        } else if (changed) {
            xcb_clear_area(c, 0, window_, 0, 0, 0, 0);
        }
        shown_ = picture;
        connection_->sync();
    }

    void hide() override {
        if (!mapped_) return;
        xcb_unmap_window(connection_->c, window_);
        mapped_ = false;
        connection_->sync();
    }

private:
    std::shared_ptr<const Connection> connection_;
    xcb_window_t window_;
    std::shared_ptr<const HeldPicture> shown_;
    QRect area_;
    bool mapped_ = false;
};

// The memory one picture is handed over in: a file of its own in memory, known to no
// other process and named by no id, which the server maps from the descriptor it is sent.
// Nothing of it outlives the program and the server's attachment, however the program ends.
struct Segment {
    int fd = -1;
    void* memory = MAP_FAILED;
    std::size_t bytes = 0;
    explicit Segment(std::size_t size)
        : fd(memfd_create("quadrello-picture", MFD_CLOEXEC)), bytes(size) {
        if (fd < 0) return;
        if (ftruncate(fd, off_t(bytes)) == 0)
            memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    ~Segment() {
        if (memory != MAP_FAILED) munmap(memory, bytes);
        if (fd >= 0) close(fd);
    }
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
    [[nodiscard]] bool ok() const { return fd >= 0 && memory != MAP_FAILED; }
    // Attaches the memory to the server as `seg`, read only; false when it refused. xcb
    // sends and closes a descriptor of its own.
    [[nodiscard]] bool attach(const Connection& x, xcb_shm_seg_t seg) const {
        const int handed = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (handed < 0) return false;
        return !x.failed(xcb_shm_attach_fd_checked(x.c, seg, handed, 1));
    }
};

QImage ServerPicture::pixels() const {
    // Into memory of the program's own, in one copy of the server's, which the picture
    // then keeps (unmapped with it).
    const Connection& x = *connection_;
    const std::size_t line = std::size_t(size_.width()) * 4;
    auto segment = std::make_unique<Segment>(line * std::size_t(size_.height()));
    if (!segment->ok()) return {};
    const xcb_shm_seg_t seg = xcb_generate_id(x.c);
    const int handed = fcntl(segment->fd, F_DUPFD_CLOEXEC, 0);
    if (handed < 0 || x.failed(xcb_shm_attach_fd_checked(x.c, seg, handed, 0))) return {};
    xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
        x.c,
        xcb_shm_get_image(x.c, pixmap_, 0, 0, std::uint16_t(size_.width()),
                          std::uint16_t(size_.height()), ~0U, XCB_IMAGE_FORMAT_Z_PIXMAP, seg, 0),
        nullptr);
    const bool read = reply != nullptr;
    std::free(reply);
    xcb_shm_detach(x.c, seg);
    x.sync();
    if (!read) return {};
    Segment* memory = segment.release();
    return QImage(
        static_cast<uchar*>(memory->memory), size_.width(), size_.height(), qsizetype(line),
        QImage::Format_RGB32, [](void* m) { delete static_cast<Segment*>(m); }, memory);
}

class ServerPictures final : public ScreenPictures {
public:
    explicit ServerPictures(std::shared_ptr<const Connection> connection)
        : connection_(std::move(connection)) {}

    std::shared_ptr<const HeldPicture> hold(const QImage& image) override {
        if (image.isNull() || image.hasAlphaChannel()) return nullptr;
        if (image.width() > LargestPixmap || image.height() > LargestPixmap) return nullptr;
        const QImage rgb = image.format() == QImage::Format_RGB32
                               ? image
                               : image.convertToFormat(QImage::Format_RGB32);
        const int w = rgb.width(), h = rgb.height();
        const std::size_t line = std::size_t(w) * 4;
        Segment segment(line * std::size_t(h));
        if (!segment.ok()) return nullptr;
        auto* to = static_cast<uchar*>(segment.memory);
        if (std::size_t(rgb.bytesPerLine()) == line) {
            std::memcpy(to, rgb.constBits(), line * std::size_t(h));
        } else {
            for (int y = 0; y < h; ++y)
                std::memcpy(to + line * std::size_t(y), rgb.constScanLine(y), line);
        }

        const Connection& x = *connection_;
        const xcb_shm_seg_t seg = xcb_generate_id(x.c);
        if (!segment.attach(x, seg)) return nullptr;
        const xcb_pixmap_t pixmap = xcb_generate_id(x.c);
        const bool made = !x.failed(xcb_create_pixmap_checked(x.c, Depth, pixmap, x.root,
                                                              std::uint16_t(w), std::uint16_t(h)));
        const bool copied = made && !x.failed(xcb_shm_put_image_checked(
                                        x.c, pixmap, x.gc, std::uint16_t(w), std::uint16_t(h), 0, 0,
                                        std::uint16_t(w), std::uint16_t(h), 0, 0, Depth,
                                        XCB_IMAGE_FORMAT_Z_PIXMAP, 0, seg, 0));
        xcb_shm_detach(x.c, seg);
        if (!copied) {
            if (made) xcb_free_pixmap(x.c, pixmap);
            x.sync();
            return nullptr;
        }
        x.sync(); // detached before the memory goes
        return std::make_shared<ServerPicture>(connection_, pixmap, QSize(w, h));
    }

    std::unique_ptr<PictureWindow> windowIn(quintptr parent) override {
        const Connection& x = *connection_;
        const auto window = xcb_window_t(parent);
        // The window's pixels must be the pictures' own: its depth, and a visual with the
        // same layout as the one the pictures were checked against.
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, window), nullptr);
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, window), nullptr);
        const bool fits =
            geometry && attributes && geometry->depth == Depth && attributes->visual == x.visual;
        std::free(geometry);
        std::free(attributes);
        if (!fits) return nullptr;
        const xcb_window_t child = xcb_generate_id(x.c);
        // No background until a picture is shown, no events: clicks and keys go through
        // to the program's window.
        const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE};
        if (x.failed(xcb_create_window_checked(x.c, Depth, child, window, 0, 0, 1, 1, 0,
                                               XCB_WINDOW_CLASS_INPUT_OUTPUT, x.visual,
                                               XCB_CW_BACK_PIXMAP, values)))
            return nullptr;
        return std::make_unique<ServerWindow>(connection_, child);
    }

private:
    std::shared_ptr<const Connection> connection_;
};

// The depth-24 TrueColor visual whose pixels are QImage::Format_RGB32's, or 0.
xcb_visualid_t rgb32Visual(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return 0;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == Depth) thirtyTwoBits = f.data->bits_per_pixel == 32;
    if (!thirtyTwoBits) return 0;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != Depth) continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            const xcb_visualtype_t& t = *v.data;
            if (t._class == XCB_VISUAL_CLASS_TRUE_COLOR && t.red_mask == 0xff0000 &&
                t.green_mask == 0xff00 && t.blue_mask == 0xff)
                return t.visual_id;
        }
    }
    return 0;
}

// Whether pictures can be handed to the server by descriptor: a local connection (a
// descriptor crosses no network), MIT-SHM 1.2 or later, and the user's leave
// (QT_X11_NO_MITSHM, which turns shared memory off for Qt too, turns it off here).
bool handsDescriptors(const Connection& x) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(x.c), reinterpret_cast<sockaddr*>(&address), &length) !=
            0 ||
        address.ss_family != AF_UNIX)
        return false;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(x.c, &xcb_shm_id);
    if (!shm || !shm->present) return false;
    xcb_shm_query_version_reply_t* version =
        xcb_shm_query_version_reply(x.c, xcb_shm_query_version(x.c), nullptr);
    const bool fds = version && (version->major_version > 1 ||
                                 (version->major_version == 1 && version->minor_version >= 2));
    std::free(version);
    return fds;
}

// A one-pixel picture handed over and back: a server that says it takes descriptors and
// then cannot map them (its own rules, a sandbox between) is not given the show's.
bool takesPictures(const Connection& x) {
    const Segment segment(4);
    if (!segment.ok()) return false;
    *static_cast<std::uint32_t*>(segment.memory) = 0x00123456;
    const xcb_shm_seg_t seg = xcb_generate_id(x.c);
    if (!segment.attach(x, seg)) return false;
    const xcb_pixmap_t pixmap = xcb_generate_id(x.c);
    xcb_create_pixmap(x.c, Depth, pixmap, x.root, 1, 1);
    xcb_shm_put_image(x.c, pixmap, x.gc, 1, 1, 0, 0, 1, 1, 0, 0, Depth, XCB_IMAGE_FORMAT_Z_PIXMAP,
                      0, seg, 0);
    xcb_shm_detach(x.c, seg);
    xcb_get_image_reply_t* back = xcb_get_image_reply(
        x.c, xcb_get_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0, 1, 1, ~0U), nullptr);
    std::uint32_t pixel = 0;
    if (back && xcb_get_image_data_length(back) >= 4)
        std::memcpy(&pixel, xcb_get_image_data(back), sizeof pixel);
    const bool same = (pixel & 0xffffff) == 0x123456;
    std::free(back);
    xcb_free_pixmap(x.c, pixmap);
    x.sync();
    return same;
}

} // namespace

std::unique_ptr<ScreenPictures> connectServerPictures() {
    if (qEnvironmentVariableIsSet("QT_X11_NO_MITSHM")) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return nullptr;
    Display* display = x11->display();
    auto connection = std::make_shared<Connection>();
    int screenNumber = 0;
    connection->c = xcb_connect(DisplayString(display), &screenNumber);
    xcb_connection_t* c = connection->c;
    if (xcb_connection_has_error(c)) return nullptr;
    if (!handsDescriptors(*connection)) return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int k = 0; k < screenNumber && screens.rem; ++k)
        xcb_screen_next(&screens);
    if (!screens.rem) return nullptr;
    connection->root = screens.data->root;
    connection->visual = rgb32Visual(setup, screens.data);
    if (!connection->visual) return nullptr;
    // One graphics context serves every pixmap of the depth.
    const xcb_pixmap_t scratch = xcb_generate_id(c);
    xcb_create_pixmap(c, Depth, scratch, connection->root, 1, 1);
    connection->gc = xcb_generate_id(c);
    if (connection->failed(xcb_create_gc_checked(c, connection->gc, scratch, 0, nullptr)))
        return nullptr;
    xcb_free_pixmap(c, scratch);
    if (!takesPictures(*connection)) return nullptr;
    return std::make_unique<ServerPictures>(std::move(connection));
}

} // namespace rt
