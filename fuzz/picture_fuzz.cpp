// The picture loader: the input is a picture file, read for its header and then decoded
// at the size the show would draw it (fitted into 800 x 600, as on a small screen). Built
// once per format (PICTURE_FORMAT names it); inputs of another format are still read, but
// not kept in that format's corpus. The metafile targets run what the metafile helper
// runs for a request, in this process, so that the fuzzer sees its coverage.

#include "FuzzSupport.h"
#include "MetafileHelper.h"
#include "PictureLoader.h"
#ifdef PICTURE_METAFILE
#include "Metafile.h"
#endif

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifndef PICTURE_FORMAT
#error "PICTURE_FORMAT names the format of the target: jpeg, bmp, gif, ico, cur, dib, wmf or emf"
#endif
#define PICTURE_STRING2(x) #x
#define PICTURE_STRING(x) PICTURE_STRING2(x)

namespace {

rt::PictureFormat targetFormat() {
    const char* name = PICTURE_STRING(PICTURE_FORMAT);
    if (!std::strcmp(name, "jpeg")) return rt::PictureFormat::Jpeg;
    if (!std::strcmp(name, "gif")) return rt::PictureFormat::Gif;
    if (!std::strcmp(name, "ico")) return rt::PictureFormat::Icon;
    if (!std::strcmp(name, "cur")) return rt::PictureFormat::Cursor;
    if (!std::strcmp(name, "wmf")) return rt::PictureFormat::Wmf;
    if (!std::strcmp(name, "emf")) return rt::PictureFormat::Emf;
    return rt::PictureFormat::Bmp; // bmp and dib: a DIB file is a BMP under another name
}

QSize showSize(QSize natural) {
    const QSize screen(800, 600);
    if (natural.width() <= screen.width() && natural.height() <= screen.height()) return natural;
    QSize fitted = natural.scaled(screen, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
}

// The loader, handed the helper beside the fuzzer as the show's is handed the one beside
// it (the metafile targets draw in-process instead, above).
const rt::PictureLoader& loader() {
    static rt::SystemClock clock;
    static rt::MetafileHelper helper(clock, QCoreApplication::applicationDirPath() +
                                                QStringLiteral("/quadrello-metafile"));
    static const rt::PictureLoader pictures(helper);
    return pictures;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Metafile text needs fonts, and fonts a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "picture_fuzz";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process, as a fuzzing run ends with exit().
    static const QGuiApplication* const app = new QGuiApplication(argc, argv);
    (void)app;
    (void)fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* chars = reinterpret_cast<const char*>(data);
#ifdef PICTURE_METAFILE
    // The helper's two requests: the size (of any WMF; an EMF's is read from its header
    // in the show), then the picture at the size the show asks for.
    const QByteArray bytes = QByteArray::fromRawData(chars, qsizetype(size));
    const bool wmf = targetFormat() == rt::PictureFormat::Wmf;
    const auto sniffedMeta = rt::sniffPicture(bytes.left(64));
    if (sniffedMeta != targetFormat()) return -1;
    const rt::Result<QSize> measured = wmf ? rt::wmfSize(bytes) : rt::emfSize(bytes);
    if (!measured.ok()) {
        FUZZ_CHECK(measured.error().number == rt::err::InvalidPicture);
        return 0;
    }
    FUZZ_CHECK(measured.value().width() >= 1 && measured.value().height() >= 1 &&
               measured.value().width() <= 32767 && measured.value().height() <= 32767);
    const QSize asked = showSize(measured.value());
    const rt::Result<QImage> drawn =
        wmf ? rt::renderWmf(bytes, asked) : rt::renderEmf(bytes, asked);
    if (drawn.ok())
        FUZZ_CHECK(drawn.value().size() == asked);
    else
        FUZZ_CHECK(drawn.error().number == rt::err::InvalidPicture);
    return 0;
#endif
    static const QString file = fuzz::scratchFolder() + QStringLiteral("/picture");
    if (!fuzz::writeFile(file, chars, size)) fuzz::broken("cannot write the picture file");
    const auto sniffed = rt::sniffPicture(
        QByteArray::fromRawData(chars, qsizetype(std::min<std::size_t>(size, 64))));

    const rt::Result<rt::PictureHeader> header = loader().readHeader(file);
    if (header.ok()) {
        FUZZ_CHECK(sniffed && header.value().format == *sniffed);
        const QSize natural = header.value().natural;
        // JPEG's own limit is 65500 a side, reached by panoramas; the others stop at 32767.
        const int maxSide = header.value().format == rt::PictureFormat::Jpeg ? 65500 : 32767;
        FUZZ_CHECK(natural.width() >= 1 && natural.height() >= 1 && natural.width() <= maxSide &&
                   natural.height() <= maxSide);
        const QSize wanted = showSize(natural);
        rt::ContentRead read{-1, {}};
        const rt::Result<QImage> image = loader().decode(
            file, [&](const rt::PictureHeader&) { return wanted; }, &read);
        if (image.ok()) {
            FUZZ_CHECK(image.value().size() == wanted);
            // What the decode read is a start of the file, within the format's limit (a
            // JPEG's up to its end marker, any other's whole), and the proof reads it again.
            FUZZ_CHECK(read.bytes >= 0 && read.bytes <= qint64(size) &&
                       read.bytes <= (qint64(256) << 20));
            if (header.value().format != rt::PictureFormat::Jpeg)
                FUZZ_CHECK(read.bytes == qint64(size));
            FUZZ_CHECK(rt::digestOfStart(file, read.bytes) == read.digest);
            FUZZ_CHECK(read.digest == rt::digestOf(QByteArrayView(chars, qsizetype(read.bytes))));
        } else {
            FUZZ_CHECK(image.error().number == rt::err::InvalidPicture);
        }
    } else {
        FUZZ_CHECK(header.error().number == rt::err::InvalidPicture);
    }
    return sniffed == targetFormat() ? 0 : -1;
}
