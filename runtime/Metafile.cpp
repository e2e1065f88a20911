#include "Metafile.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>
#include <QRegion>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QtMath>

#include <emf2svg.h>

// After Qt: libwmf defines short macros (U16, S32, ...).
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace rt {

namespace {

Error invalid(const QString& why) { return Error{err::InvalidPicture, why}; }

quint32 le32(const char* p) {
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}
quint16 le16(const char* p) { return quint16(quint8(p[0]) | quint8(p[1]) << 8); }
qint32 le32s(const QByteArray& b, qsizetype at) { return qint32(le32(b.constData() + at)); }
qint16 le16s(const QByteArray& b, qsizetype at) { return qint16(le16(b.constData() + at)); }

// Pictures larger than this many pixels a side are refused, whatever their header says.
constexpr int MaxSide = 32767;
// Nor is an image of more pixels than this drawn, whatever size is asked for.
constexpr qint64 MaxPixels = qint64(1) << 26;

// Bitmaps inside a metafile.
constexpr int MaxBitmapSide = 16384;
constexpr qint64 MaxBitmapPixels = qint64(1) << 25;

Result<QSize> checkedSize(double w, double h) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return invalid(QStringLiteral("the picture's frame is empty or too large"));
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

bool drawable(QSize size) {
    return size.width() >= 1 && size.height() >= 1 && size.width() <= MaxSide &&
           size.height() <= MaxSide && qint64(size.width()) * size.height() <= MaxPixels;
}

Result<QImage> blankImage(QSize size) {
    if (!drawable(size)) return invalid(QStringLiteral("the picture cannot be drawn at that size"));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return invalid(QStringLiteral("the picture is too large"));
    image.fill(Qt::transparent);
    return image;
}

// The converter writes coordinates as the file gives them: a hostile file can put a path
// millions of pixels away, and Qt then spends minutes on it. Numbers in the geometry are
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
            const double v = token.contains(QLatin1Char('n'), Qt::CaseInsensitive) ? qQNaN() : token.toDouble();
            if (!std::isfinite(v)) bounded += QLatin1Char('0');
            else if (std::abs(v) > most) bounded += QString::number(v < 0 ? -most : most, 'f', 4);
            else bounded += token;
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

// Drawing stops after this long, whatever is left: a file cannot keep the show waiting.
constexpr qint64 DrawMilliseconds = 10'000;

// A paint device that hands every drawing operation on to a painter on an image, until the
// time is up; after that it drops them. QtSvg draws a whole document in one call, and this
// is where the time can be watched.
class DeadlineDevice : public QPaintDevice {
public:
    DeadlineDevice(QImage* target, const QElapsedTimer* clock) : engine_(target, clock), target_(target) {}
    [[nodiscard]] QPaintEngine* paintEngine() const override { return &engine_; }
    [[nodiscard]] bool expired() const { return engine_.expired(); }

protected:
    [[nodiscard]] int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth: return target_->width();
        case PdmHeight: return target_->height();
        case PdmWidthMM: return target_->widthMM();
        case PdmHeightMM: return target_->heightMM();
        case PdmNumColors: return 0;
        case PdmDepth: return target_->depth();
        case PdmDpiX: return target_->logicalDpiX();
        case PdmDpiY: return target_->logicalDpiY();
        case PdmPhysicalDpiX: return target_->physicalDpiX();
        case PdmPhysicalDpiY: return target_->physicalDpiY();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine(QImage* target, const QElapsedTimer* clock)
            : QPaintEngine(QPaintEngine::AllFeatures), target_(target), clock_(clock) {}
        bool begin(QPaintDevice*) override { return painter_.begin(target_); }
        bool end() override { return painter_.end(); }
        [[nodiscard]] Type type() const override { return QPaintEngine::User; }
        [[nodiscard]] bool expired() const { return expired_; }

        void updateState(const QPaintEngineState& s) override {
            const DirtyFlags f = s.state();
            if (f & DirtyTransform) painter_.setTransform(s.transform());
            if (f & DirtyPen) painter_.setPen(s.pen());
            if (f & DirtyBrush) painter_.setBrush(s.brush());
            if (f & DirtyBrushOrigin) painter_.setBrushOrigin(s.brushOrigin());
            if (f & DirtyBackground) painter_.setBackground(s.backgroundBrush());
            if (f & DirtyBackgroundMode) painter_.setBackgroundMode(s.backgroundMode());
            if (f & DirtyFont) painter_.setFont(s.font());
            if (f & DirtyHints) {
                painter_.setRenderHints(painter_.renderHints(), false);
                painter_.setRenderHints(s.renderHints(), true);
            }
            if (f & DirtyCompositionMode) painter_.setCompositionMode(s.compositionMode());
            if (f & DirtyOpacity) painter_.setOpacity(s.opacity());
            if (f & DirtyClipRegion) painter_.setClipRegion(s.clipRegion(), s.clipOperation());
            if (f & DirtyClipPath) painter_.setClipPath(s.clipPath(), s.clipOperation());
            if (f & DirtyClipEnabled) painter_.setClipping(s.isClipEnabled());
        }
        void drawPath(const QPainterPath& path) override {
            if (live()) painter_.drawPath(path);
        }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
            if (!live()) return;
            if (mode == PolylineMode) painter_.drawPolyline(points, count);
            else painter_.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        }
        void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& source) override {
            if (live()) painter_.drawPixmap(r, pixmap, source);
        }
        void drawImage(const QRectF& r, const QImage& image, const QRectF& source,
                       Qt::ImageConversionFlags flags) override {
            if (live()) painter_.drawImage(r, image, source, flags);
        }

    private:
        bool live() {
            if (!expired_ && clock_->elapsed() > DrawMilliseconds) expired_ = true;
            return !expired_;
        }

        QImage* target_;
        const QElapsedTimer* clock_;
        QPainter painter_;
        bool expired_ = false;
    };

    mutable Engine engine_;
    QImage* target_;
};

Result<QImage> renderSvg(const QByteArray& svg, QSize natural, QSize size, const QElapsedTimer& clock) {
    const double limit = 8.0 * std::max(natural.width(), natural.height());
    QSvgRenderer renderer(boundedSvg(svg, limit));
    if (!renderer.isValid()) return invalid(QStringLiteral("the metafile could not be drawn"));
    Result<QImage> image = blankImage(size);
    if (!image.ok()) return image;
    QImage out = std::move(image).value();
    DeadlineDevice device(&out, &clock);
    QPainter p(&device);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    p.end();
    if (device.expired()) return invalid(QStringLiteral("the metafile takes too long to draw"));
    return out;
}

// ---------------------------------------------------------------------------------------
// Enhanced metafiles are converted to SVG by libemf2svg, which trusts the counts and
// offsets inside records: every record it reads is checked here first.

