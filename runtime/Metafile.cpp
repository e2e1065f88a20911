#include "Metafile.h"

#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace rt {

namespace {

Error invalid(const QString& why) { return Error{err::InvalidPicture, why}; }

qint32 le32s(const QByteArray& b, int at) {
    return qint32(quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
                  quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24);
}
qint16 le16s(const QByteArray& b, int at) {
    return qint16(quint16(quint8(b[at]) | quint8(b[at + 1]) << 8));
}

// Pictures larger than this many pixels a side are refused, whatever their header says.
constexpr int MaxSide = 32767;

Result<QSize> checkedSize(double w, double h) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return invalid(QStringLiteral("the picture's frame is empty or too large"));
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

Result<QImage> renderSvg(const QByteArray& svg, QSize size) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) return invalid(QStringLiteral("the metafile could not be drawn"));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return invalid(QStringLiteral("the picture is too large"));
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

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
    return invalid(QStringLiteral("a metafile without its placeable header has no size"));
}

Result<QSize> emfSize(const QByteArray& bytes) {
    if (bytes.size() < 88) return invalid(QStringLiteral("the EMF header is cut short"));
    // The frame, in hundredths of a millimetre, both corners included.
    const double w = double(le32s(bytes, 32)) - le32s(bytes, 24);
    const double h = double(le32s(bytes, 36)) - le32s(bytes, 28);
    return checkedSize(w / 2540.0 * 96.0, h / 2540.0 * 96.0);
}

Result<QImage> renderWmf(const QByteArray& bytes, QSize size) {
    Q_UNUSED(bytes);
    Q_UNUSED(size);
    return invalid(QStringLiteral("WMF drawing is not available"));
}

Result<QImage> renderEmf(const QByteArray& bytes, QSize size) {
    const Result<QSize> natural = emfSize(bytes);
    if (!natural.ok()) return natural.error();
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("svg");
    options.svgDelimiter = true;
    options.imgWidth = natural.value().width();
    options.imgHeight = natural.value().height();
    char* svg = nullptr;
    size_t svgLength = 0;
    QByteArray copy = bytes; // the converter takes a writable buffer
    const int ok = emf2svg(copy.data(), size_t(copy.size()), &svg, &svgLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
    if (!ok || !svg) return invalid(QStringLiteral("the EMF records could not be read"));
    return renderSvg(QByteArray(svg, qsizetype(svgLength)), size);
}

} // namespace rt
