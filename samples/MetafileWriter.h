#pragma once
// Writes small Windows metafiles from simple shapes: placeable WMF and EMF. Used to make
// the sample pictures and the metafiles the tests read.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace samples {

namespace detail {
inline void put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
inline void put32(QByteArray& b, std::uint32_t v) {
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}
inline std::uint32_t colorRef(const QColor& c) {
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}
// The bytes of a row of a 24-bit device-independent bitmap: whole 32-bit words.
inline int dibStride(int width) {
    return (width * 3 + 3) / 4 * 4;
}
// A 24-bit device-independent bitmap of an RGB888 picture: its 40-byte header, then the
// rows, bottom row first, each pixel blue, green, red.
inline void putDib(QByteArray& b, const QImage& rgb) {
    const int stride = dibStride(rgb.width());
    put32(b, 40);
    put32(b, std::uint32_t(rgb.width()));
    put32(b, std::uint32_t(rgb.height()));
    put16(b, 1);
    put16(b, 24);
    for (const std::uint32_t v : {0u, std::uint32_t(stride * rgb.height()), 0u, 0u, 0u, 0u})
        put32(b, v);
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const uchar* line = rgb.constScanLine(y);
        QByteArray row(stride, '\0');
        for (int x = 0; x < rgb.width(); ++x) {
            row[3 * x] = char(line[3 * x + 2]);
            row[3 * x + 1] = char(line[3 * x + 1]);
            row[3 * x + 2] = char(line[3 * x]);
        }
        b.append(row);
    }
}
} // namespace detail

// A placeable WMF: a window of `width` x `height` logical units, `unitsPerInch` of them to
// the inch. Shapes are filled with the current brush and outlined with the current pen.
class WmfWriter {
public:
    // Brush hatches, pen styles and polygon fill modes as the format numbers them.
    enum Hatch {
        Horizontal = 0,
        Vertical,
        ForwardDiagonal,
        BackwardDiagonal,
        Cross,
        DiagonalCross
    };
    enum PenStyle { Solid = 0, Dash, Dot, DashDot, DashDotDot, NoLine, InsideFrame };

    WmfWriter(int width, int height, int unitsPerInch = 1440)
        : width_(width), height_(height), inch_(unitsPerInch) {
        record(0x020B, {0, 0});            // SETWINDOWORG y, x
        record(0x020C, {height_, width_}); // SETWINDOWEXT y, x
    }
    // Replaces the brush (solid) and the pen (solid, `penWidth` units; 0 for none).
    void colours(const QColor& fill, const QColor& line, int penWidth = 1) {
        release(brush_);
        release(pen_);
        brush_ = createBrush(0, fill, 0);
        pen_ = createPen(penWidth > 0 ? Solid : NoLine, penWidth, line);
        select(brush_);
        select(pen_);
    }
    // Replaces the brush: solid, or hatched with `hatch` lines of the colour.
    void brush(const QColor& fill, int hatch = -1) {
        const int old = brush_;
        brush_ = createBrush(hatch < 0 ? 0 : 2, fill, std::max(hatch, 0));
        select(brush_);
        release(old);
    }
    void noBrush() {
        const int old = brush_;
        brush_ = createBrush(1, QColor(0, 0, 0), 0); // BS_NULL
        select(brush_);
        release(old);
    }
    // Replaces the pen.
    void pen(const QColor& line, int width, PenStyle style = Solid) {
        const int old = pen_;
        pen_ = createPen(style, width, line);
        select(pen_);
        release(old);
    }
    void backgroundMode(bool opaque) { record(0x0102, {opaque ? 2 : 1}); } // SETBKMODE
    void backgroundColour(const QColor& c) { colourRecord(0x0201, c); }    // SETBKCOLOR
    void polyFillMode(bool winding) { record(0x0106, {winding ? 2 : 1}); } // SETPOLYFILLMODE