namespace emf {

constexpr qsizetype MaxRecords = 1'000'000;
constexpr qsizetype MaxSvgBytes = qsizetype(1) << 26;

// The smallest size of the records the converter reads, type and size words included.
quint32 minimumSize(quint32 type) {
    switch (type) {
    case 1: return 88;
    case 2: case 3: case 4: case 5: case 6: return 28;
    case 7: case 8: return 32;
    case 9: case 10: case 11: case 12: case 13: case 26: case 27: case 51: case 54: return 16;
    case 14: case 15: return 20;
    case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 24: case 25: case 34:
    case 37: case 40: case 48: case 57: case 58: case 67: case 98: case 100: case 101: case 115:
        return 12;
    case 23: case 35: case 44: case 93: case 94: return 32;
    case 29: case 30: case 31: case 32: case 39: case 42: case 43: case 53: case 62: case 63:
    case 64: return 24;
    case 36: return 36;
    case 38: case 41: return 28;
    case 45: case 46: case 47: case 55: return 40;
    case 49: return 16;
    case 50: return 20;
    case 56: case 85: case 86: case 87: case 88: case 89: case 92: return 28;
    case 70: return 12;
    case 71: return 32;
    case 72: return 40;
    case 73: case 74: return 28;
    case 75: return 16;
    case 76: return 100;
    case 77: case 114: case 116: return 108;
    case 78: return 128;
    case 79: return 140;
    case 80: return 76;
    case 81: return 80;
    case 82: return 104;
    case 83: case 84: return 76;
    case 90: case 91: return 32;
    case 95: return 52;
    case 104: return 48;
    case 108: return 36;
    case 118: return 36;
    default: return 8;
    }
}

class Record {
public:
    Record(const char* data, quint32 size) : data_(data), size_(size) {}
    [[nodiscard]] quint32 u32(quint32 at) const { return at <= size_ - 4 ? le32(data_ + at) : 0; }
    [[nodiscard]] quint16 u16(quint32 at) const { return at <= size_ - 2 ? le16(data_ + at) : 0; }
    // Whether `count` items of `item` bytes at `at` lie within the record.
    [[nodiscard]] bool fits(quint64 at, quint64 count, quint64 item = 1) const {
        return at <= size_ && count <= (size_ - at) / std::max<quint64>(item, 1);
    }
    [[nodiscard]] const char* data() const { return data_; }

private:
    const char* data_;
    quint32 size_;
};

// A bitmap given by four words at `at`: header offset and size, pixels offset and size.
bool bitmapFits(const Record& r, quint32 at) {
    const quint32 offHeader = r.u32(at), headerBytes = r.u32(at + 4);
    const quint32 offBits = r.u32(at + 8), bitsBytes = r.u32(at + 12);
    if (headerBytes == 0) return true; // an operation without a source bitmap
    if (headerBytes < 40 || !r.fits(offHeader, headerBytes) || !r.fits(offBits, bitsBytes))
        return false;
    const char* h = r.data() + offHeader;
    const quint32 size = le32(h);
    const qint64 w = qint32(le32(h + 4)), height = std::abs(qint64(qint32(le32(h + 8))));
    const int bits = le16(h + 14);
    const quint32 compression = le32(h + 16), used = le32(h + 32);
    if (size < 40 || size > headerBytes || w < 1 || height < 1 || w > MaxBitmapSide ||
        height > MaxBitmapSide || w * height > MaxBitmapPixels || used > 256)
        return false;
    if (compression == 4 || compression == 5) return bitsBytes > 0; // JPEG or PNG inside
    if (compression != 0 && compression != 3) return false; // run-length bitmaps are not read
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const qint64 colours = bits <= 8 ? (used ? used : (1 << bits)) : used;
    const qint64 masks = compression == 3 && size == 40 ? 12 : 0;
    if (size + colours * 4 + masks > headerBytes) return false;
    return (w * bits + 31) / 32 * 4 * height <= bitsBytes;
}

// Region data whose byte count is at `countAt` and data at `dataAt`.
bool regionFits(const Record& r, quint32 countAt, quint32 dataAt) {
    const quint32 bytes = r.u32(countAt);
    if (bytes == 0) return true;
    if (bytes < 32 || !r.fits(dataAt, bytes)) return false;
    return quint64(r.u32(dataAt + 8)) * 16 + 32 <= bytes;
}

bool polyPolygonFits(const Record& r, quint32 pointSize) {
    const quint32 polygons = r.u32(24), points = r.u32(28);
    if (!r.fits(32, polygons, 4) || !r.fits(32 + quint64(polygons) * 4, points, pointSize)) return false;
    quint64 sum = 0;
    for (quint32 i = 0; i < polygons; ++i) sum += r.u32(32 + 4 * i);
    return sum <= points;
}

bool textFits(const Record& r, bool wide) {
    const quint32 chars = r.u32(44), offString = r.u32(48), options = r.u32(52);
    if (!r.fits(offString, chars, wide ? 2 : 1)) return false;
    const quint32 offDx = r.u32(options & 0x100 ? 56 : 72); // no clipping rectangle: earlier
    return offDx == 0 || r.fits(offDx, chars, options & 0x2000 ? 8 : 4);
}

bool contentsFit(quint32 type, const Record& r) {
    switch (type) {
    case 1: return r.u32(60) == 0 || r.fits(r.u32(64), r.u32(60), 2);
    case 2: case 3: case 4: case 5: case 6: return r.fits(28, r.u32(24), 8);
    case 85: case 86: case 87: case 88: case 89: return r.fits(28, r.u32(24), 4);
    case 7: case 8: return polyPolygonFits(r, 8);
    case 90: case 91: return polyPolygonFits(r, 4);
    case 56: return r.fits(28, r.u32(24), 9);
    case 92: return r.fits(28, r.u32(24), 5);
    case 14: return r.u32(8) == 0 || r.fits(r.u32(12), r.u32(8), 4);
    case 49: return r.fits(16, r.u16(14), 4);
    case 50: return r.fits(20, r.u32(16), 4);
    case 70: return r.fits(12, r.u32(8));
    case 71: return regionFits(r, 24, 32);
    case 72: return regionFits(r, 24, 40);
    case 73: case 74: return regionFits(r, 24, 28);
    case 75: return regionFits(r, 8, 16);
    case 76: case 77: case 114: case 116: return bitmapFits(r, 84);
    case 78: return bitmapFits(r, 84) && bitmapFits(r, 112);
    case 79: return bitmapFits(r, 96) && bitmapFits(r, 124);
    case 80: case 81: return bitmapFits(r, 48);
    case 93: case 94: return bitmapFits(r, 16);
    case 95: return bitmapFits(r, 12) && r.fits(52, r.u32(48), 4);
    case 83: return textFits(r, false);
    case 84: return textFits(r, true);
    case 108: {
        const quint32 chars = r.u32(16), options = r.u32(20);
        return r.fits(options & 0x100 ? 36 : 52, chars, options & 0x200 ? 1 : 2);
    }
    case 118: {
        const quint32 vertices = r.u32(24), shapes = r.u32(28), mode = r.u32(32);
        const quint32 indices = mode == 2 ? 3 : 2;
        if (!r.fits(36, vertices, 16) || !r.fits(36 + quint64(vertices) * 16, shapes, 4 * indices))
            return false;
        for (quint64 i = 0; i < quint64(shapes) * indices; ++i)
            if (r.u32(quint32(36 + quint64(vertices) * 16 + 4 * i)) >= vertices) return false;
        return true;
    }
    default: return true;
    }
}

// The bytes up to and including the end record, once every record has been checked.
Result<qsizetype> walk(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    if (n < 88 || le32(b) != 1 || bytes.mid(40, 4) != " EMF")
        return invalid(QStringLiteral("not an enhanced metafile"));
    qsizetype at = 0, count = 0;
    for (;;) {
        if (n - at < 8) return invalid(QStringLiteral("the metafile ends early"));
        const quint32 type = le32(b + at), size = le32(b + at + 4);
        if (size < 8 || size % 4 != 0 || size > n - at)
            return invalid(QStringLiteral("a metafile record has a bad length"));
        if (++count > MaxRecords) return invalid(QStringLiteral("the metafile has too many records"));
        if ((type == 1) != (at == 0)) return invalid(QStringLiteral("the metafile's header is out of place"));
        const Record record(b + at, size);
        if (size < minimumSize(type) || !contentsFit(type, record))
            return invalid(QStringLiteral("a metafile record does not hold what it says"));
        at += size;
        if (type == 14) return at;
    }
}

} // namespace emf

