#pragma once
// Reading picture files for the viewer: JPEG, BMP, GIF (first frame), icons, cursors,
// DIB (a BMP under another name), WMF and EMF. The format is decided by the file's
// content, not its name; anything else fails (481, invalid picture).
//
// A picture is read in two steps, so that it can be decoded at the size it will be shown:
// first its natural size from the header, then its pixels scaled to a given size.
//
// Only a regular file is read (RegularFile.h: anything else is refused as not a picture),
// and at most a limit of its format: 256 MB for JPEG, BMP and metafiles, 64 MB for icons
// and cursors; a larger file is refused before it is read. Of a GIF, of which the first
// image is shown, the first 64 MB are read, as if the file ended there.
//
// Metafiles are measured (where their header does not say their size) and drawn by the
// MetafileDrawer the loader is handed: the program's comes through the platform.

#include "MetafileDrawer.h"
#include "RegularFile.h"
#include "Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace rt {

enum class PictureFormat { Jpeg, Bmp, Gif, Icon, Cursor, Wmf, Emf };

// The format of a file's first bytes, if it is one of the eight.
[[nodiscard]] std::optional<PictureFormat> sniffPicture(const QByteArray& head);

struct PictureHeader {
    PictureFormat format;
    QSize natural; // pixels at 96 dpi (for metafiles, their frame at 15 twips per pixel)
};

class PictureLoader {
public:
    // Draws metafiles with `metafiles`, which the caller keeps while the loader is used.
    explicit PictureLoader(MetafileDrawer& metafiles) : metafiles_(&metafiles) {}
    // Shares `metafiles`: a copy of the loader on a thread keeps the drawer it uses.
    explicit PictureLoader(std::shared_ptr<MetafileDrawer> metafiles)
        : owner_(std::move(metafiles)), metafiles_(owner_.get()) {}

    // The format and natural size of a picture file (host path), from its header.
    [[nodiscard]] Result<PictureHeader> readHeader(const QString& hostPath) const;
    // The whole picture scaled to `size` pixels (its natural size when `size` is empty).
    // Fails when the file is missing, truncated, corrupt or not one of the formats.
    [[nodiscard]] Result<QImage> decode(const QString& hostPath, QSize size = QSize()) const;
    // The same, read once: the size is what `sizeFor` makes of the header. `read`, when
    // given, receives what the decode read of the file (for a JPEG up to its end marker,
    // for the other formats all that their limit lets be read).
    [[nodiscard]] Result<QImage> decode(const QString& hostPath,
                                        const std::function<QSize(const PictureHeader&)>& sizeFor,
                                        ContentRead* read = nullptr) const;

private:
    std::shared_ptr<MetafileDrawer> owner_;
    MetafileDrawer* metafiles_;
};

} // namespace rt