    void rectangle(const QRect& r) { record(0x041B, {r.bottom(), r.right(), r.top(), r.left()}); }
    void ellipse(const QRect& r) { record(0x0418, {r.bottom(), r.right(), r.top(), r.left()}); }
    void roundRect(const QRect& r, const QSize& corner) {
        record(0x061C, {corner.height(), corner.width(), r.bottom(), r.right(), r.top(), r.left()});
    }
    // Arcs of the ellipse in `r`, counterclockwise from the ray through `start` to the ray
    // through `end`; a pie closes to the centre, a chord to itself.
    void arc(const QRect& r, const QPoint& start, const QPoint& end) {
        arcRecord(0x0817, r, start, end);
    }
    void pie(const QRect& r, const QPoint& start, const QPoint& end) {
        arcRecord(0x081A, r, start, end);
    }
    void chord(const QRect& r, const QPoint& start, const QPoint& end) {
        arcRecord(0x0830, r, start, end);
    }
    void line(const QPoint& from, const QPoint& to) {
        record(0x0214, {from.y(), from.x()}); // MOVETO
        record(0x0213, {to.y(), to.x()});     // LINETO
    }
    void polygon(const QVector<QPoint>& points) { poly(0x0324, points); }
    void polyline(const QVector<QPoint>& points) { poly(0x0325, points); }
    void polyPolygon(const QVector<QVector<QPoint>>& polygons) {
        QByteArray params;
        detail::put16(params, int(polygons.size()));
        for (const QVector<QPoint>& points : polygons)
            detail::put16(params, int(points.size()));
        for (const QVector<QPoint>& points : polygons)
            for (const QPoint& p : points) {
                detail::put16(params, p.x());
                detail::put16(params, p.y());
            }
        raw(0x0538, params);
    }
    // Text in a font `height` units tall (the character height), its baseline's left end
    // at `at`, turned `escapement` tenths of a degree counterclockwise.
    void text(const QPoint& at, const QByteArray& chars, int height, const QColor& colour,
              const QByteArray& face = "Arial", int escapement = 0) {
        QByteArray font;
        for (const int v : {-height, 0, escapement, escapement, 400, 0, 0, 0, 0})
            detail::put16(font, v); // weight 400, ANSI, default precision and quality
        QByteArray name = face.left(31);
        name.append('\0');
        if (name.size() % 2) name.append('\0');
        font.append(name);
        const int old = font_;
        font_ = create(0x02FB, font); // CREATEFONTINDIRECT
        select(font_);
        release(old);
        colourRecord(0x0209, colour); // SETTEXTCOLOR
        record(0x012E, {0x18});       // SETTEXTALIGN: left, baseline
        QByteArray params;
        detail::put16(params, int(chars.size()));
        params.append(chars);
        if (chars.size() % 2) params.append('\0');
        detail::put16(params, at.y());
        detail::put16(params, at.x());
        raw(0x0521, params); // TEXTOUT
    }
    // A picture stretched over `dest`, as a 24-bit device-independent bitmap.
    void bitmap(const QRect& dest, const QImage& image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        QByteArray params;
        detail::put32(params, 0x00CC0020); // SRCCOPY
        detail::put16(params, 0);          // colours are RGB
        for (const int v : {rgb.height(), rgb.width(), 0, 0, dest.height(), dest.width(),
                            dest.top(), dest.left()})
            detail::put16(params, v);
        detail::putDib(params, rgb);
        raw(0x0F43, params); // STRETCHDIB
    }
    // Appends a raw record: function number and parameter bytes (an even count).
    void raw(int function, const QByteArray& params) {
        detail::put32(body_, std::uint32_t(3 + params.size() / 2));
        detail::put16(body_, function);
        body_.append(params);
        maxRecord_ = std::max<std::uint32_t>(maxRecord_, std::uint32_t(3 + params.size() / 2));
    }

