// The player's shape and region callbacks.

#include "WmfDevice.h"

#include <QRegion>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace rt::wmf {

using namespace mf;

namespace {

// A rectangle drawn with an inside-frame pen keeps the pen within it.
QRectF insideFrame(const wmfDC* dc, QRectF r) {
    if (dc->pen && WMF_PEN_STYLE(dc->pen) == PS_INSIDEFRAME) {
        const double w = std::isfinite(dc->pen->width) ? dc->pen->width / 2 : 0;
        const double h = std::isfinite(dc->pen->height) ? dc->pen->height / 2 : 0;
        if (r.width() > 2 * w && r.height() > 2 * h) r.adjust(w, h, -w, -h);
    }
    return r;
}

Qt::FillRule fillRule(const wmfDC* dc) {
    return dc->polyfillmode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
}

QPolygonF polygon(const wmfD_Coord* pts, unsigned count) {
    QPolygonF poly;
    if (!pts) return poly;
    poly.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        poly << point(pts[i]);
    return poly;
}

// Region rectangles in image pixels; `count` of them (the entry after them is the extent).
QRegion imageRegion(const Device& d, const wmfPolyRectangle_t* r) {
    QRegion region;
    if (!r->TL || !r->BR) return region;
    constexpr unsigned MaxRects = 20000; // beyond this, the extent stands for the region
    const auto toPixels = [&](const wmfD_Coord& a, const wmfD_Coord& b) {
        const QRectF f = d.toImage.mapRect(box(a, b));
        if (!finite(f)) return QRect();
        const QRectF bounded = f & QRectF(-1e6, -1e6, 2e6, 2e6);
        return QRect(
            QPoint(int(std::lround(bounded.left())), int(std::lround(bounded.top()))),
            QPoint(int(std::lround(bounded.right())) - 1, int(std::lround(bounded.bottom())) - 1));
    };
    if (r->count > MaxRects) return QRegion(toPixels(r->TL[r->count], r->BR[r->count]));
    QList<QRect> rects;
    rects.reserve(r->count);
    for (unsigned i = 0; i < r->count; ++i) {
        const QRect rect = toPixels(r->TL[i], r->BR[i]);
        if (!rect.isEmpty()) rects << rect;
    }
    for (const QRect& rect : rects)
        region += rect;
    return region;
}

} // namespace

// --- Shapes -----------------------------------------------------------------------------

void devBegin(wmfAPI* api) {
    draw(api, [](Device& d) {
        d.painter->setClipping(false);
        d.ended = false;
    });
}
void devEnd(wmfAPI* api) {
    draw(api, [](Device& d) { d.ended = true; });
}

void drawPixel(wmfAPI* api, wmfDrawPixel_t* px) {
    draw(api, [&](Device& d) {
        const QPointF at = point(px->pt);
        const QSizeF one(std::max(px->pixel_width, 1.0 / d.scale.width()),
                         std::max(px->pixel_height, 1.0 / d.scale.height()));
        const QRectF r(at, one);
        if (finite(r)) d.painter->fillRect(r, colour(px->color));
    });
}

// Windows arcs run counterclockwise from the ray through the record's start point to the
// ray through its end point. The player hands them over relative to the centre, under each
// other's names: its `end` is the record's start. The angles are converted to the
// ellipse's own parameter for Qt.
enum class ArcKind { Arc, Chord, Pie };
void drawArc(wmfAPI* api, wmfDrawArc_t* a, ArcKind kind) {
    draw(api, [&](Device& d) {
        const QRectF r = insideFrame(a->dc, box(a->TL, a->BR));
        if (!finite(r) || r.width() <= 0 || r.height() <= 0) return;
        const double rx = r.width() / 2, ry = r.height() / 2;
        const auto angle = [&](const wmfD_Coord& v) {
            return qRadiansToDegrees(std::atan2(-v.y / ry, v.x / rx));
        };
        const double start = angle(a->end);
        double span = angle(a->start) - start;
        if (!std::isfinite(span)) return;
        if (span <= 0) span += 360;
        QPainterPath path;
        if (kind == ArcKind::Pie) {
            path.moveTo(r.center());
            path.arcTo(r, start, span);
            path.closeSubpath();
        } else {
            path.arcMoveTo(r, start);
            path.arcTo(r, start, span);
            if (kind == ArcKind::Chord) path.closeSubpath();
        }
        paint(d, a->dc, path, kind != ArcKind::Arc, true, kind != ArcKind::Arc);
    });
}
void drawPie(wmfAPI* api, wmfDrawArc_t* a) {
    drawArc(api, a, ArcKind::Pie);
}
void drawChord(wmfAPI* api, wmfDrawArc_t* a) {
    drawArc(api, a, ArcKind::Chord);
}
void drawArcOnly(wmfAPI* api, wmfDrawArc_t* a) {
    drawArc(api, a, ArcKind::Arc);
}

