// Pens, brushes, raster operations, and shapes clipped to reach before Qt fills them.

#include "WmfDevice.h"

#include <QList>
#include <QPolygonF>

#include <algorithm>
#include <array>

namespace rt::wmf {

using namespace mf;

// Raster operations on the pen and brush colours.
QColor ropColour(int rop, const QColor& c) {
    switch (rop) {
    case R2_BLACK:
        return Qt::black;
    case R2_WHITE:
        return Qt::white;
    case R2_NOTCOPYPEN:
        return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
    default:
        return c;
    }
}
// And on the pixels below.
bool applyRop(QPainter& p, int rop) {
    using M = QPainter::CompositionMode;
    M mode = M::CompositionMode_SourceOver;
    switch (rop) {
    case R2_XORPEN:
        mode = M::RasterOp_SourceXorDestination;
        break;
    case R2_NOTXORPEN:
        mode = M::RasterOp_NotSourceXorDestination;
        break;
    case R2_NOT:
        mode = M::RasterOp_NotDestination;
        break;
    case R2_MASKPEN:
        mode = M::RasterOp_SourceAndDestination;
        break;
    case R2_MERGEPEN:
        mode = M::RasterOp_SourceOrDestination;
        break;
    case R2_MASKPENNOT:
        mode = M::RasterOp_SourceAndNotDestination;
        break;
    case R2_MASKNOTPEN:
        mode = M::RasterOp_NotSourceAndDestination;
        break;
    case R2_MERGENOTPEN:
        mode = M::RasterOp_NotSourceOrDestination;
        break;
    case R2_MERGEPENNOT:
        mode = M::RasterOp_SourceOrNotDestination;
        break;
    case R2_NOTMASKPEN:
        mode = M::RasterOp_NotSourceOrNotDestination;
        break;
    case R2_NOTMERGEPEN:
        mode = M::RasterOp_NotSourceAndNotDestination;
        break;
    default:
        return false;
    }
    p.setCompositionMode(mode);
    p.setRenderHint(QPainter::Antialiasing, false); // raster operations work on whole pixels
    return true;
}

// The brush, or nothing. Hatches and patterns keep their size in image pixels.
QBrush brushOf(const Device& d, const wmfDC* dc, bool* hatched) {
    *hatched = false;
    const wmfBrush* b = dc->brush;
    if (!b) return Qt::NoBrush;
    const QColor c = ropColour(dc->ROPmode, colour(b->lbColor));
    const QTransform unscaled =
        QTransform::fromScale(1.0 / d.scale.width(), 1.0 / d.scale.height());
    switch (b->lbStyle) {
    case BS_NULL:
        return Qt::NoBrush;
    case BS_HATCHED: {
        static const std::array<Qt::BrushStyle, 6> hatches{Qt::HorPattern,   Qt::VerPattern,
                                                           Qt::FDiagPattern, Qt::BDiagPattern,
                                                           Qt::CrossPattern, Qt::DiagCrossPattern};
        QBrush brush(c, b->lbHatch < hatches.size() ? hatches[b->lbHatch] : Qt::DiagCrossPattern);
        brush.setTransform(unscaled);
        *hatched = true;
        return brush;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
        if (const QImage* image = bitmapOf(d, b->bmp.data)) {
            QBrush brush(*image);
            brush.setTransform(unscaled);
            return brush;
        }
        return QBrush(c);
    default:
        return QBrush(c);
    }
}

// The pen, or nothing. Pens thinner than an image pixel are drawn one pixel wide, as
// Windows draws them; only those are dashed (wider ones are solid there too).
std::optional<QPen> penOf(const Device& d, const wmfDC* dc, bool* dashed) {
    *dashed = false;
    const wmfPen* wp = dc->pen;
    if (!wp) return std::nullopt;
    const unsigned style = WMF_PEN_STYLE(wp);
    if (style == PS_NULL) return std::nullopt;
    QPen pen(ropColour(dc->ROPmode, colour(wp->lopnColor)));
    double width = wp->width;
    if (!std::isfinite(width) || width < 0) width = 0;
    const double pixels = width * (d.scale.width() + d.scale.height()) / 2;
    const bool thin = pixels < 1.5;
    if (thin) {
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    } else {
        pen.setWidthF(std::min(width, d.maxPenWidth));
    }
    switch (WMF_PEN_ENDCAP(wp)) {
    case PS_ENDCAP_SQUARE:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case PS_ENDCAP_FLAT:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (WMF_PEN_JOIN(wp)) {
    case PS_JOIN_BEVEL:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case PS_JOIN_MITER:
        pen.setJoinStyle(Qt::MiterJoin);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    if (thin) {
        QList<qreal> pattern;
        switch (style) {
        case PS_DASH:
            pattern = {18, 6};
            break;
        case PS_DOT:
            pattern = {3, 3};
            break;
        case PS_DASHDOT:
            pattern = {9, 6, 3, 6};
            break;
        case PS_DASHDOTDOT:
            pattern = {9, 3, 3, 3, 3, 3};
            break;
        case PS_ALTERNATE:
            pattern = {1, 1};
            break;
        default:
            break;
        }
        if (!pattern.isEmpty()) {
            pen.setDashPattern(pattern);
            pen.setCapStyle(Qt::FlatCap);
            *dashed = true;
        }
    }
    return pen;
}

// Polygons clipped to a rectangle, one edge at a time: what lies inside it is filled as
// before, and the new edges run along the rectangle.
namespace {

QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& r) {
    QPolygonF poly = polygon;
    for (int edge = 0; edge < 4 && !poly.isEmpty(); ++edge) {
        const auto inside = [&](const QPointF& p) {
            switch (edge) {
            case 0:
                return p.x() >= r.left();
            case 1:
                return p.x() <= r.right();
            case 2:
                return p.y() >= r.top();
            default:
                return p.y() <= r.bottom();
            }
        };
        const auto cross = [&](const QPointF& a, const QPointF& b) {
            const double t = edge < 2
                                 ? ((edge == 0 ? r.left() : r.right()) - a.x()) / (b.x() - a.x())
                                 : ((edge == 2 ? r.top() : r.bottom()) - a.y()) / (b.y() - a.y());
            return a + (b - a) * t;
        };
        QPolygonF out;
        for (qsizetype i = 0; i < poly.size(); ++i) {
            const QPointF& a = poly[i];
            const QPointF& b = poly[(i + 1) % poly.size()];
            if (inside(a)) {
                out << a;
                if (!inside(b)) out << cross(a, b);
            } else if (inside(b)) {
                out << cross(a, b);
            }
        }
        poly = out;
    }
    return poly;
}

// An open polyline clipped to a rectangle: the runs of it inside (Liang-Barsky per segment).
QList<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& r) {
    QList<QPolygonF> runs;
    QPolygonF run;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i], delta = line[i + 1] - line[i];
        double t0 = 0, t1 = 1;
        const auto keep = [&](double p, double q) {
            if (p == 0) return q >= 0;
            const double t = q / p;
            if (p < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
            return t0 <= t1;
        };
        if (keep(-delta.x(), a.x() - r.left()) && keep(delta.x(), r.right() - a.x()) &&
            keep(-delta.y(), a.y() - r.top()) && keep(delta.y(), r.bottom() - a.y())) {
            const QPointF from = a + delta * t0, to = a + delta * t1;
            if (run.isEmpty() || run.last() != from) {
                if (run.size() > 1) runs << run;
                run = QPolygonF{from};
            }
            run << to;
        }
    }
    if (run.size() > 1) runs << run;
    return runs;
}

// Qt's cost grows with the size of the coordinates (and far enough out it drops the shape):
// shapes reaching far beyond the image are clipped to a box around it first, in image pixels.
} // namespace

QPainterPath withinReach(const Device& d, const QPainterPath& path, bool closed) {
    if (d.reach.contains(d.toImage.mapRect(path.controlPointRect()))) return path;
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& poly : path.toSubpathPolygons(d.toImage)) {
        if (closed) {
            const QPolygonF clipped = clipPolygon(poly, d.reach);
            if (clipped.size() < 2) continue;
            out.addPolygon(clipped);
            out.closeSubpath();
        } else {
            for (const QPolygonF& run : clipPolyline(poly, d.reach))
                out.addPolygon(run);
        }
    }
    return d.toImage.inverted().map(out);
}