    [[nodiscard]] QByteArray bytes() const {
        // Placeable header, with its checksum over the first ten words.
        QByteArray placeable;
        detail::put32(placeable, 0x9AC6CDD7);
        detail::put16(placeable, 0);
        for (const int v : {0, 0, width_, height_})
            detail::put16(placeable, v);
        detail::put16(placeable, inch_);
        detail::put32(placeable, 0);
        int sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= quint8(placeable[i]) | quint8(placeable[i + 1]) << 8;
        detail::put16(placeable, sum);
        return placeable + bytesWithoutPlaceableHeader();
    }
    // The same metafile as it is kept in memory: without the placeable header, so
    // without a frame or units per inch of its own.
    [[nodiscard]] QByteArray bytesWithoutPlaceableHeader() const {
        QByteArray records = body_;
        detail::put32(records, 3); // EOF
        detail::put16(records, 0);
        QByteArray out;
        detail::put16(out, 1);      // in memory
        detail::put16(out, 9);      // header words
        detail::put16(out, 0x0300); // version
        detail::put32(out, std::uint32_t(9 + records.size() / 2));
        detail::put16(out, std::max(objects_, 2));
        detail::put32(out, maxRecord_);
        detail::put16(out, 0);
        out.append(records);
        return out;
    }

private:
    void record(int function, std::initializer_list<int> words) {
        QByteArray params;
        for (const int w : words)
            detail::put16(params, w);
        raw(function, params);
    }
    void colourRecord(int function, const QColor& c) {
        QByteArray params;
        detail::put32(params, detail::colorRef(c));
        raw(function, params);
    }
    void poly(int function, const QVector<QPoint>& points) {
        QByteArray params;
        detail::put16(params, int(points.size()));
        for (const QPoint& p : points) {
            detail::put16(params, p.x());
            detail::put16(params, p.y());
        }
        raw(function, params);
    }
    void arcRecord(int function, const QRect& r, const QPoint& start, const QPoint& end) {
        record(function,
               {end.y(), end.x(), start.y(), start.x(), r.bottom(), r.right(), r.top(), r.left()});
    }
    // Objects take the lowest free slot of the table, as the player assigns them.
    int create(int function, const QByteArray& params) {
        int slot = 0;
        while (slot < int(used_.size()) && used_[std::size_t(slot)])
            ++slot;
        if (slot == int(used_.size())) used_.push_back(false);
        used_[std::size_t(slot)] = true;
        objects_ = std::max(objects_, int(used_.size()));
        raw(function, params);
        return slot;
    }
    int createBrush(int style, const QColor& colour, int hatch) {
        QByteArray brush;
        detail::put16(brush, style);
        detail::put32(brush, detail::colorRef(colour));
        detail::put16(brush, hatch);
        return create(0x02FC, brush); // CREATEBRUSHINDIRECT
    }
    int createPen(int style, int width, const QColor& colour) {
        QByteArray pen;
        detail::put16(pen, style);
        detail::put16(pen, width);
        detail::put16(pen, 0);
        detail::put32(pen, detail::colorRef(colour));
        return create(0x02FA, pen); // CREATEPENINDIRECT
    }
    void select(int slot) { record(0x012D, {slot}); } // SELECTOBJECT
    void release(int slot) {
        if (slot < 0) return;
        record(0x01F0, {slot}); // DELETEOBJECT
        used_[std::size_t(slot)] = false;
    }

    int width_, height_, inch_;
    QByteArray body_;
    std::uint32_t maxRecord_ = 5;
    std::vector<bool> used_;
    int objects_ = 0;
    int brush_ = -1, pen_ = -1, font_ = -1;
};

// An EMF of `width` x `height` device pixels on a 96-dpi reference device.
class EmfWriter {
public:
    EmfWriter(int width, int height) : width_(width), height_(height) {}

    void colours(const QColor& fill, const QColor& line, int penWidth = 1) {
        QByteArray brush;
        detail::put32(brush, 1); // object slot 1
        detail::put32(brush, 0); // BS_SOLID
        detail::put32(brush, detail::colorRef(fill));
        detail::put32(brush, 0);
        record(39, brush); // CREATEBRUSHINDIRECT
        QByteArray pen;
        detail::put32(pen, 2);
        detail::put32(pen, penWidth > 0 ? 0 : 5);
        detail::put32(pen, std::uint32_t(penWidth));
        detail::put32(pen, 0);
        detail::put32(pen, detail::colorRef(line));
        record(38, pen); // CREATEPEN
        select(1);
        select(2);
    }
    void rectangle(const QRect& r) { box(43, r); }
    void ellipse(const QRect& r) { box(42, r); }
    void polygon(const QVector<QPoint>& points) { poly(86, points); }  // POLYGON16
    void polyline(const QVector<QPoint>& points) { poly(87, points); } // POLYLINE16
    // A picture stretched over `dest`, as a 24-bit device-independent bitmap.
    void bitmap(const QRect& dest, const QImage& image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        const int stride = detail::dibStride(rgb.width());
        QByteArray p;
        for (const int v : {dest.left(), dest.top(), dest.right(), dest.bottom(), dest.left(),
                            dest.top(), 0, 0, rgb.width(), rgb.height()})
            detail::put32(p, std::uint32_t(v));
        detail::put32(p, 80); // the bitmap header, after the fixed part
        detail::put32(p, 40);
        detail::put32(p, 120); // the pixels, after the header
        detail::put32(p, std::uint32_t(stride * rgb.height()));
        detail::put32(p, 0);          // colours are RGB
        detail::put32(p, 0x00CC0020); // SRCCOPY
        detail::put32(p, std::uint32_t(dest.width()));
        detail::put32(p, std::uint32_t(dest.height()));
        detail::putDib(p, rgb);
        record(81, p); // STRETCHDIBITS
    }
    // The public comment that carries a Windows metafile (`wmf`, without a placeable
    // header), as Office writes it after the header of an EMF made from an older drawing.
    void windowsMetafile(const QByteArray& wmf) {
        QByteArray p;
        detail::put32(p, std::uint32_t(24 + wmf.size())); // the bytes that follow
        detail::put32(p, 0x43494447);                     // "GDIC": a public comment
        detail::put32(p, 0x80000001);                     // carrying a Windows metafile
        detail::put32(p, 0x0300);                         // its version
        detail::put32(p, 0);                              // checksum (not checked)
        detail::put32(p, 0);                              // flags: not compressed
        detail::put32(p, std::uint32_t(wmf.size()));
        p.append(wmf);
        p.append(QByteArray((4 - p.size() % 4) % 4, '\0'));
        record(70, p); // COMMENT
    }
    // Appends a raw record: type and parameter bytes (a multiple of 4).
    void record(std::uint32_t type, const QByteArray& params) {
        detail::put32(body_, type);
        detail::put32(body_, std::uint32_t(8 + params.size()));
        body_.append(params);
        ++records_;
    }

