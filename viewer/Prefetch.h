#pragma once
// Pictures decoded ahead of their tick. While one picture is on screen the next entry of
// the list is decoded on a worker thread at the size it will be shown, so that its tick
// only swaps it in. A tick that finds its picture still being decoded waits for it; a
// picture decoded for another entry, another screen, or a file that changed since (size or
// modification time) is decoded again at the tick. At most one picture is held ahead.

#include "Layout.h"
#include "Result.h"

#include <QFuture>
#include <QImage>
#include <QString>
#include <QThreadPool>

#include <memory>

namespace viewer {

// Where a picture is shown: the form and the caption band, in twips.
struct ShowArea {
    float formWidth = 0, formHeight = 0, labelHeight = 0;
    friend bool operator==(const ShowArea&, const ShowArea&) = default;
};

// What identifies a file's content without reading it.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
[[nodiscard]] FileStamp stampOf(const QString& hostPath);

// A picture ready to show, or why it cannot be shown.
struct Decoded {
    QString hostPath;
    ShowArea area;
    FileStamp stamp;
    rt::Error error;
    QImage image; // at the fitted size, in pixels
    Fit fit;      // in twips
};

// Reads the header, fits the picture to the area and decodes it at that size.
[[nodiscard]] Decoded decodeForShow(const QString& hostPath, const ShowArea& area);

class Prefetch {
public:
    Prefetch();
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // Starts decoding a picture for a coming tick, forgetting any other picture held
    // ahead; a picture already held or under way for the same file and area is kept.
    void start(const QString& hostPath, const ShowArea& area);
    // The picture for a tick: the one decoded ahead when it is this file for this area and
    // the file is unchanged (waiting for it if it is still being decoded), otherwise
    // decoded now. Either way nothing is held ahead afterwards.
    [[nodiscard]] Decoded take(const QString& hostPath, const ShowArea& area);
    // Forgets the picture held ahead (a new list was built).
    void clear();

    // How many decodes were started, ahead or at a tick (tests watch it).
    [[nodiscard]] int decodes() const { return decodes_; }
    // Whether the picture held ahead is decoded.
    [[nodiscard]] bool aheadReady() const { return ahead_.isValid() && ahead_.isFinished(); }

private:
    std::unique_ptr<QThreadPool> pool_;
    QFuture<Decoded> ahead_;
    QString aheadPath_;
    ShowArea aheadArea_;
    int decodes_ = 0;
};

} // namespace viewer
