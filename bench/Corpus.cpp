// Writes the show corpus: COUNT camera-like JPEGs named p01.jpg, p02.jpg, ..., each with a
// band of its own colour across its middle: in every five, a 24 MP progressive one, two
// 24 MP baseline ones, a 100 MP panorama and a 2 MP one. corpus.txt lists
// "name width height red green blue kind" for each, in show order.
// Usage: quadrello_corpus FOLDER [COUNT]

#include "TestPictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quadrello_corpus FOLDER [COUNT]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 20;
    const auto& colours = bench::bandColours();
    if (count < 1 || std::size_t(count) > colours.size()) {
        std::fprintf(stderr, "COUNT must be 1 .. %zu\n", colours.size());
        return 2;
    }
    QDir().mkpath(folder);
    QFile list(folder + QStringLiteral("/corpus.txt"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Text)) return 1;
    QTextStream out(&list);
    for (int i = 1; i <= count; ++i) {
        const int slot = i % 5;
        const QSize size = slot == 0   ? bench::Size2MP
                           : slot == 4 ? bench::Size100MP
                                       : bench::Size24MP;
        const bool progressive = slot == 1;
        const char* kind = slot == 0     ? "2mp"
                           : slot == 4   ? "panorama"
                           : progressive ? "progressive"
                                         : "baseline";
        const QColor c = colours[std::size_t(i - 1)];
        const QString name = QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        if (!bench::saveJpeg(bench::photoLike(size, c, quint32(i)),
                             folder + QLatin1Char('/') + name, 90, progressive)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
        out << name << ' ' << size.width() << ' ' << size.height() << ' ' << c.red() << ' '
            << c.green() << ' ' << c.blue() << ' ' << kind << '\n';
    }
    return 0;
}
