// The next picture decoded on a worker thread, and the proof that its file is still the
// one that was read.

#include "Prefetch.h"

#include "Platform.h"
#include "RegularFile.h"

#include <QDateTime>
#include <QFile>

#include <cmath>
#include <mutex>
#include <optional>

#include <sys/stat.h>

namespace viewer {

namespace {
// The device pixels a widget of this many twips covers: its logical pixels (as the form
// places it), times the ratio, rounded as Qt rounds a size by it. Any other rounding
// leaves the picture a pixel off and has it scaled again at every paint.
int devicePixels(float twips, double ratio) {
    const long logical = std::max(1L, std::lround(twips / rt::TwipsPerPixel));
    return std::max(1, qRound(double(logical) * ratio));
}
// A picture's natural size is in twips, 15 a pixel: on a screen scaled twice over it
// covers what it covers on an ordinary one (a metafile's frame is a physical size too).
float naturalTwips(int pixels) {
    return float(pixels * rt::TwipsPerPixel);
}
bool isMetafile(rt::PictureFormat format) {
    return format == rt::PictureFormat::Wmf || format == rt::PictureFormat::Emf;
}
// A raster picture that covers more device pixels than it has is decoded at its own and
// enlarged afterwards: pixel for pixel by a whole factor (each pixel a square of them,
// sharp), smoothly by any other.
QImage enlarged(const QImage& image, QSize device) {
    const bool whole = device.width() % image.width() == 0 &&
                       device.height() % image.height() == 0 &&
                       device.width() / image.width() == device.height() / image.height();
    return image.scaled(device, Qt::IgnoreAspectRatio,
                        whole ? Qt::FastTransformation : Qt::SmoothTransformation);
}
qint64 nowNs() {
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000;
}
} // namespace

FileStamp stampOf(const QString& hostPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0) return {};
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

bool stampProvesSame(const FileStamp& read, qint64 readAtNs, const FileStamp& now) {
    if (read.size < 0 || read != now) return false;
    return std::max(read.modifiedNs, read.changedNs) + CoarseTimeNs < readAtNs;
}

Decoded decodeForShow(const rt::PictureLoader& loader, const QString& hostPath,
                      const ShowArea& area) {
    Decoded d;
    d.hostPath = hostPath;
    d.area = area;
    d.readAtNs = nowNs();
    d.stamp = stampOf(hostPath);
    // A file changed just now may change again without its times showing it: what the
    // decode reads of it is kept as a digest, to compare at the tick.
    const bool proofWanted = !stampProvesSame(d.stamp, d.readAtNs, d.stamp);
    rt::ContentRead read;
    QSize device;
    bool enlarge = false;
    rt::Result<QImage> image = loader.decode(
        hostPath,
        [&](const rt::PictureHeader& h) {
            d.fit = fitPicture(naturalTwips(h.natural.width()), naturalTwips(h.natural.height()),
                               area.formWidth, area.formHeight, area.labelHeight);
            device = QSize(devicePixels(d.fit.width, area.pixelRatio),
                           devicePixels(d.fit.height, area.pixelRatio));
            enlarge = !isMetafile(h.format) &&
                      (device.width() > h.natural.width() || device.height() > h.natural.height());
            return enlarge ? h.natural : device;
        },
        proofWanted ? &read : nullptr);
    d.digest = read.digest;
    d.digestBytes = read.bytes;
    if (!image.ok()) {
        d.image = image.error();
        return d;
    }
    QImage shown = std::move(image).value();
    if (enlarge && shown.size() != device) {
        shown = enlarged(shown, device);
        if (shown.isNull()) {
            d.image = rt::refusedPicture(QStringLiteral("no memory to enlarge the picture"));
            return d;
        }
    }
    shown.setDevicePixelRatio(area.pixelRatio);
    d.image = std::move(shown);
    return d;
}

bool stillCurrent(const Decoded& d) {
    const FileStamp now = stampOf(d.hostPath);
    if (stampProvesSame(d.stamp, d.readAtNs, now)) return true;
    // Same stamp but too recent to prove anything: compare what the file holds.
    return d.stamp == now && now.size >= 0 && !d.digest.isEmpty() &&
           rt::digestOfStart(d.hostPath, d.digestBytes) == d.digest;
}

Decoded decodeEntry(const rt::PictureLoader& loader, const rt::DosFileSystem& files,
                    const QString& dosPath, const ShowArea& area) {
    const rt::Result<QString> host = files.toHost(dosPath);
    if (!host.ok()) {
        Decoded d;
        d.area = area;
        d.image = host.error();
        return d;
    }
    return decodeForShow(loader, host.value(), area);
}

// One decode of a picture, shared by the thread that runs it and the decode-ahead. The
// thread hands its picture to the tick that took it, proved first when the decode began
// before the tick; a picture no tick has taken yet waits here for one.
struct Prefetch::Decode {
    Decode(const QString& path, const ShowArea& a, bool forAhead)
        : dosPath(path), area(a), ahead(forAhead) {
        promise.start();
    }
    [[nodiscard]] bool isFor(const QString& path, const ShowArea& a) const {
        return dosPath == path && area == a;
    }

