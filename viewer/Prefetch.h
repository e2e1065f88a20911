#pragma once
// Pictures decoded ahead of their tick. While one picture is on screen the next entry of
// the list is decoded on a worker thread at the size it will be shown, so that its tick
// only swaps it in. A tick that finds its picture still being decoded gets it when it is
// done; a picture decoded for another entry or another screen, or from a file that may
// have changed since, is decoded again for the tick. At most one picture is held ahead.

#include "DosFiles.h"
#include "Layout.h"
#include "PictureLoader.h"
#include "Result.h"
#include "ScreenPictures.h"
#include "Worker.h"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace viewer {

// Where a picture is shown: the form and the caption band, in twips, and the screen's
// device pixels per logical pixel.
struct ShowArea {
    float formWidth = 0, formHeight = 0, labelHeight = 0;
    double pixelRatio = 1;
    friend bool operator==(const ShowArea&, const ShowArea&) = default;
};

// What identifies a file's content without reading it: which file it is (device and inode,
// so a file renamed over it is another), its size, and when its data and its metadata last
// changed (a copy that keeps the old modification time still has a new change time, and so
// has a change of permissions).
struct FileStamp {
    quint64 device = 0, inode = 0;
    qint64 size = -1; // -1: no such file
    qint64 modifiedNs = 0, changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
[[nodiscard]] FileStamp stampOf(const QString& hostPath);

// A change within this long before a file was read may not show in its times: some file
// systems keep them to the second, or to two seconds.
inline constexpr qint64 CoarseTimeNs = 2'000'000'000;

// Whether the stamps alone prove that the file still holds what was read: the same stamp,
// and a last change far enough before the read that a later one would have moved the times.
[[nodiscard]] bool stampProvesSame(const FileStamp& read, qint64 readAtNs, const FileStamp& now);

// A picture ready to show, or why it cannot be shown.
struct Decoded {
    QString hostPath;
    ShowArea area;
    FileStamp stamp;     // taken before the file was read
    qint64 readAtNs = 0; // wall-clock time of the stamp
    // What the decode read of the file (its first digestBytes bytes), kept only when the
    // stamp cannot prove it: the proof reads as much again, of a regular file only.
    QByteArray digest;
    qint64 digestBytes = 0;
    // At the fitted size, in device pixels, with the screen's pixel ratio; or why not.
    rt::Result<QImage> image = rt::refusedPicture(QStringLiteral("Not decoded"));
    // The display server's copy of the image, when it holds one.
    std::shared_ptr<const rt::HeldPicture> held;
    Fit fit; // in twips
};

// Reads the header, fits the picture to the area and decodes it at that size.
[[nodiscard]] Decoded decodeForShow(const rt::PictureLoader& loader, const QString& hostPath,
                                    const ShowArea& area);

// Whether a picture decoded earlier still shows what the file holds now.
[[nodiscard]] bool stillCurrent(const Decoded& d);

// Maps a DOS path with `files`, then decodes the picture as decodeForShow does; a path
// that cannot be mapped is the error.
[[nodiscard]] Decoded decodeEntry(const rt::PictureLoader& loader, const rt::DosFileSystem& files,
                                  const QString& dosPath, const ShowArea& area);

// Every file is touched on a worker thread of the decode-ahead's own, never on the
// caller's: mapping the path, the proof that the file is unchanged, the decode. A file
// that does not answer (a share that stopped, a FIFO-like file of a FUSE mount) holds one
// of those threads, and the next pictures are decoded on the others: only as many files
// as there are threads are ever waited on, and a picture under way for a file is never
// asked of a second thread.
class Prefetch {
public:
    // The threads the decodes run on.
    static constexpr int Lanes = 4;

    // A tick's picture on its way, and whether its file has been tried yet (a decode
    // waiting for a thread has not touched it).
    struct Taken {
        QFuture<Decoded> picture;
        std::shared_ptr<const std::atomic<bool>> begun;
        [[nodiscard]] bool tried() const { return begun && begun->load(); }
    };

    // `files` maps the DOS paths; each decode works on a copy of it taken when it is asked.
    // Metafiles are drawn by `metafiles`, which the decodes share: a decode left waiting
    // on a file keeps it.
    // Each picture decoded is handed to `pictures` to hold, on the worker.
    Prefetch(const rt::DosFileSystem& files, std::shared_ptr<rt::MetafileDrawer> metafiles,
             std::shared_ptr<rt::ScreenPictures> pictures);
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // Starts decoding a picture for a coming tick, forgetting any other picture held
    // ahead; a picture already held or under way for the same file and area is kept.
    void start(const QString& dosPath, const ShowArea& area);
    // The picture for a tick, delivered through the future: the one decoded ahead when it
    // is this file for this area and the file provably unchanged, otherwise decoded then;
    // a tick that comes to a file whose decode has not ended yet (one that did not
    // answer an earlier tick) waits for that decode. Either way nothing is held ahead
    // afterwards.
    [[nodiscard]] Taken take(const QString& dosPath, const ShowArea& area);
    // Forgets the picture held ahead (a new list was built).
    void clear();

    // How many decodes were started, ahead or at a tick (tests watch it).
    [[nodiscard]] int decodes() const { return *decodes_; }
    // Whether the picture held ahead is decoded.
    [[nodiscard]] bool aheadReady() const;

private:
    struct Decode;
    std::shared_ptr<Decode> underWay(const QString& dosPath, const ShowArea& area);
    std::shared_ptr<Decode> post(const QString& dosPath, const ShowArea& area, bool ahead);

    const rt::DosFileSystem& files_;
    rt::PictureLoader loader_;
    std::shared_ptr<rt::ScreenPictures> pictures_;
    std::unique_ptr<rt::Worker> worker_;
    // The picture decoded ahead, and every decode whose picture has not been handed over.
    std::shared_ptr<Decode> ahead_;
    std::vector<std::shared_ptr<Decode>> decoding_;
    std::shared_ptr<std::atomic<int>> decodes_;
};

} // namespace viewer