// ---------------------------------------------------------------------------------------
// Windows metafiles: the records are checked here before libwmf plays them, and the
// mapping in force when drawing starts is worked out the way libwmf's player does it, so
// that the picture's frame can be found in the player's device units.

namespace wmf {

constexpr quint32 PlaceableKey = 0x9AC6CDD7;
constexpr int PlaceableSize = 22;
constexpr int HeaderSize = 18;

// Bounds on the work a file may ask for.
constexpr qsizetype MaxRecords = 1'000'000;
constexpr int MaxExcludedClips = 4096;    // each may split the clip region further
constexpr qint64 MaxRegionWords = 16384;  // region bands are merged one rectangle at a time
constexpr int MaxSavedStates = 1024;

// Record functions.
enum : quint16 {
    Eof = 0x0000,
    SaveDc = 0x001E,
    RealizePalette = 0x0035,
    SetPaletteEntries = 0x0037,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetRelAbs = 0x0105,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    SetTextCharExtra = 0x0108,
    RestoreDc = 0x0127,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DibCreatePatternBrush = 0x0142,
    DeleteObject = 0x01F0,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetTextJustification = 0x020A,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211,
    MoveTo = 0x0214,
    OffsetClipRgn = 0x0220,
    SetMapperFlags = 0x0231,
    SelectPalette = 0x0234,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Escape = 0x0626,
    CreateRegion = 0x06FF,
};

// Records that only change the drawing state; the first other record starts the drawing.
bool changesStateOnly(quint16 f) {
    switch (f) {
    case SaveDc: case RealizePalette: case SetPaletteEntries: case CreatePalette: case SetBkMode:
    case SetMapMode: case SetRop2: case SetRelAbs: case SetPolyFillMode: case SetStretchBltMode:
    case SetTextCharExtra: case RestoreDc: case SelectClipRegion: case SelectObject:
    case SetTextAlign: case DibCreatePatternBrush: case DeleteObject: case SetBkColor:
    case SetTextColor: case SetTextJustification: case SetWindowOrg: case SetWindowExt:
    case SetViewportOrg: case SetViewportExt: case OffsetWindowOrg: case OffsetViewportOrg:
    case MoveTo: case OffsetClipRgn: case SetMapperFlags: case SelectPalette:
    case CreatePenIndirect: case CreateFontIndirect: case CreateBrushIndirect: case ScaleWindowExt:
    case ScaleViewportExt: case ExcludeClipRect: case IntersectClipRect: case Escape:
    case CreateRegion:
        return true;
    default:
        return false;
    }
}

enum MapMode { Text = 1, LoMetric, HiMetric, LoEnglish, HiEnglish, Twips, Isotropic, Anisotropic,
               Placeable = 100 };

// The mapping state of the player: logical units to its device units.
struct Mapping {
    int mode = Text;
    QPoint windowOrg;
    QPoint windowExt{1024, 1024};
    QPoint viewportExt{1024, 1024};
    QPointF viewportOrg; // in device units
    bool windowOrgSet = false, windowExtSet = false;
    int inch = 1440;     // placeable files: logical units per inch

    // Device units per logical unit, signed as the player signs them.
    [[nodiscard]] std::optional<QPointF> unit() const {
        const auto fixed = [&](double u) {
            return QPointF(windowExt.x() < 0 ? -u : u, windowExt.y() < 0 ? -u : u);
        };
        switch (mode) {
        case Text: return fixed(1.0);
        case LoMetric: return fixed(72.0 * 0.1 / 25.4);
        case HiMetric: return fixed(72.0 * 0.01 / 25.4);
        case LoEnglish: return fixed(0.72);
        case HiEnglish: return fixed(0.072);
        case Twips: return fixed(0.05);
        case Isotropic:
        case Anisotropic:
            if (windowExt.x() == 0 || windowExt.y() == 0 || viewportExt.x() == 0 ||
                viewportExt.y() == 0)
                return std::nullopt;
            return QPointF(double(viewportExt.x()) / windowExt.x(),
                           double(viewportExt.y()) / windowExt.y());
        case Placeable: return fixed(72.0 / inch);
        default: return std::nullopt;
        }
    }
    // Logical units per inch, for the natural size; 1440 when the mode has no physical unit.
    [[nodiscard]] double unitsPerInch() const {
        switch (mode) {
        case Text: return 96.0; // device pixels, taken at 96 dpi
        case LoMetric: return 254.0;
        case HiMetric: return 2540.0;
        case LoEnglish: return 100.0;
        case HiEnglish: return 1000.0;
        case Twips: return 1440.0;
        case Placeable: return inch;
        default: return 1440.0;
        }
    }
    [[nodiscard]] std::optional<QPointF> toDevice(QPointF logical) const {
        const auto u = unit();
        if (!u) return std::nullopt;
        return QPointF((logical.x() - windowOrg.x()) * u->x() - viewportOrg.x(),
                       (logical.y() - windowOrg.y()) * u->y() - viewportOrg.y());
    }
};

struct Plan {
    bool placeable = false;
    QRect box;             // placeable header: the frame in logical units
    int headerAt = 0;      // offset of the standard header
    Mapping mapping;       // in force when drawing starts
    quint32 maxRecord = 3; // words
    qsizetype end = 0;     // bytes up to and including the end record
};

// Object slots as the player fills them: the lowest free one.
class ObjectTable {
public:
    enum Kind : quint8 { Free = 0, Pen, Brush, Font, Region, Palette };

    explicit ObjectTable(int count) : slots_(std::size_t(count), Free) {}