    const QString dosPath;
    const ShowArea area;
    const bool ahead; // begun for a coming tick, not for the one that takes it
    const std::shared_ptr<std::atomic<bool>> begun = std::make_shared<std::atomic<bool>>(false);
    std::mutex m;
    bool done = false;             // the decode has ended
    bool taken = false;            // a tick wants the picture
    bool dropped = false;          // no longer wanted ahead: its picture is dropped
    std::optional<Decoded> result; // decoded, until a tick takes it
    QPromise<Decoded> promise;     // the tick's picture
};

namespace {
// The picture copied to the display server as well, so that its tick costs no copy.
Decoded held(Decoded d, rt::ScreenPictures& pictures) {
    if (d.image.ok()) d.held = pictures.hold(d.image.value());
    // Held by the server: the program's own copy goes (read back should it be needed).
    if (d.held) d.image = QImage();
    return d;
}
// A decode on a decode-ahead thread, counted, its picture handed to the server to hold.
Decoded decodeHeld(const rt::PictureLoader& loader, const rt::DosFileSystem& files,
                   rt::ScreenPictures& pictures, std::atomic<int>& decodes, const QString& dosPath,
                   const ShowArea& area) {
    ++decodes;
    return held(decodeEntry(loader, files, dosPath, area), pictures);
}
} // namespace

Prefetch::Prefetch(const rt::DosFileSystem& files, std::shared_ptr<rt::MetafileDrawer> metafiles,
                   std::shared_ptr<rt::ScreenPictures> pictures)
    : files_(files), loader_(std::move(metafiles)), pictures_(std::move(pictures)),
      worker_(std::make_unique<rt::Worker>(Lanes)),
      decodes_(std::make_shared<std::atomic<int>>(0)) {}

Prefetch::~Prefetch() {
    clear();
}

std::shared_ptr<Prefetch::Decode> Prefetch::underWay(const QString& dosPath, const ShowArea& area) {
    // Pictures handed over, or dropped, are forgotten.
    std::erase_if(decoding_, [](const std::shared_ptr<Decode>& d) {
        return d->promise.future().isFinished();
    });
    // Only a decode a tick took and still waits for is waited for again: one dropped
    // ahead is forgotten.
    for (const std::shared_ptr<Decode>& d : decoding_) {
        std::lock_guard lock(d->m);
        if (d->taken && !d->done && d->isFor(dosPath, area)) return d;
    }
    return nullptr;
}

std::shared_ptr<Prefetch::Decode> Prefetch::post(const QString& dosPath, const ShowArea& area,
                                                 bool ahead) {
    auto d = std::make_shared<Decode>(dosPath, area, ahead);
    d->taken = !ahead;
    decoding_.push_back(d);
    // The job owns all it uses: left waiting on a file, it may outlive the show.
    worker_->post([d, loader = loader_, files = files_, pictures = pictures_, decodes = decodes_] {
        const auto decode = [&] {
            return decodeHeld(loader, files, *pictures, *decodes, d->dosPath, d->area);
        };
        d->begun->store(true);
        Decoded picture = decode();
        std::unique_lock lock(d->m);
        d->done = true;
        if (d->dropped) {
            d->promise.finish();
            return;
        }
        if (!d->taken) {
            d->result = std::move(picture);
            return;
        }
        lock.unlock();
        // Taken while it was decoded ahead: the file may have changed since it was read.
        if (d->ahead && !stillCurrent(picture)) picture = decode();
        d->promise.addResult(std::move(picture));
        d->promise.finish();
    });
    return d;
}

void Prefetch::start(const QString& dosPath, const ShowArea& area) {
    if (ahead_ && ahead_->isFor(dosPath, area)) return; // under way, or held
    clear();
    if (std::shared_ptr<Decode> d = underWay(dosPath, area)) {
        // Still decoding for an earlier tick whose file did not answer: no second decode.
        ahead_ = d;
        return;
    }
    ahead_ = post(dosPath, area, true);
}

Prefetch::Taken Prefetch::take(const QString& dosPath, const ShowArea& area) {
    std::shared_ptr<Decode> d;
    if (ahead_ && ahead_->isFor(dosPath, area)) d = std::move(ahead_);
    clear(); // another picture held ahead
    if (!d) d = underWay(dosPath, area);
    if (!d) {
        d = post(dosPath, area, false);
        return {d->promise.future(), d->begun};
    }
    std::unique_lock lock(d->m);
    // Taken by an earlier tick (its file has not answered yet), or still decoding ahead:
    // the thread that decodes it hands it over.
    if (d->taken || !d->done) {
        d->taken = true;
        return {d->promise.future(), d->begun};
    }
    // Decoded ahead: proved unchanged on a thread, or decoded again there.
    d->taken = true;
    Decoded ready = std::move(*d->result);
    d->result.reset();
    lock.unlock();
    worker_->post([d, ready = std::move(ready), loader = loader_, files = files_,
                   pictures = pictures_, decodes = decodes_]() mutable {
        if (!stillCurrent(ready))
            ready = decodeHeld(loader, files, *pictures, *decodes, d->dosPath, d->area);
        d->promise.addResult(std::move(ready));
        d->promise.finish();
    });
    return {d->promise.future(), d->begun};
}

void Prefetch::clear() {
    // A decode still running finishes on its thread and its picture is dropped there.
    if (!ahead_) return;
    std::shared_ptr<Decode> d = std::move(ahead_);
    std::lock_guard lock(d->m);
    if (d->taken) return;
    d->dropped = true;
    if (d->done) {
        d->result.reset();
        d->promise.finish();
    }
}

bool Prefetch::aheadReady() const {
    if (!ahead_) return false;
    std::lock_guard lock(ahead_->m);
    return ahead_->done && ahead_->result.has_value();
}

} // namespace viewer
