// The picture loader: format by content, size from the header (pixels), file checks, decoding.

#include "PictureLoader.h"

#include "JpegDecoder.h"
#include "MetafileHelper.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace rt {

namespace {

// Enough of the file for every format's signature and header.
constexpr qint64 HeadBytes = 64;

Error invalid(const QString& why) {
    return Error{err::InvalidPicture, why};
}

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

metafile::Kind metafileKind(PictureFormat f) {
    return f == PictureFormat::Wmf ? metafile::Kind::Wmf : metafile::Kind::Emf;
}

Result<QByteArray> readAll(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.exists()) return Error{err::FileNotFound, QStringLiteral("no such file: ") + hostPath};
    if (!f.open(QIODevice::ReadOnly)) return Error{err::PathFileAccess, f.errorString()};
    return f.readAll();
}

// Pictures larger than this many pixels a side are refused, whatever their header says.
constexpr int MaxSide = 32767;

// What a BMP's headers say: its size (rows stored top-down have a negative height in the
// file) and how many bytes of pixels follow its pixel offset.
struct BmpInfo {
    QSize size;
    qint64 pixelsEnd = 0;
};
std::optional<BmpInfo> bmpInfo(QFile& f) {
    if (!f.seek(0)) return std::nullopt;
    const QByteArray head = f.read(54);
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
bool bmpIsComplete(QFile& f) {
    const std::optional<BmpInfo> info = bmpInfo(f);
    return info && info->pixelsEnd <= f.size();
}

// A GIF whose first image stops before its data's end block was cut short (Qt's reader
// returns the part it got). Walks the blocks up to the end of the first image.
bool gifIsComplete(QFile& f) {
    if (!f.seek(0)) return false;
    const QByteArray b = f.read(std::min<qint64>(f.size(), qint64(64) << 20));
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
bool iconDirectoryIsSound(QFile& f) {
    if (!f.seek(0)) return false;
    const QByteArray head = f.read(6);
    if (head.size() < 6) return false;
    const qint64 count = qFromLittleEndian<quint16>(head.constData() + 4);
    const qint64 directoryEnd = 6 + 16 * count;
    if (count == 0 || directoryEnd > f.size()) return false;
    const QByteArray entries = f.read(16 * count);
    if (entries.size() < 16 * count) return false;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 bytes = qFromLittleEndian<quint32>(entries.constData() + 16 * i + 8);
        const qint64 offset = qFromLittleEndian<quint32>(entries.constData() + 16 * i + 12);
        if (offset < directoryEnd || bytes < 8 || offset + bytes > f.size()) return false;
    }
    return true;
}

} // namespace

std::optional<PictureFormat> sniffPicture(const QByteArray& head) {
    if (head.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (head.startsWith("BM")) return PictureFormat::Bmp;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return PictureFormat::Gif;
    if (head.startsWith("\xD7\xCD\xC6\x9A")) return PictureFormat::Wmf; // placeable
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

Result<PictureHeader> PictureLoader::readHeader(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.exists()) return Error{err::FileNotFound, QStringLiteral("no such file: ") + hostPath};
    if (!f.open(QIODevice::ReadOnly)) return Error{err::PathFileAccess, f.errorString()};
    const auto format = sniffPicture(f.read(HeadBytes));
    if (!format) return invalid(QStringLiteral("not a picture"));

    if (*format == PictureFormat::Wmf || *format == PictureFormat::Emf) {
        f.seek(0);
        const QByteArray bytes = f.readAll();
        const Result<QSize> size = metafileSize(metafileKind(*format), bytes);
        if (!size.ok()) return size.error();
        return PictureHeader{*format, size.value()};
    }

    if (*format == PictureFormat::Jpeg) {
        const Result<JpegHeader> jpeg = readJpegHeader(hostPath);
        if (!jpeg.ok()) return jpeg.error();
        return PictureHeader{*format, jpeg.value().upright()};
    }

    if (*format == PictureFormat::Bmp) {
        // Qt's reader gives a top-down BMP a negative height: the size comes from the header.
        const std::optional<BmpInfo> info = bmpInfo(f);
        if (!info) return invalid(QStringLiteral("no usable size in the BMP header"));
        return PictureHeader{*format, info->size};
    }

    if ((*format == PictureFormat::Icon || *format == PictureFormat::Cursor) &&
        !iconDirectoryIsSound(f))
        return invalid(QStringLiteral("the icon directory points outside its images"));
    f.seek(0);
    QImageReader reader(&f, readerFormat(*format));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return invalid(reader.errorString().isEmpty() ? QStringLiteral("no size in the header")
                                                      : reader.errorString());
    if (size.width() > MaxSide || size.height() > MaxSide)
        return invalid(QStringLiteral("the picture is too large"));
    if (*format == PictureFormat::Gif && f.seek(6)) { // the logical screen, which Qt allocates
        const QByteArray screen = f.read(4);
        if (screen.size() < 4 || qFromLittleEndian<quint16>(screen.constData()) > MaxSide ||
            qFromLittleEndian<quint16>(screen.constData() + 2) > MaxSide)
            return invalid(QStringLiteral("the picture is too large"));
    }
    return PictureHeader{*format, size};
}

Result<QImage> PictureLoader::decode(const QString& hostPath, QSize size) {
    const Result<PictureHeader> header = readHeader(hostPath);
    if (!header.ok()) return header.error();
    const PictureFormat format = header.value().format;
    if (size.isEmpty()) size = header.value().natural;

    if (format == PictureFormat::Wmf || format == PictureFormat::Emf) {
        const Result<QByteArray> bytes = readAll(hostPath);
        if (!bytes.ok()) return bytes.error();
        return MetafileHelper::shared().render(metafileKind(format), bytes.value(), size);
    }

    if (format == PictureFormat::Jpeg) return decodeJpeg(hostPath, size);

    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly)) return Error{err::PathFileAccess, f.errorString()};
    if (format == PictureFormat::Bmp && !bmpIsComplete(f))
        return invalid(QStringLiteral("the BMP data ends early"));
    if (format == PictureFormat::Gif && !gifIsComplete(f))
        return invalid(QStringLiteral("the GIF image data is incomplete"));
    f.seek(0);
    QImageReader reader(&f, readerFormat(format));
    const bool scaledRead = reader.supportsOption(QImageIOHandler::ScaledSize);
    if (scaledRead && size != header.value().natural) reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull()) return invalid(reader.errorString());
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace rt
