// Metafile sizes from their headers: the EMF frame and the placeable WMF box, in 96-dpi pixels.

#include "MetafileHeader.h"

#include <QtEndian>

#include <cmath>

namespace rt {

Result<QSize> checkedSize(double w, double h) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return refusedPicture(QStringLiteral("the picture's frame is empty or too large"));
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

Result<QSize> emfSize(const QByteArray& bytes) {
    if (bytes.size() < 88) return refusedPicture(QStringLiteral("the EMF header is cut short"));
    const char* b = bytes.constData();
    // The header's count of the file's bytes: a file shorter than it says was cut short.
    const qint64 declared = qFromLittleEndian<quint32>(b + 48);
    if (declared < 88 || declared > bytes.size())
        return refusedPicture(QStringLiteral("the EMF is not as long as its header says"));
    // The frame, in hundredths of a millimetre, both corners included.
    const double w = double(qFromLittleEndian<qint32>(b + 32)) - qFromLittleEndian<qint32>(b + 24);
    const double h = double(qFromLittleEndian<qint32>(b + 36)) - qFromLittleEndian<qint32>(b + 28);
    return checkedSize(w / 2540.0 * 96.0, h / 2540.0 * 96.0);
}

std::optional<Result<PlaceableWmfHeader>> placeableWmfHeader(QByteArrayView bytes) {
    const char* b = bytes.data();
    if (bytes.size() < 4 || qFromLittleEndian<quint32>(b) != PlaceableWmfKey) return std::nullopt;
    if (bytes.size() < PlaceableWmfHeader::Bytes)
        return Result<PlaceableWmfHeader>(
            refusedPicture(QStringLiteral("the WMF header is cut short")));
    PlaceableWmfHeader header;
    header.left = qFromLittleEndian<qint16>(b + 6);
    header.top = qFromLittleEndian<qint16>(b + 8);
    header.right = qFromLittleEndian<qint16>(b + 10);
    header.bottom = qFromLittleEndian<qint16>(b + 12);
    header.inch = qFromLittleEndian<quint16>(b + 14);
    return header;
}

std::optional<Result<QSize>> placeableWmfSize(const QByteArray& bytes) {
    const auto header = placeableWmfHeader(bytes);
    if (!header) return std::nullopt;
    if (!header->ok()) return Result<QSize>(header->error());
    const PlaceableWmfHeader& p = header->value();
    if (p.inch == 0) return Result<QSize>(refusedPicture(QStringLiteral("no units per inch")));
    const int w = p.right - p.left, h = p.bottom - p.top;
    return checkedSize(std::abs(w) * 96.0 / p.inch, std::abs(h) * 96.0 / p.inch);
}

} // namespace rt
