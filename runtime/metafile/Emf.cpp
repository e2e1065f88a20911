// Enhanced metafiles: every record checked, then converted to SVG by libemf2svg and drawn.

#include "Metafile.h"
#include "MetafileCommon.h"
#include "SvgDrawing.h"

#include <emf2svg.h>
#include <uemf.h>
#include <uemf_safe.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace rt {

using namespace mf;

namespace {

// ---------------------------------------------------------------------------------------
// Enhanced metafiles are converted to SVG by libemf2svg, which trusts the counts and
// offsets inside records: every record it reads is checked first.

namespace emf {

constexpr qsizetype MaxRecords = 1'000'000;
constexpr qsizetype MaxSvgBytes = qsizetype(1) << 26;

class Record {
public:
    Record(const char* data, quint32 size) : data_(data), size_(size) {}
    [[nodiscard]] quint32 u32(quint32 at) const {
        return at <= size_ - 4 ? qFromLittleEndian<quint32>(data_ + at) : 0;
    }
    [[nodiscard]] quint16 u16(quint32 at) const {
        return at <= size_ - 2 ? qFromLittleEndian<quint16>(data_ + at) : 0;
    }
    // Whether `count` items of `item` bytes at `at` lie within the record.
    [[nodiscard]] bool fits(quint64 at, quint64 count, quint64 item = 1) const {
        return at <= size_ && count <= (size_ - at) / std::max<quint64>(item, 1);
    }
    [[nodiscard]] const char* data() const { return data_; }
    [[nodiscard]] quint32 size() const { return size_; }

private:
    const char* data_;
    quint32 size_;
};

// A bitmap given by four words at `at`: header offset and size, pixels offset and size.
// `noColourTable`: the record says its pixels index the palette (a pattern brush made with
// DIB_PAL_INDICES, as Office writes them), so the header need not hold the colour table
// the converter may still read; that table must then lie within the record.
bool bitmapFits(const Record& r, quint32 at, bool noColourTable = false) {
    const quint32 offHeader = r.u32(at), headerBytes = r.u32(at + 4);
    const quint32 offBits = r.u32(at + 8), bitsBytes = r.u32(at + 12);
    if (headerBytes == 0) return true; // an operation without a source bitmap
    if (headerBytes < 40 || !r.fits(offHeader, headerBytes) || !r.fits(offBits, bitsBytes))
        return false;
    const char* h = r.data() + offHeader;
    const quint32 size = qFromLittleEndian<quint32>(h);
    const qint64 w = qFromLittleEndian<qint32>(h + 4);
    const qint64 height = std::abs(qint64(qFromLittleEndian<qint32>(h + 8)));
    const int bits = qFromLittleEndian<quint16>(h + 14);
    const quint32 compression = qFromLittleEndian<quint32>(h + 16);
    const quint32 used = qFromLittleEndian<quint32>(h + 32);
    if (size < 40 || size > headerBytes || w < 1 || height < 1 || w > MaxBitmapSide ||
        height > MaxBitmapSide || w * height > MaxBitmapPixels || used > 256)
        return false;
    if (compression == U_BI_JPEG || compression == U_BI_PNG) return bitsBytes > 0;
    if (compression != U_BI_RGB && compression != U_BI_BITFIELDS)
        return false; // run-length bitmaps are not read
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    // As many colours as the converter reads (libUEMF: never more than there are pixels).
    const qint64 colours = get_real_color_count(h);
    const qint64 masks = compression == U_BI_BITFIELDS && size == 40 ? 12 : 0;
    const qint64 tableEnd = size + colours * 4 + masks;
    if (tableEnd > headerBytes && !(noColourTable && r.fits(offHeader, quint64(tableEnd))))
        return false;
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
    if (!r.fits(32, polygons, 4) || !r.fits(32 + quint64(polygons) * 4, points, pointSize))
        return false;
    quint64 sum = 0;
    for (quint32 i = 0; i < polygons; ++i)
        sum += r.u32(32 + 4 * i);
    return sum <= points;
}

bool textFits(const Record& r, bool wide) {
    const quint32 chars = r.u32(44), offString = r.u32(48), options = r.u32(52);
    if (!r.fits(offString, chars, wide ? 2 : 1)) return false;
    const quint32 offDx = r.u32(options & U_ETO_NO_RECT ? 56 : 72); // no rectangle: earlier
    return offDx == 0 || r.fits(offDx, chars, options & U_ETO_PDY ? 8 : 4);
}

// Whether what a record of this type points to and counts lies within it.
bool contentsFit(quint32 type, const Record& r) {
    switch (type) {
    case U_EMR_HEADER:
        return r.u32(60) == 0 || r.fits(r.u32(64), r.u32(60), 2);
    case U_EMR_POLYBEZIER:
    case U_EMR_POLYGON:
    case U_EMR_POLYLINE:
    case U_EMR_POLYBEZIERTO:
    case U_EMR_POLYLINETO:
        return r.fits(28, r.u32(24), 8);
    case U_EMR_POLYBEZIER16:
    case U_EMR_POLYGON16:
    case U_EMR_POLYLINE16:
    case U_EMR_POLYBEZIERTO16:
    case U_EMR_POLYLINETO16:
        return r.fits(28, r.u32(24), 4);
    case U_EMR_POLYPOLYLINE:
    case U_EMR_POLYPOLYGON:
        return polyPolygonFits(r, 8);
    case U_EMR_POLYPOLYLINE16:
    case U_EMR_POLYPOLYGON16:
        return polyPolygonFits(r, 4);
    case U_EMR_POLYDRAW:
        return r.fits(28, r.u32(24), 9);
    case U_EMR_POLYDRAW16:
        return r.fits(28, r.u32(24), 5);
    case U_EMR_EOF:
        return r.u32(8) == 0 || r.fits(r.u32(12), r.u32(8), 4);
    case U_EMR_CREATEPALETTE:
        return r.fits(16, r.u16(14), 4);
    case U_EMR_SETPALETTEENTRIES:
        return r.fits(20, r.u32(16), 4);
    case U_EMR_COMMENT:
        return r.fits(12, r.u32(8));
    case U_EMR_FILLRGN:
        return regionFits(r, 24, 32);
    case U_EMR_FRAMERGN:
        return regionFits(r, 24, 40);
    case U_EMR_INVERTRGN:
    case U_EMR_PAINTRGN:
        return regionFits(r, 24, 28);
    case U_EMR_EXTSELECTCLIPRGN:
        return regionFits(r, 8, 16);
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
    case U_EMR_ALPHABLEND:
    case U_EMR_TRANSPARENTBLT:
        return bitmapFits(r, 84);
    case U_EMR_MASKBLT:
        return bitmapFits(r, 84) && bitmapFits(r, 112);
    case U_EMR_PLGBLT:
        return bitmapFits(r, 96) && bitmapFits(r, 124);
    case U_EMR_SETDIBITSTODEVICE:
    case U_EMR_STRETCHDIBITS:
        return bitmapFits(r, 48);
    case U_EMR_CREATEMONOBRUSH:
    case U_EMR_CREATEDIBPATTERNBRUSHPT:
        return bitmapFits(r, 16, r.u32(12) == U_DIB_PAL_INDICES);
    case U_EMR_EXTCREATEPEN:
        return bitmapFits(r, 12) && r.fits(52, r.u32(48), 4);
    case U_EMR_EXTTEXTOUTA:
        return textFits(r, false);
    case U_EMR_EXTTEXTOUTW:
        return textFits(r, true);
    case U_EMR_SMALLTEXTOUT: {
        const quint32 chars = r.u32(16), options = r.u32(20);
        return r.fits(options & U_ETO_NO_RECT ? 36 : 52, chars,
                      options & U_ETO_SMALL_CHARS ? 1 : 2);
    }
    case U_EMR_GRADIENTFILL: {
        const quint32 vertices = r.u32(24), shapes = r.u32(28), mode = r.u32(32);
        const quint32 indices = mode == U_GRADIENT_FILL_TRIANGLE ? 3 : 2;
        if (!r.fits(36, vertices, 16) || !r.fits(36 + quint64(vertices) * 16, shapes, 4 * indices))
            return false;
        for (quint64 i = 0; i < quint64(shapes) * indices; ++i)
            if (r.u32(quint32(36 + quint64(vertices) * 16 + 4 * i)) >= vertices) return false;
        return true;
    }
    default:
        return true;
    }
}

// Whether a record of this type puts anything on the page (the others set up state, name
// objects, or comment).
bool draws(quint32 type) {
    switch (type) {
    case U_EMR_POLYBEZIER:
    case U_EMR_POLYGON:
    case U_EMR_POLYLINE:
    case U_EMR_POLYBEZIERTO:
    case U_EMR_POLYLINETO:
    case U_EMR_POLYPOLYLINE:
    case U_EMR_POLYPOLYGON:
    case U_EMR_SETPIXELV:
    case U_EMR_ANGLEARC:
    case U_EMR_ELLIPSE:
    case U_EMR_RECTANGLE:
    case U_EMR_ROUNDRECT:
    case U_EMR_ARC:
    case U_EMR_CHORD:
    case U_EMR_PIE:
    case U_EMR_EXTFLOODFILL:
    case U_EMR_LINETO:
    case U_EMR_ARCTO:
    case U_EMR_POLYDRAW:
    case U_EMR_FILLPATH:
    case U_EMR_STROKEANDFILLPATH:
    case U_EMR_STROKEPATH:
    case U_EMR_FILLRGN:
    case U_EMR_FRAMERGN:
    case U_EMR_INVERTRGN:
    case U_EMR_PAINTRGN:
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
    case U_EMR_MASKBLT:
    case U_EMR_PLGBLT:
    case U_EMR_SETDIBITSTODEVICE:
    case U_EMR_STRETCHDIBITS:
    case U_EMR_EXTTEXTOUTA:
    case U_EMR_EXTTEXTOUTW:
    case U_EMR_POLYBEZIER16:
    case U_EMR_POLYGON16:
    case U_EMR_POLYLINE16:
    case U_EMR_POLYBEZIERTO16:
    case U_EMR_POLYLINETO16:
    case U_EMR_POLYPOLYLINE16:
    case U_EMR_POLYPOLYGON16:
    case U_EMR_POLYDRAW16:
    case U_EMR_POLYTEXTOUTA:
    case U_EMR_POLYTEXTOUTW:
    case U_EMR_SMALLTEXTOUT:
    case U_EMR_ALPHABLEND:
    case U_EMR_TRANSPARENTBLT:
    case U_EMR_GRADIENTFILL:
        return true;
    default:
        return false;
    }
}

// The Windows metafile a comment record carries: the public comment an EMF made from an
// older drawing keeps it in (type, size, byte count, "GDIC", the comment's kind, then
// version, checksum, flags and the metafile's size, 36 bytes in all, then the metafile).
// Empty when the record is no such comment, or the metafile is compressed or does not
// fit in it.
QByteArray carriedWmf(const Record& r) {
    constexpr quint32 FixedPart = 36;
    if (r.size() < FixedPart || r.u32(12) != U_EMR_COMMENT_PUBLIC ||
        r.u32(16) != U_EMR_COMMENT_WINDOWS_METAFILE || r.u32(28) != 0)
        return {};
    const quint32 length = r.u32(32);
    if (length == 0 || !r.fits(FixedPart, length) || quint64(r.u32(8)) < 24 + quint64(length))
        return {};
    return QByteArray(r.data() + FixedPart, qsizetype(length));
}

struct CheckedEmf {
    qsizetype end = 0;  // bytes up to and including the end record
    bool draws = false; // whether a record puts anything on the page
    QByteArray wmf;     // the Windows metafile the first comment to carry one carries
};

// Every record checked: where the records end, whether any draws, and the Windows
// metafile a comment carries.
Result<CheckedEmf> checkRecords(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    if (n < 88 || qFromLittleEndian<quint32>(b) != U_EMR_HEADER || bytes.mid(40, 4) != " EMF")
        return refusedPicture(QStringLiteral("not an enhanced metafile"));
    CheckedEmf checked;
    qsizetype at = 0, count = 0;
    for (;;) {
        if (n - at < 8) return refusedPicture(QStringLiteral("the metafile ends early"));
        const quint32 type = qFromLittleEndian<quint32>(b + at);
        const quint32 size = qFromLittleEndian<quint32>(b + at + 4);
        if (size < 8 || size % 4 != 0 || size > n - at)
            return refusedPicture(QStringLiteral("a metafile record has a bad length"));
        if (++count > MaxRecords)
            return refusedPicture(QStringLiteral("the metafile has too many records"));
        if ((type == U_EMR_HEADER) != (at == 0))
            return refusedPicture(QStringLiteral("the metafile's header is out of place"));
        const Record record(b + at, size);
        // libUEMF checks each record's fixed part and what its offsets and counts point
        // to, within 32 bits; what that leaves (wider counts, whole bitmaps, sums of
        // counts, indices) is checked here.
        if (!U_emf_record_safe(b + at) || !contentsFit(type, record))
            return refusedPicture(QStringLiteral("a metafile record does not hold what it says"));
        at += size;
        checked.draws = checked.draws || draws(type);
        if (type == U_EMR_COMMENT && checked.wmf.isEmpty()) checked.wmf = carriedWmf(record);
        if (type == U_EMR_EOF) {
            checked.end = at;
            return checked;
        }
    }
}

} // namespace emf

} // namespace

