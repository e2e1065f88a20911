#pragma once
// The drawing device libwmf plays into: callbacks that draw with QPainter in the player's
// device units, mapped onto the image by the painter's transform.

#include "MetafileCommon.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

// After Qt: libwmf defines short macros (U16, S32, ...).
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>

namespace rt::wmf {

struct Device {
    QPainter* painter = nullptr;
    QTransform toImage;
    QSizeF scale{1, 1};       // image pixels per device unit
    double maxPenWidth = 1e6; // device units
    QRectF reach;             // image pixels: shapes are clipped to this
    std::vector<std::unique_ptr<QImage>> bitmaps;
    std::unordered_set<const void*> liveBitmaps;
    qint64 bitmapPixels = 0;
    bool ended = false;
};

// All the bitmaps of one metafile together are bounded too.
inline constexpr qint64 MaxAllBitmapPixels = qint64(1) << 26;

inline Device* deviceOf(wmfAPI* api) {
    return static_cast<Device*>(api->device_data);
}

// Runs a drawing callback: never without a painter, and no exception back into C.
template <class F> void draw(wmfAPI* api, F&& body) {
    Device* d = deviceOf(api);
    if (!d || !d->painter) return;
    try {
        body(*d);
    } catch (...) {
        api->err = wmf_E_DeviceError;
    }
}

inline QColor colour(const wmfRGB& c) {
    return QColor(c.r, c.g, c.b);
}
inline QPointF point(const wmfD_Coord& c) {
    return QPointF(c.x, c.y);
}
inline bool finite(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}
inline bool finite(const QPointF& p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}
inline QRectF box(const wmfD_Coord& a, const wmfD_Coord& b) {
    return QRectF(point(a), point(b)).normalized();
}

inline const QImage* bitmapOf(const Device& d, const void* data) {
    return d.liveBitmaps.count(data) ? static_cast<const QImage*>(data) : nullptr;
}

// Pens, brushes and raster operations (WmfPaint.cpp).
[[nodiscard]] QColor ropColour(int rop, const QColor& c);
[[nodiscard]] QBrush brushOf(const Device& d, const wmfDC* dc, bool* hatched);
// Fills and outlines a shape with the DC's brush and pen; `closed`: the outline closes.
void paint(Device& d, const wmfDC* dc, const QPainterPath& shape, bool fill, bool stroke,
           bool closed = true);

// The player's callbacks: shapes and regions (WmfShapes.cpp), bitmaps (WmfBitmaps.cpp),
// text (WmfText.cpp).
void devBegin(wmfAPI* api);
void devEnd(wmfAPI* api);
void drawPixel(wmfAPI* api, wmfDrawPixel_t* px);
void drawPie(wmfAPI* api, wmfDrawArc_t* a);
void drawChord(wmfAPI* api, wmfDrawArc_t* a);
void drawArcOnly(wmfAPI* api, wmfDrawArc_t* a);
void drawEllipse(wmfAPI* api, wmfDrawArc_t* a);
void drawLine(wmfAPI* api, wmfDrawLine_t* l);
void polyLine(wmfAPI* api, wmfPolyLine_t* pl);
void drawPolygon(wmfAPI* api, wmfPolyLine_t* pl);
void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* pp);
void drawRectangle(wmfAPI* api, wmfDrawRectangle_t* r);
void ropDraw(wmfAPI* api, wmfROP_Draw_t* r);
void regionClip(wmfAPI* api, wmfPolyRectangle_t* r);
void regionPaint(wmfAPI* api, wmfPolyRectangle_t* r);
void regionFrame(wmfAPI* api, wmfPolyRectangle_t* r);
void bmpRead(wmfAPI* api, wmfBMP_Read_t* r);
void bmpFree(wmfAPI* api, wmfBMP* bmp);
void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* b);
void mapFont(wmfAPI* api, wmfFont* f);
float stringWidth(wmfAPI* api, wmfFont* f, char* str);
void drawText(wmfAPI* api, wmfDrawText_t* t);

} // namespace rt::wmf
