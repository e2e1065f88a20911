// The picture loader: format by content, size from the header (pixels), file checks, decoding.

#include "PictureLoader.h"

#include "JpegDecoder.h"
#include "MetafileHeader.h"
#include "MetafileProtocol.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace rt {

namespace {

// Enough of the file for every format's signature and header.
constexpr qint64 HeadBytes = 64;

const char* readerFormat(PictureFormat f) {
    switch (f) {
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Bmp:
        return "bmp";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::Icon:
        return "ico";
    case PictureFormat::Cursor:
        return "cur";
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        break;
    }
    return "";
}

MetafileKind metafileKind(PictureFormat f) {
    return f == PictureFormat::Wmf ? MetafileKind::Wmf : MetafileKind::Emf;
}

// The natural size of a metafile: from its header where it has one with the size in it
// (an EMF, a placeable WMF), otherwise from the drawer.
Result<QSize> metafileSize(MetafileDrawer& metafiles, MetafileKind kind, const QByteArray& bytes) {
    if (kind == MetafileKind::Emf) return emfSize(bytes);
    if (const auto placeable = placeableWmfSize(bytes)) return *placeable;
    return metafiles.size(kind, bytes);
}

// The most of a file each format reads. A file larger is refused before it is read, and
// the read stops there whatever its size said; only a GIF, of which the first image is
// shown, is read as if it ended after its limit.
struct FormatLimit {
    qint64 bytes;
    Beyond beyond;
};
FormatLimit limitOf(PictureFormat f) {
    constexpr qint64 MiB = qint64(1) << 20;
    switch (f) {
    case PictureFormat::Jpeg:
        return {MaxJpegFileBytes, Beyond::Refuse};
    case PictureFormat::Bmp: // as many pixels as Qt's reader allocates at most
        return {256 * MiB, Beyond::Refuse};
    case PictureFormat::Gif:
        return {64 * MiB, Beyond::Cut};
    case PictureFormat::Icon:
    case PictureFormat::Cursor:
        return {64 * MiB, Beyond::Refuse};
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        return {qint64(metafile::MaxFileBytes), Beyond::Refuse};
    }
    return {0, Beyond::Refuse};
}

// What a BMP's headers say: its size (rows stored top-down have a negative height in the
// file) and how many bytes of pixels follow its pixel offset.
struct BmpInfo {
    QSize size;
    qint64 pixelsEnd = 0;
};
std::optional<BmpInfo> bmpInfo(const QByteArray& head) {
    if (head.size() < 30) return std::nullopt;
    const char* h = head.constData();
    const quint32 offBits = qFromLittleEndian<quint32>(h + 10);
    const quint32 headerSize = qFromLittleEndian<quint32>(h + 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
    if (headerSize == 12) {
        width = qFromLittleEndian<quint16>(h + 18);
        height = qFromLittleEndian<quint16>(h + 20);
        bits = qFromLittleEndian<quint16>(h + 24);
    } else {
        if (head.size() < 38) return std::nullopt;
        width = qFromLittleEndian<qint32>(h + 18);
        height = std::abs(qint64(qFromLittleEndian<qint32>(h + 22)));
        bits = qFromLittleEndian<quint16>(h + 28);
        compression = qFromLittleEndian<quint32>(h + 30);
        imageSize = qFromLittleEndian<quint32>(h + 34);
    }
    if (width < 1 || height < 1 || width > MaxSide || height > MaxSide) return std::nullopt;
    qint64 needed = 0;
    if (compression == 0 || compression == 3)
        needed = (width * bits + 31) / 32 * 4 * height;
    else
        needed = imageSize; // compressed: as many bytes as the header says there are
    return BmpInfo{QSize(int(width), int(height)), qint64(offBits) + needed};
}

// A BMP whose pixels end before the rows its header declares was cut short (Qt's reader
// leaves the missing rows blank and reports success).
bool bmpIsComplete(const QByteArray& bytes) {
    const std::optional<BmpInfo> info = bmpInfo(bytes);
    return info && info->pixelsEnd <= bytes.size();
}

// A GIF whose first image stops before its data's end block was cut short (Qt's reader
// returns the part it got). Walks the blocks up to the end of the first image.
bool gifIsComplete(const QByteArray& b) {
    qsizetype at = 13;
    if (b.size() < at) return false;
    if (quint8(b[10]) & 0x80) at += 3 * (qsizetype(2) << (quint8(b[10]) & 7)); // global colours
    const auto skipBlocks = [&]() {
        while (at < b.size()) {
            const int length = quint8(b[at]);
            at += 1 + length;
            if (length == 0) return at <= b.size();
        }
        return false;
    };
    while (at < b.size()) {
        const char kind = b[at];
        if (kind == '!') { // an extension: label, then data blocks
            at += 2;
            if (!skipBlocks()) return false;
        } else if (kind == ',') { // the image: descriptor, colours, code size, data blocks
            if (b.size() - at < 11) return false;
            const int w = qFromLittleEndian<quint16>(b.constData() + at + 5);
            const int h = qFromLittleEndian<quint16>(b.constData() + at + 7);
            if (w < 1 || h < 1 || w > MaxSide || h > MaxSide) return false;
            const quint8 flags = quint8(b[at + 9]);
            at += 10;
            if (flags & 0x80) at += 3 * (qsizetype(2) << (flags & 7));
            at += 1;
            return skipBlocks();
        } else {
            return false; // the trailer, or nonsense, before any image
        }
    }
    return false;
}

// Every image of an icon or cursor file lies after the directory and inside the file.
bool iconDirectoryIsSound(const QByteArray& file) {
    if (file.size() < 6) return false;
    const qint64 count = qFromLittleEndian<quint16>(file.constData() + 4);
    const qint64 directoryEnd = 6 + 16 * count;
    if (count == 0 || directoryEnd > file.size()) return false;
    const char* entries = file.constData() + 6;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 bytes = qFromLittleEndian<quint32>(entries + 16 * i + 8);
        const qint64 offset = qFromLittleEndian<quint32>(entries + 16 * i + 12);
        if (offset < directoryEnd || bytes < 8 || offset + bytes > file.size()) return false;
    }
    return true;
}

// A picture file opened: its format from its first bytes, and, once asked for, its bytes
// up to the format's limit (all that a format other than JPEG reads).
struct OpenedPicture {
    RegularFile file;
    PictureFormat format;
    std::optional<QByteArray> bytes;

