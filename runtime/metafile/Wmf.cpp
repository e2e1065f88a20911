// Windows metafiles: checked, then played by libwmf into our drawing device.

#include "Metafile.h"
#include "WmfDevice.h"
#include "WmfPlan.h"

#include <cmath>

namespace rt {

using namespace mf;

namespace wmf {
namespace {

void setUpDevice(wmfAPI* api) {
    auto* fr = static_cast<wmfFunctionReference*>(api->function_reference);
    fr->device_begin = devBegin;
    fr->device_end = devEnd;
    fr->draw_pixel = drawPixel;
    fr->draw_pie = drawPie;
    fr->draw_chord = drawChord;
    fr->draw_arc = drawArcOnly;
    fr->draw_ellipse = drawEllipse;
    fr->draw_line = drawLine;
    fr->poly_line = polyLine;
    fr->draw_polygon = drawPolygon;
    fr->draw_polypolygon = drawPolyPolygon;
    fr->draw_rectangle = drawRectangle;
    fr->rop_draw = ropDraw;
    fr->bmp_draw = bmpDraw;
    fr->bmp_read = bmpRead;
    fr->bmp_free = bmpFree;
    fr->draw_text = drawText;
    fr->region_frame = regionFrame;
    fr->region_paint = regionPaint;
    fr->region_clip = regionClip;
    // Flood fills depend on pixels already drawn on the target device; they are not drawn.
    // Per-DC data is not needed: every callback reads what it needs from the wmfDC.
    auto* fonts = static_cast<wmfFontData*>(wmf_malloc(api, sizeof(wmfFontData)));
    if (!fonts) return; // the allocator has set the error
    fonts->map = mapFont;
    fonts->stringwidth = stringWidth;
    fonts->user_data = nullptr;
    api->font_data = fonts;
}

// One use of the player on one file, freed whatever happens.
class Player {
public:
    Player(QByteArray bytes, Device* device) : bytes_(std::move(bytes)) {
        wmfAPI_Options options{};
        options.function = setUpDevice;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        if (wmf_lite_create(&api_, flags, &options) != wmf_E_None) {
            api_ = nullptr;
            return;
        }
        api_->device_data = device;
        if (wmf_mem_open(api_, reinterpret_cast<unsigned char*>(bytes_.data()),
                         long(bytes_.size())) != wmf_E_None) {
            wmf_lite_destroy(api_);
            api_ = nullptr;
        }
    }
    ~Player() {
        if (!api_) return;
        wmf_mem_close(api_);
        wmf_lite_destroy(api_);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    [[nodiscard]] bool ok() const { return api_ != nullptr; }
    // The bounding box of everything drawn, in device units.
    [[nodiscard]] std::optional<QRectF> scan() {
        wmfD_Rect bbox{};
        if (wmf_scan(api_, 0, &bbox) != wmf_E_None) return std::nullopt;
        const QRectF r(QPointF(bbox.TL.x, bbox.TL.y), QPointF(bbox.BR.x, bbox.BR.y));
        if (!finite(r)) return std::nullopt;
        return r.normalized();
    }
    [[nodiscard]] bool play() {
        wmfD_Rect bbox{};
        return wmf_play(api_, 0, &bbox) == wmf_E_None;
    }

private:
    QByteArray bytes_;
    wmfAPI* api_ = nullptr;
};

// A frame with some area, in device units: the file's, or the drawing's bounding box.
std::optional<QRectF> usableFrame(const CheckedWmf& checked, const std::optional<QRectF>& drawn) {
    std::optional<QRectF> frame = deviceFrame(checked);
    if (!frame || !finite(*frame) || frame->width() <= 0 || frame->height() <= 0) frame = drawn;
    if (!frame || !finite(*frame) || frame->width() <= 0 || frame->height() <= 0)
        return std::nullopt;
    return frame;
}

} // namespace
} // namespace wmf

Result<QSize> wmfSize(const QByteArray& bytes) {
    if (const auto placeable = placeableWmfSize(bytes)) return *placeable;
    // Without it: the window the records set, or else the bounding box of the drawing, in
    // the units of the mapping mode (1440 to the inch when the mode has no unit of its own).
    const Result<wmf::CheckedWmf> checked = wmf::checkWmf(bytes);
    if (!checked.ok()) return checked.error();
    const wmf::Mapping& m = checked.value().mapping;
    const double perPixel = m.unitsPerInch() / 96.0;
    if (const auto frame = wmf::logicalFrame(checked.value()))
        return checkedSize(std::abs(frame->width()) / perPixel,
                           std::abs(frame->height()) / perPixel);
    wmf::Device device;
    wmf::Player player(wmf::bytesForPlayer(bytes, checked.value()), &device);
    if (!player.ok()) return refusedPicture(QStringLiteral("the metafile could not be opened"));
    const std::optional<QRectF> drawn = player.scan();
    const std::optional<QPointF> unit = m.unit();
    if (!drawn || !unit)
        return refusedPicture(QStringLiteral("the metafile's records could not be read"));
    return checkedSize(drawn->width() / std::abs(unit->x()) / perPixel,
                       drawn->height() / std::abs(unit->y()) / perPixel);
}

Result<QImage> renderWmf(const QByteArray& bytes, QSize size) {
    const Result<wmf::CheckedWmf> checked = wmf::checkWmf(bytes);
    if (!checked.ok()) return checked.error();
    Result<QImage> blank = blankImage(size);
    if (!blank.ok()) return blank;

    wmf::Device device;
    wmf::Player player(wmf::bytesForPlayer(bytes, checked.value()), &device);
    if (!player.ok()) return refusedPicture(QStringLiteral("the metafile could not be opened"));
    const std::optional<QRectF> drawn = player.scan();
    if (!drawn) return refusedPicture(QStringLiteral("the metafile's records could not be read"));
    const std::optional<QRectF> frame = wmf::usableFrame(checked.value(), drawn);
    if (!frame) return refusedPicture(QStringLiteral("the metafile draws nothing"));

    QImage image = std::move(blank).value();
    device.scale = QSizeF(size.width() / frame->width(), size.height() / frame->height());
    device.toImage =
        QTransform(device.scale.width(), 0, 0, device.scale.height(),
                   -frame->left() * device.scale.width(), -frame->top() * device.scale.height());
    const double diagonal = std::hypot(size.width(), size.height());
    device.maxPenWidth = 2 * diagonal / std::min(device.scale.width(), device.scale.height());
    device.reach = QRectF(QPointF(0, 0), QSizeF(size))
                       .adjusted(-3 * diagonal, -3 * diagonal, 3 * diagonal, 3 * diagonal);
    bool played = false;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setTransform(device.toImage);
        device.painter = &painter;
        played = player.play();
        device.painter = nullptr;
    }
    if (!played || !device.ended)
        return refusedPicture(QStringLiteral("the metafile's records could not be drawn"));
    return image;
}

} // namespace rt
