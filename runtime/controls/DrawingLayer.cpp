// A form's lines and boxes drawn on a layer above it, in pixels, presented when the form
// asks.

#include "DrawingLayer.h"

#include "DisplaySync.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace rt {

namespace {

// The box with these two corners, both included, in whichever order they come.
// (QRect(a, b).normalized() would leave out both ends when b lies left of or above a.)
QRect spanning(QPoint a, QPoint b) {
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

} // namespace

DrawingLayer::DrawingLayer(QWidget* form) : QWidget(form) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    form->installEventFilter(this);
    fitToForm();
    hide(); // shown only while it holds figures
}

void DrawingLayer::fitToForm() {
    const QSize size = parentWidget()->size();
    setGeometry(QRect(QPoint(0, 0), size));
    if (image_.size() != size) {
        endPainting();
        image_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        empty_ = true;
        dirty_ = QRegion();
    }
}

bool DrawingLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) fitToForm();
    return QWidget::eventFilter(watched, event);
}

QPainter& DrawingLayer::painter() {
    writeStrips(); // the strips drawn before come first
    if (!painter_) painter_ = std::make_unique<QPainter>(&image_);
    return *painter_;
}

void DrawingLayer::endPainting() const {
    painter_.reset();
    writeStrips();
}

void DrawingLayer::strip(const QRect& r, const QColor& colour) {
    const QRect inside = r & image_.rect();
    empty_ = false;
    if (inside.isEmpty()) return;
    if (colour.alpha() != 255) {
        painter().fillRect(inside, colour);
        dirty_ += inside;
        return;
    }
    painter_.reset();
    // A strip covering one of the last few exactly replaces it: the earlier one's pixels
    // would all be written over, whatever came between, and its place is already in the
    // changed region.
    const std::size_t from = strips_.size() > RecentStrips ? strips_.size() - RecentStrips : 0;
    for (std::size_t i = strips_.size(); i-- > from;) {
        if (strips_[i].rect == inside) {
            strips_[i].rect = QRect();
            strips_.push_back({inside, qPremultiply(colour.rgba())});
            return;
        }
    }
    strips_.push_back({inside, qPremultiply(colour.rgba())});
    dirty_ += inside;
    if (strips_.size() >= MaxStrips) writeStrips();
}

void DrawingLayer::writeStrips() const {
    // A band of rows at a time, and in each band every strip that crosses it in the order
    // drawn, so that a later strip still lands over an earlier one. A wipe's strips are
    // mostly columns one pixel wide: written a whole column at a time, each would touch a
    // cache line per row of the screen, 2160 of them at 3840 x 2160, where within a band
    // the next columns find the same lines still in the cache. The pixels are written
    // directly: Qt's raster engine would cost a span per row per strip.
    constexpr int BandRows = 32;
    int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
    for (const Strip& s : strips_) {
        if (s.rect.isEmpty()) continue; // written over before it was ever shown
        top = std::min(top, s.rect.top());
        bottom = std::max(bottom, s.rect.bottom());
    }
    if (top <= bottom) {
        uchar* const bits = image_.bits(); // one check for sharing, not one per row
        const qsizetype stride = image_.bytesPerLine();
        for (int band = top; band <= bottom; band += BandRows) {
            const int last = std::min(bottom, band + BandRows - 1);
            for (const Strip& s : strips_) {
                const int to = std::min(last, s.rect.bottom());
                for (int y = std::max(band, s.rect.top()); y <= to; ++y) {
                    QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride);
                    std::fill(line + s.rect.left(), line + s.rect.right() + 1, s.pixel);
                }
            }
        }
    }
    strips_.clear();
}

void DrawingLayer::line(QPoint a, QPoint b, const QColor& colour) {
    if (a.x() == b.x() || a.y() == b.y()) {
        // Straight across or down, as most figures of a wipe are: a strip of pixels.
        strip(spanning(a, b), colour);
        return;
    }
    QPainter& p = painter();
    p.setPen(QPen(colour, 1));
    p.drawLine(a, b);
    empty_ = false;
    // An aliased one-pixel line stays within the box of its two ends.
    dirty_ += spanning(a, b) & image_.rect();
}

void DrawingLayer::box(QPoint a, QPoint b, const QColor& colour) {
    const QRect r = spanning(a, b);
    if (r.width() <= 1 || r.height() <= 1) {
        strip(r, colour);
    } else {
        // The outline, as four one-pixel strips; only they are repainted, not the inside.
        strip(QRect(r.left(), r.top(), r.width(), 1), colour);
        strip(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        strip(QRect(r.left(), r.top(), 1, r.height()), colour);
        strip(QRect(r.right(), r.top(), 1, r.height()), colour);
    }
}

std::chrono::nanoseconds DrawingLayer::frameInterval() const {
    const QScreen* s = screen();
    const double hz = s && s->refreshRate() > 1.0 ? s->refreshRate() : 60.0;
    return std::chrono::nanoseconds(static_cast<long long>(1e9 / hz));
}

void DrawingLayer::present() {
    endPainting();
    raise();
    if (isHidden()) {
        // Shown without repainting the whole form: the layer is transparent but for what
        // was drawn. (The update Qt posts for a shown widget comes after the tick, when a
        // new background has hidden the layer again.)
        show();
    }
    if (!dirty_.isEmpty()) {
        repaint(dirty_); // what changed, not the whole screen
        waitForDisplay();
    }
    dirty_ = QRegion();
    ++frames_;
}

void DrawingLayer::clear() {
    if (empty_) return;
    painter_.reset();
    strips_.clear();
    image_.fill(Qt::transparent);
    empty_ = true;
    dirty_ = QRegion();
    hide();
}

void DrawingLayer::paintEvent(QPaintEvent* event) {
    endPainting(); // every figure drawn so far is in the image
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QRect& r : event->region())
        p.drawImage(r, image_, r);
}

} // namespace rt
