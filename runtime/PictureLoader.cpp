#include "PictureLoader.h"

#include "Metafile.h"

#include <QFile>
#include <QImageReader>

namespace rt {

namespace {

// Enough of the file for every format's signature and header.
constexpr qint64 HeadBytes = 64;

quint16 le16(const QByteArray& b, int at) {
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}
quint32 le32(const QByteArray& b, int at) {
    return quint32(le16(b, at)) | quint32(le16(b, at + 2)) << 16;
}

Error invalid(const QString& why) { return Error{err::InvalidPicture, why}; }

const char* readerFormat(PictureFormat f) {
    switch (f) {
    case PictureFormat::Jpeg: return "jpeg";
    case PictureFormat::Bmp: return "bmp";
    case PictureFormat::Gif: return "gif";
    case PictureFormat::Icon: return "ico";
    case PictureFormat::Cursor: return "cur";
    case PictureFormat::Wmf:
    case PictureFormat::Emf: break;
    }
    return "";
}

Result<QByteArray> readAll(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.exists()) return Error{err::FileNotFound, QStringLiteral("no such file: ") + hostPath};
    if (!f.open(QIODevice::ReadOnly)) return Error{err::PathFileAccess, f.errorString()};
    return f.readAll();
}

// A JPEG that stops before its end-of-image marker was cut short.
bool jpegIsComplete(QFile& f) {
    const qint64 size = f.size();
    if (size < 4) return false;
    const qint64 tail = std::min<qint64>(size, 4096);
    if (!f.seek(size - tail)) return false;
    return f.read(tail).contains("\xFF\xD9");
}

} // namespace

std::optional<PictureFormat> sniffPicture(const QByteArray& head) {
    if (head.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (head.startsWith("BM")) return PictureFormat::Bmp;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return PictureFormat::Gif;
    if (head.size() >= 6 && le16(head, 0) == 0 && le16(head, 4) > 0) {
        if (le16(head, 2) == 1) return PictureFormat::Icon;
        if (le16(head, 2) == 2) return PictureFormat::Cursor;
    }
    if (head.startsWith("\xD7\xCD\xC6\x9A")) return PictureFormat::Wmf; // placeable
    if (head.size() >= 6 && (le16(head, 0) == 1 || le16(head, 0) == 2) && le16(head, 2) == 9 &&
        (le16(head, 4) == 0x0100 || le16(head, 4) == 0x0300))
        return PictureFormat::Wmf;
    if (head.size() >= 44 && le32(head, 0) == 1 && head.mid(40, 4) == " EMF")
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
        const Result<QSize> size = *format == PictureFormat::Wmf ? wmfSize(bytes) : emfSize(bytes);
        if (!size.ok()) return size.error();
        return PictureHeader{*format, size.value()};
    }

    f.seek(0);
    QImageReader reader(&f, readerFormat(*format));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return invalid(reader.errorString().isEmpty() ? QStringLiteral("no size in the header")
                                                      : reader.errorString());
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
        return format == PictureFormat::Wmf ? renderWmf(bytes.value(), size)
                                            : renderEmf(bytes.value(), size);
    }

    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly)) return Error{err::PathFileAccess, f.errorString()};
    if (format == PictureFormat::Jpeg && !jpegIsComplete(f))
        return invalid(QStringLiteral("the JPEG data ends early"));
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
