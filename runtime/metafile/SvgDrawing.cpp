// An SVG document drawn into an image, its numbers first pulled within reach of the frame.

#include "SvgDrawing.h"

#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QtMath>

#include <algorithm>

namespace rt::mf {

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


Result<QImage> renderSvg(const QByteArray& svg, QSize natural, QSize size) {
    const double limit = 8.0 * std::max(natural.width(), natural.height());
    QSvgRenderer renderer(boundedSvg(svg, limit));
    if (!renderer.isValid()) return invalid(QStringLiteral("the metafile could not be drawn"));
    Result<QImage> image = blankImage(size);
    if (!image.ok()) return image;
    QImage out = std::move(image).value();
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    p.end();
    return out;
}

} // namespace rt::mf
