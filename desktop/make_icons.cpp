// Writes the program icon as the menu's PNG files, in the icon theme's folders:
// OUTPUT/SIZExSIZE/apps/NAME.png for each size. The icon is drawn on a 32 x 32 grid, so
// larger sizes enlarge it pixel for pixel and smaller ones average its pixels.
// Usage: make_icons ICON NAME OUTPUT SIZE...

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: make_icons ICON NAME OUTPUT SIZE...\n");
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (icon.isNull()) {
        std::fprintf(stderr, "make_icons: %s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QDir out(QString::fromLocal8Bit(argv[3]));
    for (int i = 4; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        if (side <= 0) {
            std::fprintf(stderr, "make_icons: not a size: %s\n", argv[i]);
            return 2;
        }
        const Qt::TransformationMode mode =
            side >= icon.width() ? Qt::FastTransformation : Qt::SmoothTransformation;
        const QString folder = out.filePath(QStringLiteral("%1x%1/apps").arg(side));
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) ||
            !icon.scaled(side, side, Qt::IgnoreAspectRatio, mode).save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
