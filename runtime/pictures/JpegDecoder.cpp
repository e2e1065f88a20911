// JPEG through libjpeg-turbo: header, EXIF orientation, reduced decode to RGB32; sizes in pixels.

#include "JpegDecoder.h"

#include "ColourProfile.h"

#include <QPainter>
#include <QTransform>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
// jpeglib.h must come first: the message codes need its types.
#include <jerror.h>
#include <libexif/exif-data.h>

namespace rt {

namespace {

// The largest reduced decode held in memory, in pixels (four bytes each): a 65500-pixel
// panorama decoded at an eighth fits many times over; a picture that would not is refused.
constexpr qint64 MaxDecodePixels = qint64(64) << 20;
// What libjpeg may allocate, the coefficients of a progressive file included.
constexpr long MaxDecoderMemory = 768L << 20;

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to
// the call that set `jump`. Warnings that mean lost or garbage pixels jump back as well, so
// that a file cut short stops at once instead of being decoded into grey.
struct ErrorManager {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    e->base.format_message(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:      // cut short
    case JWRN_HIT_MARKER:    // a scan ends before its data
    case JWRN_MUST_RESYNC:   // data lost between restart markers
    case JWRN_HUFF_BAD_CODE: // entropy-coded data that decodes to nothing
    case JWRN_ARITH_BAD_CODE:
        errorExit(cinfo);
    default:
        break; // harmless: extraneous bytes between markers, unknown revisions
    }
}

void silent(j_common_ptr) {}

// libjpeg's input: the file read in steps from its start, never past `limit` (reaching
// it reads as the end of the file, so that a file cut there is refused), and what was read
// counted and digested when the caller wants to prove it unchanged later.
struct Source {
    jpeg_source_mgr base{};
    const RegularFile* file = nullptr;
    qint64 at = 0;
    qint64 limit = 0;
    QCryptographicHash* hash = nullptr;
    JOCTET buffer[64 * 1024];
};

constexpr JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// No C++ object lives here: the warning at the end of the file may jump out.
boolean fillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    const qint64 want = std::min<qint64>(sizeof src->buffer, src->limit - src->at);
    const qint64 got =
        want > 0 ? src->file->readInto(src->at, reinterpret_cast<char*>(src->buffer), want) : 0;
    if (got <= 0) {
        // As libjpeg's own file source does: a warning (which stops the decode, see
        // emitMessage), then an end marker for it to find.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->base.next_input_byte = EndOfImage;
        src->base.bytes_in_buffer = sizeof EndOfImage;
        return TRUE;
    }
    if (src->hash)
        src->hash->addData(QByteArrayView(reinterpret_cast<const char*>(src->buffer), got));
    src->at += got;
    src->base.next_input_byte = src->buffer;
    src->base.bytes_in_buffer = std::size_t(got);
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    if (count <= 0) return;
    while (count > long(src->base.bytes_in_buffer)) {
        count -= long(src->base.bytes_in_buffer);
        (void)fillInputBuffer(cinfo);
    }
    src->base.next_input_byte += count;
    src->base.bytes_in_buffer -= std::size_t(count);
}

// One decompression from a file: the state libjpeg keeps, torn down however it ends.
struct Session {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    Source source;
    bool created = false;

    ~Session() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Prepares a session reading the file from its start. The markers kept are the EXIF and
// ICC ones (`keepProfile` for the latter).
void open(Session& s, const RegularFile& file, bool keepProfile, QCryptographicHash* hash) {
    s.cinfo.err = jpeg_std_error(&s.err.base);
    s.err.base.error_exit = errorExit;
    s.err.base.emit_message = emitMessage;
    s.err.base.output_message = silent;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.mem->max_memory_to_use = MaxDecoderMemory;
    s.source.file = &file;
    s.source.limit = MaxJpegFileBytes;
    s.source.hash = hash;
    s.source.base.init_source = initSource;
    s.source.base.fill_input_buffer = fillInputBuffer;
    s.source.base.skip_input_data = skipInputData;
    s.source.base.resync_to_restart = jpeg_resync_to_restart;
    s.source.base.term_source = termSource;
    s.cinfo.src = &s.source.base;
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (keepProfile) jpeg_save_markers(&s.cinfo, JPEG_APP0 + 2, 0xFFFF);
}

// The EXIF orientation among the markers read, 1 when there is none that reads.
int orientationOf(const jpeg_decompress_struct& cinfo) {
    static const char exif[] = "Exif\0\0";
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, exif, 6) != 0)
            continue;
        ExifData* data = exif_data_new_from_data(m->data, m->data_length);
        if (!data) return 1;
        int orientation = 1;
        if (ExifEntry* e = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
            e && e->format == EXIF_FORMAT_SHORT && e->components >= 1 && e->size >= 2) {
            const int v = exif_get_short(e->data, exif_data_get_byte_order(data));
            if (v >= 1 && v <= 8) orientation = v;
        }
        exif_data_unref(data);
        return orientation;
    }
    return 1;
}

// The smallest reduction M/8 (M from 1 to 8) at which the stored picture is still at least
// `wanted` in both directions; 8/8 when even the whole picture is smaller.
int reductionFor(QSize stored, QSize wanted) {
    for (int m = 1; m < 8; ++m) {
        const qint64 w = (qint64(stored.width()) * m + 7) / 8;
        const qint64 h = (qint64(stored.height()) * m + 7) / 8;
        if (w >= wanted.width() && h >= wanted.height()) return m;
    }
    return 8;
}