    Result<const QByteArray*> whole() {
        if (!bytes) {
            const FormatLimit limit = limitOf(format);
            Result<QByteArray> read = file.readAll(limit.bytes, limit.beyond);
            if (!read.ok()) return read.error();
            bytes = std::move(read).value();
        }
        return &*bytes;
    }
};

Result<OpenedPicture> openPicture(const QString& hostPath) {
    // Anything but a regular file is refused as a file that is not a picture.
    Result<RegularFile> file = RegularFile::open(hostPath, err::InvalidPicture);
    if (!file.ok()) return file.error();
    const Result<QByteArray> head = file.value().read(0, HeadBytes);
    if (!head.ok()) return head.error();
    const auto format = sniffPicture(head.value());
    if (!format) return refusedPicture(QStringLiteral("not a picture"));
    const FormatLimit limit = limitOf(*format);
    if (limit.beyond == Beyond::Refuse && file.value().size() > limit.bytes)
        return refusedPicture(QStringLiteral("the file is larger than %1 bytes").arg(limit.bytes));
    return OpenedPicture{std::move(file).value(), *format, std::nullopt};
}

Result<PictureHeader> headerOf(OpenedPicture& p, MetafileDrawer& metafiles) {
    const PictureFormat format = p.format;
    if (format == PictureFormat::Wmf || format == PictureFormat::Emf) {
        const Result<const QByteArray*> bytes = p.whole();
        if (!bytes.ok()) return bytes.error();
        const Result<QSize> size = metafileSize(metafiles, metafileKind(format), *bytes.value());
        if (!size.ok()) return size.error();
        return PictureHeader{format, size.value()};
    }

    if (format == PictureFormat::Jpeg) {
        const Result<JpegHeader> jpeg = readJpegHeader(p.file);
        if (!jpeg.ok()) return jpeg.error();
        return PictureHeader{format, jpeg.value().upright()};
    }

    if (format == PictureFormat::Bmp) {
        // Qt's reader gives a top-down BMP a negative height: the size comes from the header.
        const Result<QByteArray> head = p.file.read(0, 54);
        if (!head.ok()) return head.error();
        const std::optional<BmpInfo> info = bmpInfo(head.value());
        if (!info) return refusedPicture(QStringLiteral("no usable size in the BMP header"));
        return PictureHeader{format, info->size};
    }

    const Result<const QByteArray*> read = p.whole();
    if (!read.ok()) return read.error();
    const QByteArray& bytes = *read.value();
    if ((format == PictureFormat::Icon || format == PictureFormat::Cursor) &&
        !iconDirectoryIsSound(bytes))
        return refusedPicture(QStringLiteral("the icon directory points outside its images"));
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device, readerFormat(format));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return refusedPicture(reader.errorString().isEmpty()
                                  ? QStringLiteral("no size in the header")
                                  : reader.errorString());
    if (size.width() > MaxSide || size.height() > MaxSide)
        return refusedPicture(QStringLiteral("the picture is too large"));
    if (format == PictureFormat::Gif) { // the logical screen, which Qt allocates
        if (bytes.size() < 10 || qFromLittleEndian<quint16>(bytes.constData() + 6) > MaxSide ||
            qFromLittleEndian<quint16>(bytes.constData() + 8) > MaxSide)
            return refusedPicture(QStringLiteral("the picture is too large"));
    }
    return PictureHeader{format, size};
}