// Fills and outlines a shape with the DC's brush and pen, honouring the raster operation
// and, for hatches and dashes, the background mode. `closed`: the shape's outline closes.
void paint(Device& d, const wmfDC* dc, const QPainterPath& shape, bool fill, bool stroke,
           bool closed) {
    if (shape.isEmpty() || !finite(shape.controlPointRect())) return;
    const QPainterPath path = withinReach(d, shape, closed);
    if (path.isEmpty()) return;
    const int rop = dc->ROPmode;
    if (rop == R2_NOP) return;
    QPainter& p = *d.painter;
    p.save();
    applyRop(p, rop);
    const bool opaque = dc->bgmode == OPAQUE;
    const QColor background = colour(dc->bgcolor);
    bool special = false;
    if (fill) {
        const QBrush brush = brushOf(d, dc, &special);
        if (brush.style() != Qt::NoBrush) {
            if (special && opaque) p.fillPath(path, background);
            p.fillPath(path, brush);
        }
    }
    if (stroke) {
        if (const auto pen = penOf(d, dc, &special)) {
            if (special && opaque) {
                QPen under = *pen;
                under.setStyle(Qt::SolidLine);
                under.setColor(background);
                p.strokePath(path, under);
            }
            p.strokePath(path, *pen);
        }
    }
    p.restore();
}

} // namespace rt::wmf
