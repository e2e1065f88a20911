// Bitmaps inside a Windows metafile: read with their sizes checked, drawn with their
// raster operation.

#include "WmfDevice.h"

namespace rt::wmf {

using namespace mf;

namespace {

// A device-independent bitmap as the metafile holds it: header, colours, pixels. Checked
// for sizes that fit the data before Qt reads it as a BMP file.
QImage decodeDib(const unsigned char* data, long length) {
    if (!data || length < 12) return {};
    const char* p = reinterpret_cast<const char*>(data);
    const quint32 headerSize = qFromLittleEndian<quint32>(p);
    qint64 w = 0, h = 0;
    int bits = 0, entrySize = 4;
    quint32 compression = 0, used = 0;
    if (headerSize == 12) {
        w = qFromLittleEndian<quint16>(p + 4);
        h = qFromLittleEndian<quint16>(p + 6);
        bits = qFromLittleEndian<quint16>(p + 10);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 124 && length >= long(headerSize)) {
        w = qFromLittleEndian<qint32>(p + 4);
        h = qFromLittleEndian<qint32>(p + 8);
        bits = qFromLittleEndian<quint16>(p + 14);
        compression = qFromLittleEndian<quint32>(p + 16);
        used = qFromLittleEndian<quint32>(p + 32);
    } else {
        return {};
    }
    h = std::abs(h);
    if (w < 1 || h < 1 || w > MaxBitmapSide || h > MaxBitmapSide || w * h > MaxBitmapPixels)
        return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
    if (used > 256 && bits <= 8) return {};
    qint64 colours = bits <= 8 ? (used ? used : (1 << bits)) : used;
    qint64 bitsAt = headerSize + colours * entrySize;
    if (compression == 3 && headerSize == 40) bitsAt += 12; // the three masks
    if (bitsAt > length) return {};
    if (compression == 0 || compression == 3) {
        if (compression == 3 && bits != 16 && bits != 32) return {};
        const qint64 stride = (w * bits + 31) / 32 * 4;
        if (stride * h > length - bitsAt) return {};
    } else if (!((compression == 1 && bits == 8) || (compression == 2 && bits == 4))) {
        return {}; // embedded JPEG or PNG, or nonsense
    }
    QByteArray file;
    file.reserve(14 + length);
    file.append("BM");
    const auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            file.append(char((v >> (8 * i)) & 0xFF));
    };
    put32(quint32(14 + length));
    put32(0);
    put32(quint32(14 + bitsAt));
    file.append(p, length);
    QImage image = QImage::fromData(file, "BMP");
    if (image.width() != w || image.height() != h) return {};
    return image;
}

} // namespace

void bmpRead(wmfAPI* api, wmfBMP_Read_t* r) {
    r->bmp.data = nullptr;
    r->bmp.width = 0;
    r->bmp.height = 0;
    Device* d = deviceOf(api);
    if (!d) return;
    try {
        QImage image = decodeDib(r->buffer, r->length);
        if (image.isNull()) return; // the player skips a bitmap it cannot read
        const qint64 pixels = qint64(image.width()) * image.height();
        if (d->bitmapPixels + pixels > MaxAllBitmapPixels) return;
        auto owned = std::make_unique<QImage>(std::move(image));
        r->bmp.width = static_cast<U16>(owned->width());
        r->bmp.height = static_cast<U16>(owned->height());
        r->bmp.data = owned.get();
        d->liveBitmaps.insert(owned.get());
        d->bitmapPixels += pixels;
        d->bitmaps.push_back(std::move(owned));
    } catch (...) {
        api->err = wmf_E_DeviceError;
    }
}

void bmpFree(wmfAPI* api, wmfBMP* bmp) {
    Device* d = deviceOf(api);
    if (!d || !bmp) return;
    const void* data = bmp->data;
    bmp->data = nullptr;
    if (!d->liveBitmaps.erase(data)) return;
    for (auto it = d->bitmaps.begin(); it != d->bitmaps.end(); ++it)
        if (it->get() == data) {
            d->bitmapPixels -= qint64((*it)->width()) * (*it)->height();
            d->bitmaps.erase(it);
            break;
        }
}

void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* b) {
    draw(api, [&](Device& d) {
        const QImage* image = bitmapOf(d, b->bmp.data);
        if (!image) return;
        const QRect source = QRect(b->crop.x, b->crop.y, b->crop.w, b->crop.h) & image->rect();
        if (source.isEmpty()) return;
        const QRectF target(point(b->pt), QSizeF(source.width() * b->pixel_width,
                                                 source.height() * b->pixel_height));
        if (!finite(target) || target.isEmpty()) return;
        QPainter& p = *d.painter;
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        using M = QPainter::CompositionMode;
        switch (b->type) {
        case SRCAND:
            p.setCompositionMode(M::RasterOp_SourceAndDestination);
            break;
        case SRCPAINT:
            p.setCompositionMode(M::RasterOp_SourceOrDestination);
            break;
        case SRCINVERT:
            p.setCompositionMode(M::RasterOp_SourceXorDestination);
            break;
        case SRCERASE:
            p.setCompositionMode(M::RasterOp_SourceAndNotDestination);
            break;
        case NOTSRCCOPY:
            p.setCompositionMode(M::RasterOp_NotSource);
            break;
        case NOTSRCERASE:
            p.setCompositionMode(M::RasterOp_NotSourceAndNotDestination);
            break;
        case MERGEPAINT:
            p.setCompositionMode(M::RasterOp_NotSourceOrDestination);
            break;
        default:
            break;
        }
        p.drawImage(target, *image, source);
        p.restore();
    });
}

} // namespace rt::wmf
