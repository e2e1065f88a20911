#pragma once
// Writes small Windows metafiles from simple shapes: placeable WMF and EMF. Used to make
// the sample pictures and the metafiles the tests read.

#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QVector>

#include <cstdint>

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
} // namespace detail

// A placeable WMF: a window of `width` x `height` logical units, `unitsPerInch` of them to
// the inch. Shapes are filled with the current brush and outlined with the current pen.
class WmfWriter {
public:
    WmfWriter(int width, int height, int unitsPerInch = 1440)
        : width_(width), height_(height), inch_(unitsPerInch) {
        record(0x020B, {0, 0});              // SETWINDOWORG y, x
        record(0x020C, {height_, width_});   // SETWINDOWEXT y, x
    }
    // Replaces the brush (solid) and the pen (solid, `penWidth` units; 0 for none).
    void colours(const QColor& fill, const QColor& line, int penWidth = 1) {
        deleteObjects();
        QByteArray brush;
        detail::put16(brush, 0); // BS_SOLID
        detail::put32(brush, detail::colorRef(fill));
        detail::put16(brush, 0);
        raw(0x02FC, brush); // CREATEBRUSHINDIRECT
        QByteArray pen;
        detail::put16(pen, penWidth > 0 ? 0 : 5); // PS_SOLID or PS_NULL
        detail::put16(pen, penWidth);
        detail::put16(pen, 0);
        detail::put32(pen, detail::colorRef(line));
        raw(0x02FA, pen); // CREATEPENINDIRECT
        record(0x012D, {0}); // SELECTOBJECT brush
        record(0x012D, {1}); // SELECTOBJECT pen
        haveObjects_ = true;
    }
    void rectangle(const QRect& r) { record(0x041B, {r.bottom(), r.right(), r.top(), r.left()}); }
    void ellipse(const QRect& r) { record(0x0418, {r.bottom(), r.right(), r.top(), r.left()}); }
    void polygon(const QVector<QPoint>& points) { poly(0x0324, points); }
    void polyline(const QVector<QPoint>& points) { poly(0x0325, points); }
    // Appends a raw record: function number and parameter bytes (an even count).
    void raw(int function, const QByteArray& params) {
        detail::put32(body_, std::uint32_t(3 + params.size() / 2));
        detail::put16(body_, function);
        body_.append(params);
        maxRecord_ = std::max<std::uint32_t>(maxRecord_, std::uint32_t(3 + params.size() / 2));
    }

    [[nodiscard]] QByteArray bytes() const {
        QByteArray records = body_;
        detail::put32(records, 3); // EOF
        detail::put16(records, 0);
        QByteArray out;
        // Placeable header, with its checksum over the first ten words.
        QByteArray placeable;
        detail::put32(placeable, 0x9AC6CDD7);
        detail::put16(placeable, 0);
        for (const int v : {0, 0, width_, height_}) detail::put16(placeable, v);
        detail::put16(placeable, inch_);
        detail::put32(placeable, 0);
        int sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= quint8(placeable[i]) | quint8(placeable[i + 1]) << 8;
        detail::put16(placeable, sum);
        out.append(placeable);
        // Standard header.
        detail::put16(out, 1);      // in memory
        detail::put16(out, 9);      // header words
        detail::put16(out, 0x0300); // version
        detail::put32(out, std::uint32_t(9 + records.size() / 2));
        detail::put16(out, 2); // objects
        detail::put32(out, maxRecord_);
        detail::put16(out, 0);
        out.append(records);
        return out;
    }

private:
    void record(int function, std::initializer_list<int> words) {
        QByteArray params;
        for (const int w : words) detail::put16(params, w);
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
    void deleteObjects() {
        if (!haveObjects_) return;
        record(0x01F0, {0}); // DELETEOBJECT
        record(0x01F0, {1});
    }

    int width_, height_, inch_;
    QByteArray body_;
    std::uint32_t maxRecord_ = 5;
    bool haveObjects_ = false;
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
        for (const int v : {0, 0, width_ - 1, height_ - 1}) detail::put32(h, std::uint32_t(v));
        // The frame in hundredths of a millimetre at 96 dpi.
        const auto hmm = [](int px) { return std::uint32_t(px * 2540 / 96); };
        for (const std::uint32_t v : {0u, 0u, hmm(width_) - 1, hmm(height_) - 1}) detail::put32(h, v);
        detail::put32(h, 0x464D4520); // " EMF"
        detail::put32(h, 0x10000);
        detail::put32(h, total);
        detail::put32(h, std::uint32_t(records_ + 2));
        detail::put16(h, 3); // handles
        detail::put16(h, 0);
        detail::put32(h, 0); // no description
        detail::put32(h, 0);
        detail::put32(h, 0); // no palette
        detail::put32(h, 1024); // reference device in pixels
        detail::put32(h, 768);
        detail::put32(h, 1024 * 254 / 960); // and in millimetres at 96 dpi
        detail::put32(h, 768 * 254 / 960);
        detail::put32(h, 0); // no pixel format
        detail::put32(h, 0);
        detail::put32(h, 0); // not OpenGL
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
        for (const int v : {r.left(), r.top(), r.right(), r.bottom()}) detail::put32(p, std::uint32_t(v));
        record(type, p);
    }
    void poly(std::uint32_t type, const QVector<QPoint>& points) {
        QByteArray p;
        QRect bounds;
        for (const QPoint& pt : points) bounds |= QRect(pt, QSize(1, 1));
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