    // False when the table is full, or when the slot still serves as the current or a
    // saved pen, brush or font while something else takes it: the player would go on
    // drawing with the new object's memory read as the old kind. The player makes every
    // pen, brush and font it creates the current one, as if selected.
    bool create(Kind kind) {
        std::size_t slot = 0;
        while (slot < slots_.size() && slots_[slot] != Free) ++slot;
        if (slot == slots_.size()) return false;
        const auto clash = [&](const Selection& s) {
            return (s.pen == int(slot) && kind != Pen) || (s.brush == int(slot) && kind != Brush) ||
                   (s.font == int(slot) && kind != Font);
        };
        if (clash(current_)) return false;
        for (const Selection& s : saved_)
            if (clash(s)) return false;
        slots_[slot] = kind;
        select(int(slot));
        return true;
    }
    void remove(int slot) {
        if (slot >= 0 && std::size_t(slot) < slots_.size()) slots_[std::size_t(slot)] = Free;
    }
    void select(int slot) {
        if (slot < 0 || std::size_t(slot) >= slots_.size()) return;
        switch (slots_[std::size_t(slot)]) {
        case Pen: current_.pen = slot; break;
        case Brush: current_.brush = slot; break;
        case Font: current_.font = slot; break;
        default: break;
        }
    }
    bool save() {
        if (saved_.size() >= std::size_t(MaxSavedStates)) return false;
        saved_.push_back(current_);
        return true;
    }
    bool restore() {
        if (saved_.empty()) return false;
        current_ = saved_.back();
        saved_.pop_back();
        return true;
    }

private:
    struct Selection {
        int pen = -1, brush = -1, font = -1;
    };
    std::vector<quint8> slots_;
    Selection current_;
    std::vector<Selection> saved_;
};

// Walks the records: every one within the file, an end record, bounded work, and object
// use the player can follow safely. Notes the mapping in force when drawing starts.
Result<Plan> walk(const QByteArray& bytes) {
    Plan plan;
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    if (n >= 4 && le32(b) == PlaceableKey) {
        if (n < PlaceableSize) return invalid(QStringLiteral("the WMF header is cut short"));
        plan.placeable = true;
        const int left = le16s(bytes, 6), top = le16s(bytes, 8);
        const int right = le16s(bytes, 10), bottom = le16s(bytes, 12);
        plan.box = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
        plan.mapping.inch = le16(b + 14);
        plan.mapping.mode = Placeable;
        if (plan.mapping.inch == 0) return invalid(QStringLiteral("no units per inch"));
        if (left == right || top == bottom) return invalid(QStringLiteral("the WMF frame is empty"));
        plan.headerAt = PlaceableSize;
    }
    const qsizetype h = plan.headerAt;
    if (n < h + HeaderSize) return invalid(QStringLiteral("the WMF header is cut short"));
    const quint16 type = le16(b + h), words = le16(b + h + 2), version = le16(b + h + 4);
    if ((type != 1 && type != 2) || words != 9 || (version != 0x0100 && version != 0x0300))
        return invalid(QStringLiteral("not a Windows metafile"));
    ObjectTable objects(le16(b + h + 10));

    Mapping& m = plan.mapping;
    bool drawing = false;
    int excluded = 0;
    qint64 regionWords = 0;
    qsizetype at = h + HeaderSize, count = 0;
    for (;;) {
        if (n - at < 6) return invalid(QStringLiteral("the metafile ends early"));
        const quint32 size = le32(b + at);
        const quint16 f = le16(b + at + 4);
        if (size < 3 || qint64(size) * 2 > n - at)
            return invalid(QStringLiteral("a metafile record has a bad length"));
        if (++count > MaxRecords) return invalid(QStringLiteral("the metafile has too many records"));
        plan.maxRecord = std::max(plan.maxRecord, size);
        const char* p = b + at + 6;
        const quint32 params = size - 3;
        const auto par = [&](quint32 i) { return i < params ? qint16(le16(p + 2 * i)) : qint16(0); };
        at += qsizetype(size) * 2;
        if (f == Eof && size == 3) break;

        if (!drawing && !changesStateOnly(f)) drawing = true;
        if (!drawing) {
            switch (f) {
            case SetMapMode: {
                const int mode = quint16(par(0));
                if (mode >= Text && mode <= Anisotropic) m.mode = mode;
                else if (plan.placeable) m.mode = Placeable;
                else return invalid(QStringLiteral("unknown mapping mode"));
                break;
            }
            case SetWindowOrg:
                m.windowOrg = QPoint(par(1), par(0));
                m.windowOrgSet = true;
                break;
            case OffsetWindowOrg:
                m.windowOrg += QPoint(par(1), par(0));
                m.windowOrgSet = true;
                break;
            case SetWindowExt:
                m.windowExt = QPoint(par(1), par(0));
                m.windowExtSet = true;
                break;
            case SetViewportExt: m.viewportExt = QPoint(par(1), par(0)); break;
            case SetViewportOrg:
            case OffsetViewportOrg: {
                // The player scales by the unit it keeps: signed when the window scales it.
                QPointF u = m.unit().value_or(QPointF(1, 1));
                if (m.mode != Isotropic && m.mode != Anisotropic) u = QPointF(std::abs(u.x()), std::abs(u.y()));
                const QPointF o(par(1) * u.x(), par(0) * u.y());
                m.viewportOrg = f == SetViewportOrg ? o : m.viewportOrg + o;
                break;
            }
            case ScaleWindowExt:
            case ScaleViewportExt: {
                if (par(2) == 0 || par(0) == 0) return invalid(QStringLiteral("a scale divides by zero"));
                QPoint& ext = f == ScaleWindowExt ? m.windowExt : m.viewportExt;
                // A bogus factor must not overflow the extent: it is kept within 32 bits.
                const auto scaled = [](int v, int num, int den) {
                    const double r = double(v) * num / den;
                    return int(std::clamp(r, double(std::numeric_limits<int>::min()),
                                          double(std::numeric_limits<int>::max())));
                };
                ext = QPoint(scaled(ext.x(), par(3), par(2)), scaled(ext.y(), par(1), par(0)));
                if (f == ScaleWindowExt) m.windowExtSet = true;
                break;
            }
            default: break;
            }
        }

        bool ok = true;
        switch (f) {
        case CreatePenIndirect: ok = objects.create(ObjectTable::Pen); break;
        case CreateBrushIndirect:
        case DibCreatePatternBrush: ok = objects.create(ObjectTable::Brush); break;
        case CreateFontIndirect: ok = objects.create(ObjectTable::Font); break;
        case CreatePalette: ok = objects.create(ObjectTable::Palette); break;
        case CreateRegion:
            regionWords += params;
            ok = regionWords <= MaxRegionWords && objects.create(ObjectTable::Region);
            break;
        case DeleteObject: objects.remove(quint16(par(0))); break;
        case SelectObject: objects.select(quint16(par(0))); break;
        case SaveDc: ok = objects.save(); break;
        case RestoreDc: ok = objects.restore(); break;
        case ExcludeClipRect: ok = ++excluded <= MaxExcludedClips; break;
        default: break;
        }
        if (!ok) return invalid(QStringLiteral("the metafile's objects or states are out of order"));
    }
    plan.end = at;
    if (!m.unit()) return invalid(QStringLiteral("the metafile's window is empty"));
    return plan;
}

// The frame in logical units when the file gives one: the window the records set, or else
// the placeable header's box (Windows maps the window onto the frame when it plays a file).
std::optional<QRectF> logicalFrame(const Plan& plan) {
    const Mapping& m = plan.mapping;
    if (m.windowExtSet) {
        const QPoint org = m.windowOrgSet || !plan.placeable ? m.windowOrg : plan.box.topLeft();
        return QRectF(org, QSizeF(m.windowExt.x(), m.windowExt.y()));
    }
    if (plan.placeable) {
        const QPoint org = m.windowOrgSet ? m.windowOrg : plan.box.topLeft();
        return QRectF(org, QSizeF(plan.box.width(), plan.box.height()));
    }
    return std::nullopt;
}

// The frame in the player's device units.
std::optional<QRectF> deviceFrame(const Plan& plan) {
    const std::optional<QRectF> frame = logicalFrame(plan);
    if (!frame) return std::nullopt;
    const auto a = plan.mapping.toDevice(frame->topLeft());
    const auto b = plan.mapping.toDevice(frame->bottomRight());
    if (!a || !b) return std::nullopt;
    return QRectF(*a, *b).normalized();
}

// The file with only what the player should read: up to the end record, and the largest
// record size in its header made true (the player allocates its buffer from it).
QByteArray trimmed(const QByteArray& bytes, const Plan& plan) {
    QByteArray out = bytes.left(plan.end);
    const qsizetype at = plan.headerAt + 12;
    for (int i = 0; i < 4; ++i) out[at + i] = char((plan.maxRecord >> (8 * i)) & 0xFF);
    return out;
}

// ---------------------------------------------------------------------------------------
// The drawing device: libwmf calls these with coordinates in its device units, which the
// painter's transform maps onto the image.

struct Device {
    QPainter* painter = nullptr;
    QTransform toImage;
    QSizeF scale{1, 1};       // image pixels per device unit
    double maxPenWidth = 1e6; // device units
    QRectF reach;             // image pixels: shapes are clipped to this
    std::vector<std::unique_ptr<QImage>> bitmaps;
    std::unordered_set<const void*> liveBitmaps;
    qint64 bitmapPixels = 0;
    QElapsedTimer clock;
    bool ended = false;
};

// All the bitmaps of one metafile together are bounded too.
constexpr qint64 MaxAllBitmapPixels = qint64(1) << 26;

Device* deviceOf(wmfAPI* api) { return static_cast<Device*>(api->device_data); }

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

QColor colour(const wmfRGB& c) { return QColor(c.r, c.g, c.b); }
QPointF point(const wmfD_Coord& c) { return QPointF(c.x, c.y); }
bool finite(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}
bool finite(const QPointF& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }
QRectF box(const wmfD_Coord& a, const wmfD_Coord& b) {
    return QRectF(point(a), point(b)).normalized();
}

// Raster operations on the pen and brush colours.
QColor ropColour(int rop, const QColor& c) {
    switch (rop) {
    case R2_BLACK: return Qt::black;
    case R2_WHITE: return Qt::white;
    case R2_NOTCOPYPEN: return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
    default: return c;
    }
}
// And on the pixels below.
bool applyRop(QPainter& p, int rop) {
    using M = QPainter::CompositionMode;
    M mode = M::CompositionMode_SourceOver;
    switch (rop) {
    case R2_XORPEN: mode = M::RasterOp_SourceXorDestination; break;
    case R2_NOTXORPEN: mode = M::RasterOp_NotSourceXorDestination; break;
    case R2_NOT: mode = M::RasterOp_NotDestination; break;
    case R2_MASKPEN: mode = M::RasterOp_SourceAndDestination; break;
    case R2_MERGEPEN: mode = M::RasterOp_SourceOrDestination; break;
    case R2_MASKPENNOT: mode = M::RasterOp_SourceAndNotDestination; break;
    case R2_MASKNOTPEN: mode = M::RasterOp_NotSourceAndDestination; break;
    case R2_MERGENOTPEN: mode = M::RasterOp_NotSourceOrDestination; break;
    case R2_MERGEPENNOT: mode = M::RasterOp_SourceOrNotDestination; break;
    case R2_NOTMASKPEN: mode = M::RasterOp_NotSourceOrNotDestination; break;
    case R2_NOTMERGEPEN: mode = M::RasterOp_NotSourceAndNotDestination; break;
    default: return false;
    }
    p.setCompositionMode(mode);
    p.setRenderHint(QPainter::Antialiasing, false); // raster operations work on whole pixels
    return true;
}

const QImage* bitmapOf(const Device& d, const void* data) {
    return d.liveBitmaps.count(data) ? static_cast<const QImage*>(data) : nullptr;
}

// The brush, or nothing. Hatches and patterns keep their size in image pixels.
QBrush brushOf(const Device& d, const wmfDC* dc, bool* hatched) {
    *hatched = false;
    const wmfBrush* b = dc->brush;
    if (!b) return Qt::NoBrush;
    const QColor c = ropColour(dc->ROPmode, colour(b->lbColor));
    const QTransform unscaled = QTransform::fromScale(1.0 / d.scale.width(), 1.0 / d.scale.height());
    switch (b->lbStyle) {
    case BS_NULL: return Qt::NoBrush;
    case BS_HATCHED: {
        static const std::array<Qt::BrushStyle, 6> hatches{Qt::HorPattern, Qt::VerPattern,
            Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
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
    default: return QBrush(c);
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
    case PS_ENDCAP_SQUARE: pen.setCapStyle(Qt::SquareCap); break;
    case PS_ENDCAP_FLAT: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (WMF_PEN_JOIN(wp)) {
    case PS_JOIN_BEVEL: pen.setJoinStyle(Qt::BevelJoin); break;
    case PS_JOIN_MITER: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    if (thin) {
        QList<qreal> pattern;
        switch (style) {
        case PS_DASH: pattern = {18, 6}; break;
        case PS_DOT: pattern = {3, 3}; break;
        case PS_DASHDOT: pattern = {9, 6, 3, 6}; break;
        case PS_DASHDOTDOT: pattern = {9, 3, 3, 3, 3, 3}; break;
        case PS_ALTERNATE: pattern = {1, 1}; break;
        default: break;
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
QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& r) {
    QPolygonF poly = polygon;
    for (int edge = 0; edge < 4 && !poly.isEmpty(); ++edge) {
        const auto inside = [&](const QPointF& p) {
            switch (edge) {
            case 0: return p.x() >= r.left();
            case 1: return p.x() <= r.right();
            case 2: return p.y() >= r.top();
            default: return p.y() <= r.bottom();
            }
        };
        const auto cross = [&](const QPointF& a, const QPointF& b) {
            const double t = edge < 2 ? ((edge == 0 ? r.left() : r.right()) - a.x()) / (b.x() - a.x())
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
            if (p < 0) t0 = std::max(t0, t);
            else t1 = std::min(t1, t);
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
            for (const QPolygonF& run : clipPolyline(poly, d.reach)) out.addPolygon(run);
        }
    }
    return d.toImage.inverted().map(out);
}

// Fills and outlines a shape with the DC's brush and pen, honouring the raster operation
// and, for hatches and dashes, the background mode. `closed`: the shape's outline closes.
void paint(Device& d, const wmfDC* dc, const QPainterPath& shape, bool fill, bool stroke,
           bool closed = true) {
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
    for (unsigned i = 0; i < count; ++i) poly << point(pts[i]);
    return poly;
}

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
void drawPie(wmfAPI* api, wmfDrawArc_t* a) { drawArc(api, a, ArcKind::Pie); }
void drawChord(wmfAPI* api, wmfDrawArc_t* a) { drawArc(api, a, ArcKind::Chord); }
void drawArcOnly(wmfAPI* api, wmfDrawArc_t* a) { drawArc(api, a, ArcKind::Arc); }

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
        case PATCOPY: paint(d, r->dc, path, true, false); break;
        case BLACKNESS: p.fillRect(rect, Qt::black); break;
        case WHITENESS: p.fillRect(rect, Qt::white); break;
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
        default: break; // operations that leave the pixels as they are, or need a source
        }
    });
}

// --- Bitmaps ----------------------------------------------------------------------------

// A device-independent bitmap as the metafile holds it: header, colours, pixels. Checked
// for sizes that fit the data before Qt reads it as a BMP file.
QImage decodeDib(const unsigned char* data, long length) {
    if (!data || length < 12) return {};
    const char* p = reinterpret_cast<const char*>(data);
    const quint32 headerSize = le32(p);
    qint64 w = 0, h = 0;
    int bits = 0, entrySize = 4;
    quint32 compression = 0, used = 0;
    if (headerSize == 12) {
        w = le16(p + 4);
        h = le16(p + 6);
        bits = le16(p + 10);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 124 && length >= long(headerSize)) {
        w = qint32(le32(p + 4));
        h = qint32(le32(p + 8));
        bits = le16(p + 14);
        compression = le32(p + 16);
        used = le32(p + 32);
    } else {
        return {};
    }
    h = std::abs(h);
    if (w < 1 || h < 1 || w > MaxBitmapSide || h > MaxBitmapSide || w * h > MaxBitmapPixels)
        return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
    if (used > 256 && bits <= 8) return {};
    qint64 colours = bits <= 8 ? (used ? used : (1 << bits)) : used;
    qint64 bitsAt = headerSize + colours * entrySize;
    if (compression == 3 && headerSize == 40) bitsAt += 12; // the three masks
    if (bitsAt > length) return {};
    if (compression == 0 || compression == 3) {
        if (compression == 3 && bits != 16 && bits != 32) return {};
        const qint64 stride = (w * bits + 31) / 32 * 4;
        if (stride * h > length - bitsAt) return {};
    } else if (!((compression == 1 && bits == 8) || (compression == 2 && bits == 4))) {
        return {}; // embedded JPEG or PNG, or nonsense
    }
    QByteArray file;
    file.reserve(14 + length);
    file.append("BM");
    const auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i) file.append(char((v >> (8 * i)) & 0xFF));
    };
    put32(quint32(14 + length));
    put32(0);
    put32(quint32(14 + bitsAt));
    file.append(p, length);
    QImage image = QImage::fromData(file, "BMP");
    if (image.width() != w || image.height() != h) return {};
    return image;
}

void bmpRead(wmfAPI* api, wmfBMP_Read_t* r) {
    r->bmp.data = nullptr;
    r->bmp.width = 0;
    r->bmp.height = 0;
    Device* d = deviceOf(api);
    if (!d) return;
    try {
        QImage image = decodeDib(r->buffer, r->length);
        if (image.isNull()) return; // the player skips a bitmap it cannot read
        const qint64 pixels = qint64(image.width()) * image.height();
        if (d->bitmapPixels + pixels > MaxAllBitmapPixels) return;
        auto owned = std::make_unique<QImage>(std::move(image));
        r->bmp.width = static_cast<U16>(owned->width());
        r->bmp.height = static_cast<U16>(owned->height());
        r->bmp.data = owned.get();
        d->liveBitmaps.insert(owned.get());
        d->bitmapPixels += pixels;
        d->bitmaps.push_back(std::move(owned));
    } catch (...) {
        api->err = wmf_E_DeviceError;
    }
}

void bmpFree(wmfAPI* api, wmfBMP* bmp) {
    Device* d = deviceOf(api);
    if (!d || !bmp) return;
    const void* data = bmp->data;
    bmp->data = nullptr;
    if (!d->liveBitmaps.erase(data)) return;
    for (auto it = d->bitmaps.begin(); it != d->bitmaps.end(); ++it)
        if (it->get() == data) {
            d->bitmapPixels -= qint64((*it)->width()) * (*it)->height();
            d->bitmaps.erase(it);
            break;
        }
}

void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* b) {
    draw(api, [&](Device& d) {
        const QImage* image = bitmapOf(d, b->bmp.data);
        if (!image) return;
        const QRect source = QRect(b->crop.x, b->crop.y, b->crop.w, b->crop.h) & image->rect();
        if (source.isEmpty()) return;
        const QRectF target(point(b->pt),
                            QSizeF(source.width() * b->pixel_width, source.height() * b->pixel_height));
        if (!finite(target) || target.isEmpty()) return;
        QPainter& p = *d.painter;
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        using M = QPainter::CompositionMode;
        switch (b->type) {
        case SRCAND: p.setCompositionMode(M::RasterOp_SourceAndDestination); break;
        case SRCPAINT: p.setCompositionMode(M::RasterOp_SourceOrDestination); break;
        case SRCINVERT: p.setCompositionMode(M::RasterOp_SourceXorDestination); break;
        case SRCERASE: p.setCompositionMode(M::RasterOp_SourceAndNotDestination); break;
        case NOTSRCCOPY: p.setCompositionMode(M::RasterOp_NotSource); break;
        case NOTSRCERASE: p.setCompositionMode(M::RasterOp_NotSourceAndNotDestination); break;
        case MERGEPAINT: p.setCompositionMode(M::RasterOp_NotSourceOrDestination); break;
        default: break;
        }
        p.drawImage(target, *image, source);
        p.restore();
    });
}

