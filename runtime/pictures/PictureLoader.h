#pragma once
// Reading picture files for the viewer: JPEG, BMP, GIF (first frame), icons, cursors,
// DIB (a BMP under another name), WMF and EMF. The format is decided by the file's
// content, not its name; anything else fails (481, invalid picture).
//
// A picture is read in two steps, so that it can be decoded at the size it will be shown:
// first its natural size from the header, then its pixels scaled to a given size.

#include "Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

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
    // The format and natural size of a picture file (host path), from its header.
    [[nodiscard]] static Result<PictureHeader> readHeader(const QString& hostPath);
    // The whole picture scaled to `size` pixels (its natural size when `size` is empty).
    // Fails when the file is missing, truncated, corrupt or not one of the formats.
    [[nodiscard]] static Result<QImage> decode(const QString& hostPath, QSize size = QSize());
};

} // namespace rt