Result<QImage> renderEmf(const QByteArray& bytes, QSize size) {
    const Result<QSize> natural = emfSize(bytes);
    if (!natural.ok()) return natural.error();
    const Result<emf::CheckedEmf> checked = emf::checkRecords(bytes);
    if (!checked.ok()) return checked.error();
    if (!drawable(size))
        return refusedPicture(QStringLiteral("the picture cannot be drawn at that size"));
    // An EMF made from an older drawing may hold no drawing of its own, only the Windows
    // metafile in its comment: that is the picture then.
    if (!checked.value().draws && !checked.value().wmf.isEmpty())
        return renderWmf(checked.value().wmf, size);
    const qsizetype end = checked.value().end;
    generatorOptions options{};
    options.nameSpace = nullptr; // QtSvg reads clip paths and images only without a prefix
    options.svgDelimiter = true;
    options.imgWidth = natural.value().width();
    options.imgHeight = natural.value().height();
    char* svg = nullptr;
    size_t svgLength = 0;
    // The converter takes a writable buffer; zeros after the records keep any read of a
    // fixed-size part within it.
    QByteArray copy = bytes.left(end);
    copy.append(QByteArray(4096, '\0'));
    const int ok = emf2svg(copy.data(), size_t(end), &svg, &svgLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
    if (!ok || !svg || svgLength > size_t(emf::MaxSvgBytes))
        return refusedPicture(QStringLiteral("the EMF records could not be read"));
    return renderSvg(QByteArray(svg, qsizetype(svgLength)), natural.value(), size);
}

} // namespace rt
