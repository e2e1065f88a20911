// The benchmark pictures: camera-like JPEGs made on the spot, each with a band of one colour.

#include "TestPictures.h"

#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bench {

namespace {

// A cheap, repeatable grain.
struct XorShift {
    quint32 s;
    quint32 next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
};

// One channel's smooth profile along an axis: two waves of the seed's periods.
std::vector<int> profile(int length, XorShift& rng, int amplitude) {
    const double p1 = 300.0 + rng.next() % 2000;
    const double p2 = 40.0 + rng.next() % 200;
    const double phase = (rng.next() % 628) / 100.0;
    std::vector<int> v(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = 2.0 * std::numbers::pi * i;
        v[std::size_t(i)] =
            int(amplitude * std::sin(t / p1 + phase) + amplitude / 4.0 * std::sin(t / p2));
    }
    return v;
}

} // namespace

QImage photoLike(QSize size, QColor band, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    XorShift rng{seed * 2654435761u + 1u};
    std::vector<int> cols[3], rows[3];
    for (int c = 0; c < 3; ++c) {
        cols[c] = profile(size.width(), rng, 50);
        rows[c] = profile(size.height(), rng, 40);
    }
    const int bandTop = size.height() * 35 / 100;
    const int bandBottom = size.height() * 65 / 100;
    const QRgb solid = band.rgb();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (y >= bandTop && y < bandBottom) {
            std::fill(line, line + size.width(), solid);
            continue;
        }
        for (int x = 0; x < size.width(); ++x) {
            const quint32 r = rng.next();
            const int grain = int(r & 31) - 16;
            int ch[3];
            for (int c = 0; c < 3; ++c)
                ch[c] = std::clamp(128 + cols[c][std::size_t(x)] + rows[c][std::size_t(y)] + grain +
                                       int((r >> (8 + 4 * c)) & 7) - 4,
                                   0, 255);
            line[x] = qRgb(ch[0], ch[1], ch[2]);
        }
    }
    return image;
}

bool saveJpeg(const QImage& image, const QString& path, int quality, bool progressive) {
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(false);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image);
}

const std::vector<QColor>& bandColours() {
    static const std::vector<QColor> colours = [] {
        std::vector<QColor> v;
        for (int b : {255, 160})
            for (int r : {0, 80, 160, 240})
                for (int g : {0, 80, 160, 240}) {
                    if (r >= 160 && g >= 160) continue; // too close to white or grey
                    v.emplace_back(r, g, b);
                }
        return v;
    }();
    return colours;
}

} // namespace bench