constexpr J_COLOR_SPACE Rgb32Space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// Decodes the opened session at reduction m/8 into `out` (RGB32, sRGB). The C++ objects
// that live across the jump are made before it, so that an error leaves nothing behind.
bool decodeInto(Session& s, int m, QImage& out, std::vector<uchar>& cmyk, QByteArray& icc,
                QString& why) {
    if (setjmp(s.err.jump)) {
        why = QString::fromLatin1(s.err.message);
        return false;
    }
    jpeg_read_header(&s.cinfo, TRUE);
    {
        JOCTET* data = nullptr;
        unsigned int length = 0;
        if (jpeg_read_icc_profile(&s.cinfo, &data, &length) && data) {
            icc = QByteArray(reinterpret_cast<const char*>(data), qsizetype(length));
            std::free(data);
        }
    }
    const bool isCmyk =
        s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = isCmyk ? JCS_CMYK : Rgb32Space;
    s.cinfo.scale_num = unsigned(m);
    s.cinfo.scale_denom = 8;
    s.cinfo.dct_method = JDCT_ISLOW;
    jpeg_calc_output_dimensions(&s.cinfo);
    const qint64 w = s.cinfo.output_width, h = s.cinfo.output_height;
    if (w < 1 || h < 1 || w * h > MaxDecodePixels) {
        why = QStringLiteral("the picture is too large to decode");
        return false;
    }
    jpeg_start_decompress(&s.cinfo);
    const qsizetype stride = qsizetype(w) * 4;
    if (isCmyk) {
        cmyk.resize(std::size_t(stride * h));
    } else {
        out = QImage(int(w), int(h), QImage::Format_RGB32);
        if (out.isNull()) {
            why = QStringLiteral("out of memory");
            return false;
        }
    }
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const qsizetype y = s.cinfo.output_scanline;
        JSAMPROW row = isCmyk ? cmyk.data() + y * stride : out.scanLine(int(y));
        jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    // Reads up to the end-of-image marker, so that a file cut just before it is noticed;
    // nothing after the marker is read.
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

} // namespace

Result<JpegHeader> readJpegHeader(const RegularFile& file) {
    Session s;
    open(s, file, false, nullptr);
    JpegHeader header;
    if (setjmp(s.err.jump)) return refusedPicture(QString::fromLatin1(s.err.message));
    jpeg_read_header(&s.cinfo, TRUE);
    header.stored = QSize(int(s.cinfo.image_width), int(s.cinfo.image_height));
    header.orientation = orientationOf(s.cinfo);
    if (header.stored.isEmpty()) return refusedPicture(QStringLiteral("no size in the header"));
    return header;
}

Result<QImage> decodeJpeg(const RegularFile& file, QSize upright, ContentRead* read) {
    const Result<JpegHeader> header = readJpegHeader(file);
    if (!header.ok()) return header.error();
    const JpegHeader h = header.value();
    if (upright.isEmpty()) upright = h.upright();
    const QSize wanted = h.orientation >= 5 ? upright.transposed() : upright;

    Session s;
    QCryptographicHash hash(DigestAlgorithm);
    open(s, file, true, read ? &hash : nullptr);
    QImage image;
    std::vector<uchar> cmyk;
    QByteArray icc;
    QString why;
    if (!decodeInto(s, reductionFor(h.stored, wanted), image, cmyk, icc, why))
        return refusedPicture(why);
    if (read) *read = ContentRead{s.source.at, hash.result()};

    if (!cmyk.empty()) {
        const int w = int(s.cinfo.output_width), ht = int(s.cinfo.output_height);
        // Adobe's writers store CMYK inverted, and mark the file with their APP14 marker.
        image = cmykToSrgb(cmyk.data(), w, ht, qsizetype(w) * 4, s.cinfo.saw_Adobe_marker, icc);
        if (image.isNull()) return refusedPicture(QStringLiteral("out of memory"));
        icc.clear();
    }
    if (image.size() != wanted) image = smoothlyScaled(image, wanted);
    // After the scaling: fewer pixels to convert.
    if (!icc.isEmpty()) convertRgbToSrgb(image, icc);
    image = orientedUpright(image, h.orientation);
    // A picture the memory could not hold is refused, never shown as an empty one.
    if (image.isNull()) return refusedPicture(QStringLiteral("out of memory"));
    return image;
}

QImage smoothlyScaled(const QImage& image, QSize size) {
    const bool halfOrMore =
        size.width() * 2 >= image.width() && size.height() * 2 >= image.height();
    if (!halfOrMore || image.format() != QImage::Format_RGB32 || size.isEmpty())
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage scaled(size, QImage::Format_RGB32);
    if (scaled.isNull()) return scaled;
    QPainter p(&scaled);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image, QRectF(image.rect()));
    return scaled;
}

QImage orientedUpright(const QImage& stored, int orientation) {
    // Orientations 5 to 8 have the stored rows as columns: a quarter turn, then a mirror
    // for the two mirrored ones.
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.mirrored(true, true);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return stored.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return stored.transformed(QTransform().rotate(90));
    case 7:
        return stored.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
        return stored.transformed(QTransform().rotate(270));
    default:
        return stored;
    }
}

} // namespace rt
