#include "MetafileHeader.h"

#include <cmath>

namespace rt {

namespace {

Error invalid(const QString& why) { return Error{err::InvalidPicture, why}; }

qint32 le32s(const QByteArray& b, qsizetype at) {
    return qint32(quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
                  quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24);
}
qint16 le16s(const QByteArray& b, qsizetype at) {
    return qint16(quint16(quint8(b[at]) | quint8(b[at + 1]) << 8));
}

// Pictures larger than this many pixels a side are refused, whatever their header says.
constexpr int MaxSide = 32767;

Result<QSize> checkedSize(double w, double h) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return invalid(QStringLiteral("the picture's frame is empty or too large"));
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

} // namespace

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

std::optional<Result<QSize>> placeableWmfSize(const QByteArray& bytes) {
    if (bytes.size() < 22 || !bytes.startsWith("\xD7\xCD\xC6\x9A")) return std::nullopt;
    // A bounding box in metafile units and the units per inch.
    const int w = le16s(bytes, 10) - le16s(bytes, 6);
    const int h = le16s(bytes, 12) - le16s(bytes, 8);
    const int inch = quint16(le16s(bytes, 14));
    if (inch == 0) return Result<QSize>(invalid(QStringLiteral("no units per inch")));
    return checkedSize(std::abs(w) * 96.0 / inch, std::abs(h) * 96.0 / inch);
}

} // namespace rt