    [[nodiscard]] QByteArray bytes() const {
        QByteArray tail;
        detail::put32(tail, 14); // EOF
        detail::put32(tail, 20);
        detail::put32(tail, 0);
        detail::put32(tail, 16);
        detail::put32(tail, 20);
        const std::uint32_t total = 108 + std::uint32_t(body_.size() + tail.size());
        QByteArray h;
        detail::put32(h, 1);   // HEADER
        detail::put32(h, 108); // its size
        for (const int v : {0, 0, width_ - 1, height_ - 1})
            detail::put32(h, std::uint32_t(v));
        // The frame in hundredths of a millimetre at 96 dpi.
        const auto hmm = [](int px) { return std::uint32_t(px * 2540 / 96); };
        for (const std::uint32_t v : {0u, 0u, hmm(width_) - 1, hmm(height_) - 1})
            detail::put32(h, v);
        detail::put32(h, 0x464D4520); // " EMF"
        detail::put32(h, 0x10000);
        detail::put32(h, total);
        detail::put32(h, std::uint32_t(records_ + 2));
        detail::put16(h, 3); // handles
        detail::put16(h, 0);
        detail::put32(h, 0); // no description
        detail::put32(h, 0);
        detail::put32(h, 0);    // no palette
        detail::put32(h, 1024); // reference device in pixels
        detail::put32(h, 768);
        detail::put32(h, 1024 * 254 / 960); // and in millimetres at 96 dpi
        detail::put32(h, 768 * 254 / 960);
        detail::put32(h, 0); // no pixel format
        detail::put32(h, 0);
        detail::put32(h, 0);                     // not OpenGL
        detail::put32(h, 1024 * 254 * 100 / 96); // micrometres
        detail::put32(h, 768 * 254 * 100 / 96);
        return h + body_ + tail;
    }

private:
    void select(int slot) {
        QByteArray p;
        detail::put32(p, std::uint32_t(slot));
        record(37, p);
    }
    void box(std::uint32_t type, const QRect& r) {
        QByteArray p;
        for (const int v : {r.left(), r.top(), r.right(), r.bottom()})
            detail::put32(p, std::uint32_t(v));
        record(type, p);
    }
    void poly(std::uint32_t type, const QVector<QPoint>& points) {
        QByteArray p;
        QRect bounds;
        for (const QPoint& pt : points)
            bounds |= QRect(pt, QSize(1, 1));
        for (const int v : {bounds.left(), bounds.top(), bounds.right(), bounds.bottom()})
            detail::put32(p, std::uint32_t(v));
        detail::put32(p, std::uint32_t(points.size()));
        for (const QPoint& pt : points) {
            detail::put16(p, pt.x());
            detail::put16(p, pt.y());
        }
        record(type, p);
    }

    int width_, height_;
    QByteArray body_;
    int records_ = 0;
};

} // namespace samples
