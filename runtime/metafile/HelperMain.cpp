// quadrello-metafile: measures and draws WMF and EMF files for the show, one request at a
// time on the socket it is given, confined once it has loaded what it needs. Whatever the
// metafile libraries do to this process (fontconfig, locale, signals, memory) stays here.
// `--check-confinement` confines it, tries what it may not do, and prints the outcome
// (ConfinementCheck.h); `--check-confinement --no-landlock` does so without Landlock, to
// check the system-call filter alone.

#include "Confinement.h"
#include "ConfinementCheck.h"
#include "Metafile.h"
#include "MetafileProtocol.h"
#include "SvgDrawing.h"
#include "WarmUpPictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <unistd.h>

using namespace rt::metafile;
using namespace helper;

namespace {

// Seconds of CPU one request may take.
constexpr int CpuSeconds = 20;

bool readAll(int fd, void* to, std::size_t length) {
    auto* p = static_cast<char*>(to);
    while (length > 0) {
        const ssize_t n = ::read(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= std::size_t(n);
    }
    return true;
}

bool writeAll(int fd, const void* from, std::size_t length) {
    const auto* p = static_cast<const char*>(from);
    while (length > 0) {
        const ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= std::size_t(n);
    }
    return true;
}

bool answer(Status status, int width, int height, const void* data = nullptr,
            std::uint32_t length = 0) {
    Answer a;
    a.status = status;
    a.width = width;
    a.height = height;
    a.length = length;
    return writeAll(HelperSocket, &a, sizeof a) &&
           (length == 0 || writeAll(HelperSocket, data, length));
}

bool refuse(const QString& why) {
    const QByteArray text = why.toUtf8().left(qsizetype(MaxReasonBytes));
    return answer(Status::Refused, 0, 0, text.constData(), std::uint32_t(text.size()));
}

bool serve(const Request& r, const QByteArray& bytes) {
    if (r.op == Op::Size) {
        const rt::Result<QSize> size =
            r.kind == Kind::Wmf ? rt::wmfSize(bytes) : rt::emfSize(bytes);
        if (!size.ok()) return refuse(size.error().description);
        return answer(Status::Size, size.value().width(), size.value().height());
    }
    const QSize wanted(r.width, r.height);
    limitCpuFor(CpuSeconds);
    const rt::Result<QImage> image =
        r.kind == Kind::Wmf ? rt::renderWmf(bytes, wanted) : rt::renderEmf(bytes, wanted);
    if (!image.ok()) return refuse(image.error().description);
    const QImage pixels = image.value().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (pixels.size() != wanted || pixels.bytesPerLine() != qsizetype(wanted.width()) * 4)
        return refuse(QStringLiteral("the metafile could not be drawn at that size"));
    return answer(Status::Image, r.width, r.height, pixels.constBits(),
                  std::uint32_t(pixels.sizeInBytes()));
}

// Everything loaded once, before the confinement: fonts and fontconfig, image plugins,
// the character set converters of the EMF record library (each kept open: the C library
// unloads a converter nobody uses, and loading it again maps code, which the confinement
// refuses), and both libraries' first use (what the warm-up draws, or refuses, is thrown
// away: only the loading counts).
void warmUp() {
    for (const char* charset : {"UTF-16LE", "UTF-32LE", "LATIN1"}) {
        (void)::iconv_open(charset, "UTF-8");
        (void)::iconv_open("UTF-8", charset);
    }
    (void)QImageReader::supportedImageFormats();
    (void)rt::renderWmf(rt::mf::warmUpWmf(), QSize(40, 20));
    (void)rt::renderEmf(rt::mf::warmUpEmf(), QSize(40, 20));
    (void)rt::mf::renderSvg(
        QByteArrayLiteral(
            R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20"><text x="2" y="15" )"
            R"(font-family="Arial" font-size="12">Quadrello</text></svg>)"),
        QSize(40, 20), QSize(40, 20));
}

// Ends the confined process at once: nothing at exit (a leak checker's tracer, say) could
// do what the confinement refuses.
[[noreturn]] void end(int status) {
    std::fflush(stdout);
    ::_exit(status);
}

} // namespace

int main(int argc, char** argv) {
    limitResources();
    const bool check = argc > 1 && std::strcmp(argv[1], "--check-confinement") == 0;
    const bool withLandlock = !(check && argc > 2 && std::strcmp(argv[2], "--no-landlock") == 0);
    const Unprivileged unprivileged = dropPrivileges();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    warmUp();
    if (check) {
        const CheckTargets targets = prepareCheck();
        checkDeadlyCalls(targets, withLandlock);
        const Confined confined = confine(withLandlock);
        end(checkConfinement(unprivileged, confined, targets));
    }
    const Confined confined = confine();

    if (!answer(Status::Ready, confined.landlockAbi, confined.syscallFilter ? 1 : 0)) end(1);
    for (;;) {
        Request r;
        if (!readAll(HelperSocket, &r, sizeof r)) end(0); // the show has gone
        if (r.magic != RequestMagic || r.length > MaxFileBytes ||
            (r.kind != Kind::Wmf && r.kind != Kind::Emf) ||
            (r.op != Op::Size && r.op != Op::Render))
            end(2);
        QByteArray bytes(qsizetype(r.length), Qt::Uninitialized);
        if (!readAll(HelperSocket, bytes.data(), r.length)) end(0);
        if (!serve(r, bytes)) end(0);
    }
}
