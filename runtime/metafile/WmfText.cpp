// Text in a Windows metafile: its bytes decoded by character set, its font found through
// fontconfig, drawn as outlines.

#include "WmfDevice.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QStringDecoder>

#include <algorithm>

namespace rt::wmf {

using namespace mf;

namespace {

// The code page of a Windows character set; ANSI (Windows-1252) for any other.
QString decodeText(const char* str, int charset) {
    const QByteArray bytes(str);
    const char* codec = "windows-1252";
    switch (charset) {
    case 128:
        codec = "Shift_JIS";
        break;
    case 129:
        codec = "windows-949";
        break;
    case 134:
        codec = "GBK";
        break;
    case 136:
        codec = "Big5";
        break;
    case 161:
        codec = "windows-1253";
        break;
    case 162:
        codec = "windows-1254";
        break;
    case 163:
        codec = "windows-1258";
        break;
    case 177:
        codec = "windows-1255";
        break;
    case 178:
        codec = "windows-1256";
        break;
    case 186:
        codec = "windows-1257";
        break;
    case 204:
        codec = "windows-1251";
        break;
    case 222:
        codec = "windows-874";
        break;
    case 238:
        codec = "windows-1250";
        break;
    default:
        break;
    }
    QStringDecoder decoder(codec);
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(bytes);
}

// A Qt font for a metafile font: the family asked for, which fontconfig maps to an
// installed look-alike (its metric aliases: Arial to Liberation Sans, ...), else the
// generic family the pitch-and-family byte names.
QFont qtFont(const wmfFont* f) {
    const QString face = f->lfFaceName ? QString::fromLatin1(f->lfFaceName).trimmed() : QString();
    QStringList families;
    if (!face.isEmpty()) families << face;
    QFont::StyleHint hint = QFont::SansSerif;
    switch (f->lfPitchAndFamily & 0xF0) {
    case 0x10:
        hint = QFont::Serif;
        break;
    case 0x30:
        hint = QFont::Monospace;
        break;
    case 0x40:
        hint = QFont::Cursive;
        break;
    case 0x50:
        hint = QFont::Decorative;
        break;
    default:
        if ((f->lfPitchAndFamily & 0x03) == 1) hint = QFont::Monospace;
        break;
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
bool fontsAvailable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// Text is drawn at this size and scaled: sizes in the metafile's units can be tiny.
constexpr int ReferencePixels = 200;

// How much wider than Qt's own the text is drawn: 1, unless the font gives an average
// character width (the player makes the width equal the height when it does not).
double widthFactor(const wmfFont* f, const QFontMetricsF& metrics) {
    if (f->lfWidth == f->lfHeight || f->lfHeight == 0) return 1.0;
    const double average = metrics.averageCharWidth() / ReferencePixels;
    return average > 0 ? 1.0 / average * double(f->lfWidth) / f->lfHeight : 1.0;
}

} // namespace

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
        const double w = metrics.horizontalAdvance(decodeText(str, f->lfCharSet)) /
                         ReferencePixels * widthFactor(f, metrics) / (ratio > 0 ? ratio : 1.0);
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
        const double ratio =
            std::isfinite(t->font_ratio) && player > 0 ? t->font_ratio / player : 1.0;
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

} // namespace rt::wmf
