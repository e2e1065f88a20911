// Metafile sizes from their headers: the EMF frame and the placeable WMF box, in 96-dpi pixels.

#include "MetafileHeader.h"

#include <QtEndian>

#include <cmath>

namespace rt {

namespace {

Error invalid(const QString& why) {
    return Error{err::InvalidPicture, why};
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
    const char* b = bytes.constData();
    // The header's count of the file's bytes: a file shorter than it says was cut short.
    const qint64 declared = qFromLittleEndian<quint32>(b + 48);
    if (declared < 88 || declared > bytes.size())
        return invalid(QStringLiteral("the EMF is not as long as its header says"));
    // The frame, in hundredths of a millimetre, both corners included.
    const double w = double(qFromLittleEndian<qint32>(b + 32)) - qFromLittleEndian<qint32>(b + 24);
    const double h = double(qFromLittleEndian<qint32>(b + 36)) - qFromLittleEndian<qint32>(b + 28);
    return checkedSize(w / 2540.0 * 96.0, h / 2540.0 * 96.0);
}

std::optional<Result<QSize>> placeableWmfSize(const QByteArray& bytes) {
    if (bytes.size() < 22 || !bytes.startsWith("\xD7\xCD\xC6\x9A")) return std::nullopt;
    const char* b = bytes.constData();
    // A bounding box in metafile units and the units per inch.
    const int w = qFromLittleEndian<qint16>(b + 10) - qFromLittleEndian<qint16>(b + 6);
    const int h = qFromLittleEndian<qint16>(b + 12) - qFromLittleEndian<qint16>(b + 8);
    const int inch = qFromLittleEndian<quint16>(b + 14);
    if (inch == 0) return Result<QSize>(invalid(QStringLiteral("no units per inch")));
    return checkedSize(std::abs(w) * 96.0 / inch, std::abs(h) * 96.0 / inch);
}

} // namespace rt
