// The next picture decoded on a worker thread, and the proof that its file is still the
// one that was read.

#include "Prefetch.h"

#include "Platform.h"
#include "RegularFile.h"

#include <QDateTime>
#include <QFile>

#include <cmath>

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

namespace {
// The worker's two kinds of job: a newer one of a kind takes the place of one still waiting.
enum Job { Ahead, ForTick };
// The picture copied to the display server as well, so that its tick costs no copy.
Decoded held(Decoded d, rt::ScreenPictures& pictures) {
    if (d.image.ok()) d.held = pictures.hold(d.image.value());
    // Held by the server: the program's own copy goes (read back should it be needed).
    if (d.held) d.image = QImage();
    return d;
}
} // namespace

Prefetch::Prefetch(const rt::DosFileSystem& files, rt::MetafileDrawer& metafiles,
                   std::shared_ptr<rt::ScreenPictures> pictures)
    : files_(files), loader_(metafiles), pictures_(std::move(pictures)),
      worker_(std::make_unique<rt::Worker>(1)), decodes_(std::make_shared<std::atomic<int>>(0)) {}

void Prefetch::start(const QString& dosPath, const ShowArea& area) {
    if (ahead_.isValid() && aheadPath_ == dosPath && aheadArea_ == area) return; // under way
    clear();
    aheadPath_ = dosPath;
    aheadArea_ = area;
    ahead_ = worker_->run(Ahead, [loader = loader_, files = files_, pictures = pictures_, dosPath,
                                  area, decodes = decodes_] {
        ++*decodes;
        return held(decodeEntry(loader, files, dosPath, area), *pictures);
    });
}

QFuture<Decoded> Prefetch::take(const QString& dosPath, const ShowArea& area) {
    QFuture<Decoded> ahead;
    if (ahead_.isValid() && aheadPath_ == dosPath && aheadArea_ == area) ahead = ahead_;
    clear();
    // The worker runs its jobs in order: a picture decoded ahead is done by the time this
    // job runs, or was dropped for a newer one.
    return worker_->run(ForTick, [ahead, loader = loader_, files = files_, pictures = pictures_,
                                  dosPath, area, decodes = decodes_] {
        if (ahead.isValid() && ahead.isFinished() && ahead.resultCount() > 0) {
            Decoded d = ahead.result();
            if (stillCurrent(d)) return d;
        }
        ++*decodes;
        return held(decodeEntry(loader, files, dosPath, area), *pictures);
    });
}

void Prefetch::clear() {
    // A decode still running finishes on the worker and its picture is dropped there.
    ahead_ = QFuture<Decoded>();
    aheadPath_.clear();
}

} // namespace viewer
