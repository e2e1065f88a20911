// A Windows metafile's records checked before playing, and its frame in logical and device units.

#include "WmfPlan.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace rt::wmf {

using namespace mf;

namespace {

constexpr int HeaderSize = 18;

// Bounds on the work a file may ask for.
constexpr qsizetype MaxRecords = 1'000'000;
constexpr int MaxExcludedClips = 4096;   // each may split the clip region further
constexpr qint64 MaxRegionWords = 16384; // region bands are merged one rectangle at a time
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
    case SaveDc:
    case RealizePalette:
    case SetPaletteEntries:
    case CreatePalette:
    case SetBkMode:
    case SetMapMode:
    case SetRop2:
    case SetRelAbs:
    case SetPolyFillMode:
    case SetStretchBltMode:
    case SetTextCharExtra:
    case RestoreDc:
    case SelectClipRegion:
    case SelectObject:
    case SetTextAlign:
    case DibCreatePatternBrush:
    case DeleteObject:
    case SetBkColor:
    case SetTextColor:
    case SetTextJustification:
    case SetWindowOrg:
    case SetWindowExt:
    case SetViewportOrg:
    case SetViewportExt:
    case OffsetWindowOrg:
    case OffsetViewportOrg:
    case MoveTo:
    case OffsetClipRgn:
    case SetMapperFlags:
    case SelectPalette:
    case CreatePenIndirect:
    case CreateFontIndirect:
    case CreateBrushIndirect:
    case ScaleWindowExt:
    case ScaleViewportExt:
    case ExcludeClipRect:
    case IntersectClipRect:
    case Escape:
    case CreateRegion:
        return true;
    default:
        return false;
    }
}

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
        while (slot < slots_.size() && slots_[slot] != Free)
            ++slot;
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
        case Pen:
            current_.pen = slot;
            break;
        case Brush:
            current_.brush = slot;
            break;
        case Font:
            current_.font = slot;
            break;
        default:
            break;
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

// A record's parameters: 16-bit words, 0 past the record's end.
struct Params {
    const char* at;
    quint32 count;
    [[nodiscard]] qint16 operator()(quint32 i) const {
        return i < count ? qFromLittleEndian<qint16>(at + 2 * i) : qint16(0);
    }
};

// The placeable header, when there is one, then the standard header. Returns the size of
// the object table the standard header declares.
Result<int> readHeaders(const char* b, qsizetype n, CheckedWmf& checked) {
    if (const auto placeable = placeableWmfHeader(QByteArrayView(b, n))) {
        if (!placeable->ok()) return placeable->error();
        const PlaceableWmfHeader& p = placeable->value();
        checked.placeable = true;
        checked.box = QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1));
        checked.mapping.inch = p.inch;
        checked.mapping.mode = Placeable;
        if (checked.mapping.inch == 0) return refusedPicture(QStringLiteral("no units per inch"));
        if (p.left == p.right || p.top == p.bottom)
            return refusedPicture(QStringLiteral("the WMF frame is empty"));
        checked.headerAt = PlaceableWmfHeader::Bytes;
    }
    const qsizetype h = checked.headerAt;
    if (n < h + HeaderSize) return refusedPicture(QStringLiteral("the WMF header is cut short"));
    const quint16 type = qFromLittleEndian<quint16>(b + h);
    const quint16 words = qFromLittleEndian<quint16>(b + h + 2);
    const quint16 version = qFromLittleEndian<quint16>(b + h + 4);
    if ((type != 1 && type != 2) || words != 9 || (version != 0x0100 && version != 0x0300))
        return refusedPicture(QStringLiteral("not a Windows metafile"));
    return int(qFromLittleEndian<quint16>(b + h + 10));
}

