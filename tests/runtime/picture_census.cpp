// Reads every file of the folders given through the picture loader, as the show does
// (header, then pixels at the size it would be shown on a 1920 x 1080 screen), and
// counts what is shown and what is refused, with the time taken and the peak memory of
// this process and of the metafile helpers. Usage: picture_census [-v] FOLDER... (-v: every
// file, a shown one with its size and a digest of its pixels).

#include "HelperBeside.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <sys/resource.h>

// The picture's size and a digest of its pixels, to compare two runs.
QString digest(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int y = 0; y < argb.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(argb.constScanLine(y)),
                                    qsizetype(argb.width()) * 4));
    return QStringLiteral("%1x%2 %3")
        .arg(argb.width())
        .arg(argb.height())
        .arg(QString::fromLatin1(hash.result().toHex().left(16)));
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    HelperBeside beside;
    bool verbose = false;
    int shown = 0, refused = 0;
    double slowest = 0, total = 0;
    QString slowestName;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("-v")) {
            verbose = true;
            continue;
        }
        const QDir dir(arg);
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            const QString path = dir.filePath(name);
            QElapsedTimer clock;
            clock.start();
            const auto header = beside.loader.readHeader(path);
            rt::Result<QImage> image = header.ok() ? rt::Result<QImage>(QImage()) : header.error();
            if (header.ok()) {
                QSize size = header.value().natural;
                if (size.width() > 1920 || size.height() > 1040)
                    size = size.scaled(1920, 1040, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
                image = beside.loader.decode(path, size);
            }
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            total += ms;
            if (ms > slowest) {
                slowest = ms;
                slowestName = name;
            }
            if (image.ok())
                ++shown;
            else
                ++refused;
            if (verbose || !image.ok())
                std::printf(
                    "%-8s %8.1f ms  %s  %s\n", image.ok() ? "shown" : "refused", ms,
                    qPrintable(path),
                    qPrintable(image.ok() ? digest(image.value()) : image.error().description));
        }
    }
    beside.helper.shutDown();
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("shown %d, refused %d, helper starts %d\n", shown, refused, beside.helper.starts());
    std::printf("time %.0f ms in all, slowest %.1f ms (%s)\n", total, slowest,
                qPrintable(slowestName));
    std::printf("peak memory: this process %ld MiB, helper %ld MiB\n", self.ru_maxrss / 1024,
                children.ru_maxrss / 1024);
    return 0;
}