Result<QImage> decodeOpened(OpenedPicture& p, const PictureHeader& header, QSize size,
                            ContentRead* read, MetafileDrawer& metafiles) {
    const PictureFormat format = p.format;
    if (size.isEmpty()) size = header.natural;
    if (format == PictureFormat::Jpeg) return decodeJpeg(p.file, size, read);

    const Result<const QByteArray*> whole = p.whole();
    if (!whole.ok()) return whole.error();
    const QByteArray& bytes = *whole.value();
    if (read) *read = ContentRead{bytes.size(), digestOf(bytes)};
    if (format == PictureFormat::Wmf || format == PictureFormat::Emf)
        return metafiles.render(metafileKind(format), bytes, size);

    if (format == PictureFormat::Bmp && !bmpIsComplete(bytes))
        return refusedPicture(QStringLiteral("the BMP data ends early"));
    if (format == PictureFormat::Gif && !gifIsComplete(bytes))
        return refusedPicture(QStringLiteral("the GIF image data is incomplete"));
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device, readerFormat(format));
    const bool scaledRead = reader.supportsOption(QImageIOHandler::ScaledSize);
    if (scaledRead && size != header.natural) reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull()) return refusedPicture(reader.errorString());
    if (image.size() != size) image = smoothlyScaled(image, size);
    if (image.isNull()) return refusedPicture(QStringLiteral("out of memory"));
    return image;
}

} // namespace

std::optional<PictureFormat> sniffPicture(const QByteArray& head) {
    if (head.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (head.startsWith("BM")) return PictureFormat::Bmp;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return PictureFormat::Gif;
    if (head.size() >= 4 && qFromLittleEndian<quint32>(head.constData()) == PlaceableWmfKey)
        return PictureFormat::Wmf;
    if (head.size() >= 6) {
        // Icons, cursors and metafiles without a placeable header start with three words.
        const char* h = head.constData();
        const quint16 first = qFromLittleEndian<quint16>(h);
        const quint16 second = qFromLittleEndian<quint16>(h + 2);
        const quint16 third = qFromLittleEndian<quint16>(h + 4);
        if (first == 0 && third > 0 && second == 1) return PictureFormat::Icon;
        if (first == 0 && third > 0 && second == 2) return PictureFormat::Cursor;
        if ((first == 1 || first == 2) && second == 9 && (third == 0x0100 || third == 0x0300))
            return PictureFormat::Wmf;
    }
    if (head.size() >= 44 && qFromLittleEndian<quint32>(head.constData()) == 1 &&
        head.mid(40, 4) == " EMF")
        return PictureFormat::Emf;
    return std::nullopt;
}

Result<PictureHeader> PictureLoader::readHeader(const QString& hostPath) const {
    Result<OpenedPicture> opened = openPicture(hostPath);
    if (!opened.ok()) return opened.error();
    OpenedPicture p = std::move(opened).value();
    return headerOf(p, *metafiles_);
}

Result<QImage> PictureLoader::decode(const QString& hostPath, QSize size) const {
    return decode(hostPath, [size](const PictureHeader&) { return size; });
}

Result<QImage> PictureLoader::decode(const QString& hostPath,
                                     const std::function<QSize(const PictureHeader&)>& sizeFor,
                                     ContentRead* read) const {
    Result<OpenedPicture> opened = openPicture(hostPath);
    if (!opened.ok()) return opened.error();
    OpenedPicture p = std::move(opened).value();
    const Result<PictureHeader> header = headerOf(p, *metafiles_);
    if (!header.ok()) return header.error();
    return decodeOpened(p, header.value(), sizeFor(header.value()), read, *metafiles_);
}

} // namespace rt