void drawEllipse(wmfAPI* api, wmfDrawArc_t* a) {
    draw(api, [&](Device& d) {
        QPainterPath path;
        path.addEllipse(insideFrame(a->dc, box(a->TL, a->BR)));
        paint(d, a->dc, path, true, true);
    });
}

void drawLine(wmfAPI* api, wmfDrawLine_t* l) {
    draw(api, [&](Device& d) {
        QPainterPath path(point(l->from));
        path.lineTo(point(l->to));
        paint(d, l->dc, path, false, true, false);
    });
}

void polyLine(wmfAPI* api, wmfPolyLine_t* pl) {
    draw(api, [&](Device& d) {
        const QPolygonF poly = polygon(pl->pt, pl->count);
        if (poly.size() < 2) return;
        QPainterPath path;
        path.addPolygon(poly);
        paint(d, pl->dc, path, false, true, false);
    });
}

void drawPolygon(wmfAPI* api, wmfPolyLine_t* pl) {
    draw(api, [&](Device& d) {
        const QPolygonF poly = polygon(pl->pt, pl->count);
        if (poly.size() < 2) return;
        QPainterPath path;
        path.setFillRule(fillRule(pl->dc));
        path.addPolygon(poly);
        path.closeSubpath();
        paint(d, pl->dc, path, true, true);
    });
}

void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* pp) {
    draw(api, [&](Device& d) {
        if (!pp->pt || !pp->count) return;
        QPainterPath path;
        path.setFillRule(fillRule(pp->dc));
        for (unsigned i = 0; i < pp->npoly; ++i) {
            const QPolygonF poly = polygon(pp->pt[i], pp->count[i]);
            if (poly.size() < 2) continue;
            path.addPolygon(poly);
            path.closeSubpath();
        }
        paint(d, pp->dc, path, true, true);
    });
}

void drawRectangle(wmfAPI* api, wmfDrawRectangle_t* r) {
    draw(api, [&](Device& d) {
        const QRectF rect = insideFrame(r->dc, box(r->TL, r->BR));
        QPainterPath path;
        if (r->width > 0 && r->height > 0)
            path.addRoundedRect(rect, std::min<double>(r->width / 2, rect.width() / 2),
                                std::min<double>(r->height / 2, rect.height() / 2));
        else
            path.addRect(rect);
        paint(d, r->dc, path, true, true);
    });
}

// Pattern blocks with no bitmap of their own: the brush, black, white or inverted pixels.
void ropDraw(wmfAPI* api, wmfROP_Draw_t* r) {
    draw(api, [&](Device& d) {
        const QRectF rect = box(r->TL, r->BR);
        if (!finite(rect) || rect.isEmpty()) return;
        QPainter& p = *d.painter;
        QPainterPath path;
        path.addRect(rect);
        switch (r->ROP) {
        case PATCOPY:
            paint(d, r->dc, path, true, false);
            break;
        case BLACKNESS:
            p.fillRect(rect, Qt::black);
            break;
        case WHITENESS:
            p.fillRect(rect, Qt::white);
            break;
        case DSTINVERT:
        case PATINVERT: {
            p.save();
            p.setRenderHint(QPainter::Antialiasing, false);
            bool hatched = false;
            if (r->ROP == DSTINVERT) {
                p.setCompositionMode(QPainter::RasterOp_NotDestination);
                p.fillRect(rect, Qt::black);
            } else {
                p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                p.fillPath(path, brushOf(d, r->dc, &hatched));
            }
            p.restore();
            break;
        }
        default:
            break; // operations that leave the pixels as they are, or need a source
        }
    });
}

void regionClip(wmfAPI* api, wmfPolyRectangle_t* r) {
    draw(api, [&](Device& d) {
        QPainter& p = *d.painter;
        if (r->count == 0) {
            p.setClipping(false);
            return;
        }
        const QRegion region = imageRegion(d, r);
        p.resetTransform();
        p.setClipRegion(region);
        p.setTransform(d.toImage);
    });
}

void regionPaint(wmfAPI* api, wmfPolyRectangle_t* r) {
    draw(api, [&](Device& d) {
        QPainterPath path;
        path.addRegion(imageRegion(d, r));
        paint(d, r->dc, d.toImage.inverted().map(path), true, false);
    });
}

// A frame inside the region's edge, `width` by `height` device units thick.
void regionFrame(wmfAPI* api, wmfPolyRectangle_t* r) {
    draw(api, [&](Device& d) {
        const QRegion region = imageRegion(d, r);
        const int w = std::clamp(int(std::lround(r->width * d.scale.width())), 1, 10000);
        const int h = std::clamp(int(std::lround(r->height * d.scale.height())), 1, 10000);
        const QRegion inner = region & region.translated(w, 0) & region.translated(-w, 0) &
                              region.translated(0, h) & region.translated(0, -h);
        QPainterPath path;
        path.addRegion(region - inner);
        paint(d, r->dc, d.toImage.inverted().map(path), true, false);
    });
}

} // namespace rt::wmf
