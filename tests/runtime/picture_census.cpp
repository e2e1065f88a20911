// Reads every file of the folders given through the picture loader, as the show does
// (header, then pixels at the size it would be shown on a 1920 x 1080 screen), and
// counts what is shown and what is refused, with the time taken and the peak memory of
// this process and of the metafile helpers. Usage: picture_census [-v] FOLDER...

#include "MetafileHelper.h"
#include "PictureLoader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
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
            const auto header = rt::PictureLoader::readHeader(path);
            rt::Result<QImage> image = header.ok() ? rt::Result<QImage>(QImage()) : header.error();
            if (header.ok()) {
                QSize size = header.value().natural;
                if (size.width() > 1920 || size.height() > 1040)
                    size = size.scaled(1920, 1040, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
                image = rt::PictureLoader::decode(path, size);
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
                std::printf("%-8s %8.1f ms  %s  %s\n", image.ok() ? "shown" : "refused", ms,
                            qPrintable(path),
                            image.ok() ? "" : qPrintable(image.error().description));
        }
    }
    rt::MetafileHelper::shared().shutDown();
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("shown %d, refused %d, helper starts %d\n", shown, refused,
                rt::MetafileHelper::shared().starts());
    std::printf("time %.0f ms in all, slowest %.1f ms (%s)\n", total, slowest,
                qPrintable(slowestName));
    std::printf("peak memory: this process %ld MiB, helper %ld MiB\n", self.ru_maxrss / 1024,
                children.ru_maxrss / 1024);
    return 0;
}
