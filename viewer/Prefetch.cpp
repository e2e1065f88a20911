#include "Prefetch.h"

#include "PictureLoader.h"
#include "Platform.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace viewer {

namespace {
int px(float twips) { return std::max(1, int(std::lround(twips / rt::TwipsPerPixel))); }
float twips(int pixels) { return float(pixels * rt::TwipsPerPixel); }
} // namespace

FileStamp stampOf(const QString& hostPath) {
    const QFileInfo info(hostPath);
    if (!info.exists()) return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch() * 1'000'000};
}

Decoded decodeForShow(const QString& hostPath, const ShowArea& area) {
    Decoded d;
    d.hostPath = hostPath;
    d.area = area;
    d.stamp = stampOf(hostPath);
    const rt::Result<rt::PictureHeader> header = rt::PictureLoader::readHeader(hostPath);
    if (!header.ok()) {
        d.error = header.error();
        return d;
    }
    const QSize natural = header.value().natural;
    d.fit = fitPicture(twips(natural.width()), twips(natural.height()), area.formWidth,
                       area.formHeight, area.labelHeight);
    rt::Result<QImage> image =
        rt::PictureLoader::decode(hostPath, QSize(px(d.fit.width), px(d.fit.height)));
    if (!image.ok()) {
        d.error = image.error();
        return d;
    }
    d.image = std::move(image).value();
    return d;
}

Prefetch::Prefetch() : pool_(std::make_unique<QThreadPool>()) {
    pool_->setMaxThreadCount(1);
}

Prefetch::~Prefetch() {
    // The worker may still be decoding: wait for it before the pool goes.
    pool_->waitForDone();
}

void Prefetch::start(const QString& hostPath, const ShowArea& area) {
    if (ahead_.isValid() && aheadPath_ == hostPath && aheadArea_ == area) return; // under way
    clear();
    aheadPath_ = hostPath;
    aheadArea_ = area;
    ++decodes_;
    ahead_ = QtConcurrent::run(pool_.get(), [hostPath, area] { return decodeForShow(hostPath, area); });
}

Decoded Prefetch::take(const QString& hostPath, const ShowArea& area) {
    if (ahead_.isValid() && aheadPath_ == hostPath && aheadArea_ == area) {
        Decoded d = ahead_.result(); // waits while it is still being decoded
        clear();
        if (d.stamp == stampOf(hostPath)) return d;
    } else {
        clear();
    }
    ++decodes_;
    return decodeForShow(hostPath, area);
}

void Prefetch::clear() {
    // A decode still running finishes on the worker and its picture is dropped there.
    ahead_ = QFuture<Decoded>();
    aheadPath_.clear();
}

} // namespace viewer