// A record before the drawing starts: the window, viewport and mapping mode it sets, as
// the player will have them when it draws. An error when the mapping cannot be kept.
std::optional<Error> applyMapping(quint16 f, const Params& par, CheckedWmf& checked) {
    Mapping& m = checked.mapping;
    switch (f) {
    case SetMapMode: {
        const int mode = quint16(par(0));
        if (mode >= Text && mode <= Anisotropic)
            m.mode = mode;
        else if (checked.placeable)
            m.mode = Placeable;
        else
            return refusedPicture(QStringLiteral("unknown mapping mode"));
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
    case SetViewportExt:
        m.viewportExt = QPoint(par(1), par(0));
        break;
    case SetViewportOrg:
    case OffsetViewportOrg: {
        // The player scales by the unit it keeps: signed when the window scales it.
        QPointF u = m.unit().value_or(QPointF(1, 1));
        if (m.mode != Isotropic && m.mode != Anisotropic)
            u = QPointF(std::abs(u.x()), std::abs(u.y()));
        const QPointF o(par(1) * u.x(), par(0) * u.y());
        m.viewportOrg = f == SetViewportOrg ? o : m.viewportOrg + o;
        break;
    }
    case ScaleWindowExt:
    case ScaleViewportExt: {
        if (par(2) == 0 || par(0) == 0)
            return refusedPicture(QStringLiteral("a scale divides by zero"));
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
    default:
        break;
    }
    return std::nullopt;
}

// The objects, saved states, regions and clips a file makes, kept within the bounds and in
// an order the player survives.
class Bookkeeping {
public:
    explicit Bookkeeping(int tableSize) : objects_(tableSize) {}

    // False when the record breaks the order or passes a bound.
    bool track(quint16 f, const Params& par) {
        switch (f) {
        case CreatePenIndirect:
            return objects_.create(ObjectTable::Pen);
        case CreateBrushIndirect:
        case DibCreatePatternBrush:
            return objects_.create(ObjectTable::Brush);
        case CreateFontIndirect:
            return objects_.create(ObjectTable::Font);
        case CreatePalette:
            return objects_.create(ObjectTable::Palette);
        case CreateRegion:
            regionWords_ += par.count;
            return regionWords_ <= MaxRegionWords && objects_.create(ObjectTable::Region);
        case DeleteObject:
            objects_.remove(quint16(par(0)));
            return true;
        case SelectObject:
            objects_.select(quint16(par(0)));
            return true;
        case SaveDc:
            return objects_.save();
        case RestoreDc:
            return objects_.restore();
        case ExcludeClipRect:
            return ++excluded_ <= MaxExcludedClips;
        default:
            return true;
        }
    }

private:
    ObjectTable objects_;
    int excluded_ = 0;
    qint64 regionWords_ = 0;
};

} // namespace

// Checks the records: every one within the file, an end record, bounded work, and object
// use the player can follow safely. Notes the mapping in force when drawing starts.
Result<CheckedWmf> checkWmf(const QByteArray& bytes) {
    CheckedWmf checked;
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    const Result<int> tableSize = readHeaders(b, n, checked);
    if (!tableSize.ok()) return tableSize.error();
    Bookkeeping books(tableSize.value());

    bool drawing = false;
    qsizetype at = checked.headerAt + HeaderSize, count = 0;
    for (;;) {
        if (n - at < 6) return refusedPicture(QStringLiteral("the metafile ends early"));
        const quint32 size = qFromLittleEndian<quint32>(b + at);
        const quint16 f = qFromLittleEndian<quint16>(b + at + 4);
        if (size < 3 || qint64(size) * 2 > n - at)
            return refusedPicture(QStringLiteral("a metafile record has a bad length"));
        if (++count > MaxRecords)
            return refusedPicture(QStringLiteral("the metafile has too many records"));
        checked.maxRecord = std::max(checked.maxRecord, size);
        const Params par{b + at + 6, size - 3};
        at += qsizetype(size) * 2;
        if (f == Eof && size == 3) break;

        // The mapping is what the records before the first drawing one make it.
        if (!drawing && !changesStateOnly(f)) drawing = true;
        if (!drawing) {
            if (const std::optional<Error> refused = applyMapping(f, par, checked)) return *refused;
        }
        if (!books.track(f, par))
            return refusedPicture(
                QStringLiteral("the metafile's objects or states are out of order"));
    }
    checked.end = at;
    if (!checked.mapping.unit())
        return refusedPicture(QStringLiteral("the metafile's window is empty"));
    return checked;
}

// The frame in logical units when the file gives one: the window the records set, or else
// the placeable header's box (Windows maps the window onto the frame when it plays a file).
std::optional<QRectF> logicalFrame(const CheckedWmf& checked) {
    const Mapping& m = checked.mapping;
    if (m.windowExtSet) {
        const QPoint org =
            m.windowOrgSet || !checked.placeable ? m.windowOrg : checked.box.topLeft();
        return QRectF(org, QSizeF(m.windowExt.x(), m.windowExt.y()));
    }
    if (checked.placeable) {
        const QPoint org = m.windowOrgSet ? m.windowOrg : checked.box.topLeft();
        return QRectF(org, QSizeF(checked.box.width(), checked.box.height()));
    }
    return std::nullopt;
}

// The frame in the player's device units.
std::optional<QRectF> deviceFrame(const CheckedWmf& checked) {
    const std::optional<QRectF> frame = logicalFrame(checked);
    if (!frame) return std::nullopt;
    const auto a = checked.mapping.toDevice(frame->topLeft());
    const auto b = checked.mapping.toDevice(frame->bottomRight());
    if (!a || !b) return std::nullopt;
    return QRectF(*a, *b).normalized();
}

// The file with only what the player should read: up to the end record, and the largest
// record size in its header made true (the player allocates its buffer from it).
QByteArray bytesForPlayer(const QByteArray& bytes, const CheckedWmf& checked) {
    QByteArray out = bytes.left(checked.end);
    const qsizetype at = checked.headerAt + 12;
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((checked.maxRecord >> (8 * i)) & 0xFF);
    return out;
}

} // namespace rt::wmf
