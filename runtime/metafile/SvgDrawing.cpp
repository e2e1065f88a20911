// An SVG document drawn into an image by librsvg (clip paths, text through Pango), its
// numbers first pulled within reach of the frame.

// Before Qt, whose keywords (signals, slots) GLib's headers use as names.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include "SvgDrawing.h"

#include <QRegularExpression>
#include <QtMath>

#include <algorithm>
#include <memory>

namespace rt::mf {

// The converter writes coordinates as the file gives them: a hostile file can put a path
// millions of pixels away, where drawing takes minutes (and cairo's fixed-point numbers
// overflow). Numbers in the geometry are
// pulled in to `limit` (nothing that far outside the frame can be seen) and the linear part
// of transforms to `MaxScale`; numbers that are not numbers become 0.
QByteArray boundedSvg(const QByteArray& svg, double limit) {
    constexpr double MaxScale = 16;
    static const QRegularExpression attribute(QStringLiteral(
        R"re((\s(d|x|y|width|height|cx|cy|rx|ry|r|stroke-width|font-size|transform)=")([^"]*)")re"));
    static const QRegularExpression number(
        QStringLiteral(R"re([-+]?(?:(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?|nan|inf))re"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(svg);
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    auto attributes = attribute.globalMatch(text);
    while (attributes.hasNext()) {
        const QRegularExpressionMatch a = attributes.next();
        const QString value = a.captured(3);
        const bool matrix = a.captured(2) == QLatin1String("transform") &&
                            value.trimmed().startsWith(QLatin1String("matrix"));
        QString bounded;
        qsizetype from = 0;
        int index = 0;
        auto numbers = number.globalMatch(value);
        while (numbers.hasNext()) {
            const QRegularExpressionMatch n = numbers.next();
            bounded += QStringView(value).mid(from, n.capturedStart() - from);
            const double most = matrix && index < 4 ? MaxScale : limit;
            const QString token = n.captured();
            const double v =
                token.contains(QLatin1Char('n'), Qt::CaseInsensitive) ? qQNaN() : token.toDouble();
            if (!std::isfinite(v))
                bounded += QLatin1Char('0');
            else if (std::abs(v) > most)
                bounded += QString::number(v < 0 ? -most : most, 'f', 4);
            else
                bounded += token;
            from = n.capturedEnd();
            ++index;
        }
        bounded += QStringView(value).mid(from);
        out += QStringView(text).mid(copied, a.capturedStart(3) - copied);
        out += bounded;
        copied = a.capturedEnd(3);
    }
    out += QStringView(text).mid(copied);
    return out.toUtf8();
}

Result<QImage> renderSvg(const QByteArray& svg, QSize natural, QSize size) {
    const double limit = 8.0 * std::max(natural.width(), natural.height());
    const QByteArray bounded = boundedSvg(svg, limit);
    GError* error = nullptr;
    const std::unique_ptr<RsvgHandle, decltype(&g_object_unref)> handle(
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(bounded.constData()),
                                  gsize(bounded.size()), &error),
        &g_object_unref);
    g_clear_error(&error);
    if (!handle) return refusedPicture(QStringLiteral("the metafile could not be drawn"));
    Result<QImage> image = blankImage(size);
    if (!image.ok()) return image;
    QImage out = std::move(image).value(); // premultiplied ARGB, as cairo's ARGB32
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_for_data(out.bits(), CAIRO_FORMAT_ARGB32, out.width(),
                                            out.height(), int(out.bytesPerLine())),
        &cairo_surface_destroy);
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()),
                                                                &cairo_destroy);
    // The document's frame stretched over the image.
    cairo_scale(cr.get(), double(size.width()) / natural.width(),
                double(size.height()) / natural.height());
    const RsvgRectangle frame{0, 0, double(natural.width()), double(natural.height())};
    const bool drawn = rsvg_handle_render_document(handle.get(), cr.get(), &frame, &error);
    g_clear_error(&error);
    cairo_surface_flush(surface.get());
    if (!drawn || cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return refusedPicture(QStringLiteral("the metafile could not be drawn"));
    return out;
}

} // namespace rt::mf