// --- Text -------------------------------------------------------------------------------

// Windows-1252, the ANSI character set: Latin-1 apart from 0x80-0x9F.
QString windows1252(const QByteArray& bytes) {
    static const std::array<char16_t, 32> high{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString s;
    s.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = quint8(c);
        s.append(u >= 0x80 && u < 0xA0 ? QChar(high[u - 0x80]) : QChar(u));
    }
    return s;
}

QString decodeText(const char* str, int charset) {
    const QByteArray bytes(str);
    const char* codec = nullptr;
    switch (charset) {
    case 128: codec = "Shift_JIS"; break;
    case 129: codec = "windows-949"; break;
    case 134: codec = "GBK"; break;
    case 136: codec = "Big5"; break;
    case 161: codec = "windows-1253"; break;
    case 162: codec = "windows-1254"; break;
    case 163: codec = "windows-1258"; break;
    case 177: codec = "windows-1255"; break;
    case 178: codec = "windows-1256"; break;
    case 186: codec = "windows-1257"; break;
    case 204: codec = "windows-1251"; break;
    case 222: codec = "windows-874"; break;
    case 238: codec = "windows-1250"; break;
    default: break;
    }
    if (codec) {
        QStringDecoder decoder(codec);
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    return windows1252(bytes);
}

// A Qt font for a metafile font: the family asked for first, then look-alikes commonly
// installed, then the generic family its pitch-and-family byte names.
QFont qtFont(const wmfFont* f) {
    const QString face = f->lfFaceName ? QString::fromLatin1(f->lfFaceName).trimmed() : QString();
    const QString key = face.toLower();
    static const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                  QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")};
    static const QStringList serif{QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                   QStringLiteral("Times"), QStringLiteral("DejaVu Serif")};
    static const QStringList mono{QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                  QStringLiteral("Courier"), QStringLiteral("DejaVu Sans Mono")};
    QStringList families;
    if (!face.isEmpty()) families << face;
    QFont::StyleHint hint = QFont::AnyStyle;
    const auto is = [&](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (key == QLatin1String(name)) return true;
        return false;
    };
    if (is({"arial", "helvetica", "ms sans serif", "tahoma", "verdana", "segoe ui", "calibri",
            "swiss", "system"})) {
        families << sans;
        hint = QFont::SansSerif;
    } else if (is({"times new roman", "times", "ms serif", "georgia", "cambria", "roman",
                   "tms rmn"})) {
        families << serif;
        hint = QFont::Serif;
    } else if (is({"courier new", "courier", "consolas", "lucida console", "fixedsys",
                   "terminal", "modern"})) {
        families << mono;
        hint = QFont::Monospace;
    } else if (is({"symbol"})) {
        families << QStringLiteral("OpenSymbol") << QStringLiteral("Standard Symbols PS");
    }
    if (hint == QFont::AnyStyle) {
        switch (f->lfPitchAndFamily & 0xF0) {
        case 0x10: hint = QFont::Serif; families << serif; break;
        case 0x20: hint = QFont::SansSerif; families << sans; break;
        case 0x30: hint = QFont::Monospace; families << mono; break;
        case 0x40: hint = QFont::Cursive; break;
        case 0x50: hint = QFont::Decorative; break;
        default:
            if ((f->lfPitchAndFamily & 0x03) == 1) {
                hint = QFont::Monospace;
                families << mono;
            } else {
                hint = QFont::SansSerif;
                families << sans;
            }
            break;
        }
    }
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setWeight(QFont::Weight(std::clamp(f->lfWeight ? int(f->lfWeight) : 400, 1, 1000)));
    font.setItalic(f->lfItalic);
    font.setUnderline(f->lfUnderline);
    font.setStrikeOut(f->lfStrikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Fonts need a GUI application object; without one, text is left out.
bool fontsAvailable() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

// Text is drawn at this size and scaled: sizes in the metafile's units can be tiny.
constexpr int ReferencePixels = 200;

// How much wider than Qt's own the text is drawn: 1, unless the font gives an average
// character width (the player makes the width equal the height when it does not).
double widthFactor(const wmfFont* f, const QFontMetricsF& metrics) {
    if (f->lfWidth == f->lfHeight || f->lfHeight == 0) return 1.0;
    const double average = metrics.averageCharWidth() / ReferencePixels;
    return average > 0 ? 1.0 / average * double(f->lfWidth) / f->lfHeight : 1.0;
}

// The player's font callbacks: nothing to load (fonts are resolved when text is drawn),
// and string widths in units of the font height.
void mapFont(wmfAPI*, wmfFont*) {}
float stringWidth(wmfAPI*, wmfFont* f, char* str) {
    if (!f || !str) return 0;
    if (!fontsAvailable()) return 0.5f * float(qstrlen(str));
    try {
        QFont font = qtFont(f);
        font.setPixelSize(ReferencePixels);
        const QFontMetricsF metrics(font);
        const double ratio = f->lfHeight ? double(f->lfWidth) / f->lfHeight : 1.0;
        const double w = metrics.horizontalAdvance(decodeText(str, f->lfCharSet)) / ReferencePixels *
                         widthFactor(f, metrics) / (ratio > 0 ? ratio : 1.0);
        return std::isfinite(w) ? float(w) : 0.0f;
    } catch (...) {
        return 0;
    }
}

void drawText(wmfAPI* api, wmfDrawText_t* t) {
    draw(api, [&](Device& d) {
        const wmfDC* dc = t->dc;
        const wmfFont* f = dc->font;
        if (!fontsAvailable() || !f || !t->str || dc->ROPmode == R2_NOP) return;
        const double height = t->font_height;
        const QPointF at = point(t->pt);
        if (!std::isfinite(height) || height <= 0 || !finite(at)) return;
        const QString text = decodeText(t->str, f->lfCharSet);
        // Text taller than the reach around the image, or too far out to come into it, is
        // not drawn: Qt would take its time over glyphs that cannot show.
        const double pixels = height * d.scale.height();
        const double extent = pixels * (text.size() + 1) * 2;
        if (pixels > d.reach.height() ||
            !d.reach.adjusted(-extent, -extent, extent, extent).contains(d.toImage.map(at)))
            return;
        QPainter& p = *d.painter;
        p.save();
        const QRectF clip = box(t->TL, t->BR);
        if (finite(clip) && !clip.isEmpty()) {
            if (t->flags & ETO_CLIPPED) p.setClipRect(clip, Qt::IntersectClip);
            if (t->flags & ETO_OPAQUE) p.fillRect(clip, colour(dc->bgcolor));
        }
        QFont font = qtFont(f);
        font.setPixelSize(ReferencePixels);
        const QFontMetricsF metrics(font);
        const double player = f->lfHeight ? double(f->lfWidth) / f->lfHeight : 1.0;
        const double ratio = std::isfinite(t->font_ratio) && player > 0 ? t->font_ratio / player : 1.0;
        const double sx = std::clamp(ratio * widthFactor(f, metrics), 0.05, 20.0);
        const double k = height / ReferencePixels;
        p.translate(at);
        p.rotate(-f->lfEscapement / 10.0);
        p.scale(k * sx, k);
        if (dc->bgmode == OPAQUE && !text.isEmpty())
            p.fillRect(QRectF(0, -metrics.ascent(), metrics.horizontalAdvance(text),
                              metrics.ascent() + metrics.descent()),
                       colour(dc->bgcolor));
        // As an outline, not through the glyph cache: under the stretched and skewed
        // transforms a metafile can ask for, FreeType's rasteriser overflows and Qt then
        // copies from a glyph that was never made.
        QPainterPath outline;
        outline.addText(QPointF(0, 0), font, text);
        p.fillPath(outline, ropColour(dc->ROPmode, colour(dc->textcolor)));
        p.restore();
    });
}

// --- Regions ----------------------------------------------------------------------------

// Region rectangles in image pixels; `count` of them (the entry after them is the extent).
QRegion imageRegion(const Device& d, const wmfPolyRectangle_t* r) {
    QRegion region;
    if (!r->TL || !r->BR) return region;
    constexpr unsigned MaxRects = 20000; // beyond this, the extent stands for the region
    const auto toPixels = [&](const wmfD_Coord& a, const wmfD_Coord& b) {
        const QRectF f = d.toImage.mapRect(box(a, b));
        if (!finite(f)) return QRect();
        const QRectF bounded = f & QRectF(-1e6, -1e6, 2e6, 2e6);
        return QRect(QPoint(int(std::lround(bounded.left())), int(std::lround(bounded.top()))),
                     QPoint(int(std::lround(bounded.right())) - 1,
                            int(std::lround(bounded.bottom())) - 1));
    };
    if (r->count > MaxRects) return QRegion(toPixels(r->TL[r->count], r->BR[r->count]));
    QList<QRect> rects;
    rects.reserve(r->count);
    for (unsigned i = 0; i < r->count; ++i) {
        const QRect rect = toPixels(r->TL[i], r->BR[i]);
        if (!rect.isEmpty()) rects << rect;
    }
    for (const QRect& rect : rects) region += rect;
    return region;
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

// Stops playing when the time is up: a file cannot keep the slide show waiting.
int status(void* context, float) {
    const auto* d = static_cast<const Device*>(context);
    return d->clock.elapsed() > DrawMilliseconds ? 1 : 0;
}

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
        const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR |
                                    WMF_OPT_NO_DEBUG;
        if (wmf_lite_create(&api_, flags, &options) != wmf_E_None) {
            api_ = nullptr;
            return;
        }
        api_->device_data = device;
        if (wmf_mem_open(api_, reinterpret_cast<unsigned char*>(bytes_.data()), long(bytes_.size())) !=
            wmf_E_None) {
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
    [[nodiscard]] bool play(Device* device) {
        wmf_status_function(api_, device, status);
        wmfD_Rect bbox{};
        return wmf_play(api_, 0, &bbox) == wmf_E_None;
    }

private:
    QByteArray bytes_;
    wmfAPI* api_ = nullptr;
};

// A frame with some area, in device units: the plan's, or the drawing's bounding box.
std::optional<QRectF> usableFrame(const Plan& plan, const std::optional<QRectF>& drawn) {
    std::optional<QRectF> frame = deviceFrame(plan);
    if (!frame || !finite(*frame) || frame->width() <= 0 || frame->height() <= 0) frame = drawn;
    if (!frame || !finite(*frame) || frame->width() <= 0 || frame->height() <= 0) return std::nullopt;
    return frame;
}

} // namespace wmf

} // namespace

Result<QSize> wmfSize(const QByteArray& bytes) {
    // The placeable header: a bounding box in metafile units and the units per inch.
    if (bytes.size() >= 22 && bytes.startsWith("\xD7\xCD\xC6\x9A")) {
        const int w = le16s(bytes, 10) - le16s(bytes, 6);
        const int h = le16s(bytes, 12) - le16s(bytes, 8);
        const int inch = quint16(le16s(bytes, 14));
        if (inch == 0) return invalid(QStringLiteral("no units per inch"));
        return checkedSize(std::abs(w) * 96.0 / inch, std::abs(h) * 96.0 / inch);
    }
    // Without it: the window the records set, or else the bounding box of the drawing, in
    // the units of the mapping mode (1440 to the inch when the mode has no unit of its own).
    const Result<wmf::Plan> plan = wmf::walk(bytes);
    if (!plan.ok()) return plan.error();
    const wmf::Mapping& m = plan.value().mapping;
    const double perPixel = m.unitsPerInch() / 96.0;
    if (const auto frame = wmf::logicalFrame(plan.value()))
        return checkedSize(std::abs(frame->width()) / perPixel, std::abs(frame->height()) / perPixel);
    wmf::Device device;
    wmf::Player player(wmf::trimmed(bytes, plan.value()), &device);
    if (!player.ok()) return invalid(QStringLiteral("the metafile could not be opened"));
    const std::optional<QRectF> drawn = player.scan();
    const std::optional<QPointF> unit = m.unit();
    if (!drawn || !unit) return invalid(QStringLiteral("the metafile's records could not be read"));
    return checkedSize(drawn->width() / std::abs(unit->x()) / perPixel,
                       drawn->height() / std::abs(unit->y()) / perPixel);
}

Result<QSize> emfSize(const QByteArray& bytes) {
    if (bytes.size() < 88) return invalid(QStringLiteral("the EMF header is cut short"));
    // The header's count of the file's bytes: a file shorter than it says was cut short.
    const qint64 declared = quint32(le32s(bytes, 48));
    if (declared < 88 || declared > bytes.size())
        return invalid(QStringLiteral("the EMF is not as long as its header says"));
    // The frame, in hundredths of a millimetre, both corners included.
    const double w = double(le32s(bytes, 32)) - le32s(bytes, 24);
    const double h = double(le32s(bytes, 36)) - le32s(bytes, 28);
    return checkedSize(w / 2540.0 * 96.0, h / 2540.0 * 96.0);
}

Result<QImage> renderWmf(const QByteArray& bytes, QSize size) {
    const Result<wmf::Plan> plan = wmf::walk(bytes);
    if (!plan.ok()) return plan.error();
    Result<QImage> blank = blankImage(size);
    if (!blank.ok()) return blank;

    wmf::Device device;
    device.clock.start();
    wmf::Player player(wmf::trimmed(bytes, plan.value()), &device);
    if (!player.ok()) return invalid(QStringLiteral("the metafile could not be opened"));
    const std::optional<QRectF> drawn = player.scan();
    if (!drawn) return invalid(QStringLiteral("the metafile's records could not be read"));
    const std::optional<QRectF> frame = wmf::usableFrame(plan.value(), drawn);
    if (!frame) return invalid(QStringLiteral("the metafile draws nothing"));

    QImage image = std::move(blank).value();
    device.scale = QSizeF(size.width() / frame->width(), size.height() / frame->height());
    device.toImage = QTransform(device.scale.width(), 0, 0, device.scale.height(),
                                -frame->left() * device.scale.width(),
                                -frame->top() * device.scale.height());
    const double diagonal = std::hypot(size.width(), size.height());
    device.maxPenWidth = 2 * diagonal / std::min(device.scale.width(), device.scale.height());
    device.reach = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(-3 * diagonal, -3 * diagonal,
                                                                3 * diagonal, 3 * diagonal);
    bool played = false;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setTransform(device.toImage);
        device.painter = &painter;
        played = player.play(&device);
        device.painter = nullptr;
    }
    if (!played || !device.ended)
        return invalid(device.clock.elapsed() > DrawMilliseconds
                           ? QStringLiteral("the metafile takes too long to draw")
                           : QStringLiteral("the metafile's records could not be drawn"));
    return image;
}

Result<QImage> renderEmf(const QByteArray& bytes, QSize size) {
    QElapsedTimer clock;
    clock.start();
    const Result<QSize> natural = emfSize(bytes);
    if (!natural.ok()) return natural.error();
    const Result<qsizetype> end = emf::walk(bytes);
    if (!end.ok()) return end.error();
    if (!drawable(size)) return invalid(QStringLiteral("the picture cannot be drawn at that size"));
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("svg");
    options.svgDelimiter = true;
    options.imgWidth = natural.value().width();
    options.imgHeight = natural.value().height();
    char* svg = nullptr;
    size_t svgLength = 0;
    // The converter takes a writable buffer; zeros after the records keep any read of a
    // fixed-size part within it.
    QByteArray copy = bytes.left(end.value());
    copy.append(QByteArray(4096, '\0'));
    const int ok = emf2svg(copy.data(), size_t(end.value()), &svg, &svgLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
    if (!ok || !svg || svgLength > size_t(emf::MaxSvgBytes))
        return invalid(QStringLiteral("the EMF records could not be read"));
    return renderSvg(QByteArray(svg, qsizetype(svgLength)), natural.value(), size, clock);
}

} // namespace rt
