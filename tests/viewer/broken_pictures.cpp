// Broken pictures never stop the show. Every file of a folder of broken pictures is read
// the way a tick reads it (header, fit to a 1920 x 1080 screen, decode at that size), each
// in a process of its own so that its time and peak memory can be measured: each must be
// refused within 2 s and 200 MB. Then a show runs over the whole folder: each tick shows
// the broken-picture message and the next tick goes on.
//
// Usage: broken_pictures_check FOLDER

#include "Form1.h"
#include "Prefetch.h"

#include "FakePlatform.h"
#include "HelperBeside.h"
#include "ShowTicks.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double MaxSeconds = 2.0;
constexpr long MaxMiB = 200;
const viewer::ShowArea FullHd{1920 * 15, 1080 * 15, 40 * 15};

// In the child: 0 when the picture was refused, 1 when it was accepted.
int checkOne(const QString& path) {
    HelperBeside metafiles;
    const viewer::Decoded d = viewer::decodeForShow(metafiles.loader, path, FullHd);
    return d.image.ok() ? 1 : 0;
}

struct Outcome {
    QString name;
    double seconds;
    long peakMiB;
    QString result;
    bool ok;
};

Outcome measure(const char* self, const QString& path) {
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const QByteArray file = QFile::encodeName(path);
        ::execl(self, self, "--one", file.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Outcome o{
        QFileInfo(path).fileName(), clock.elapsed() / 1000.0, usage.ru_maxrss / 1024, {}, false};
    if (WIFSIGNALED(status))
        o.result = QStringLiteral("crashed (signal %1)").arg(WTERMSIG(status));
    else if (WEXITSTATUS(status) == 1)
        o.result = QStringLiteral("accepted");
    else if (WEXITSTATUS(status) != 0)
        o.result = QStringLiteral("failed to run (%1)").arg(WEXITSTATUS(status));
    else
        o.result = QStringLiteral("refused");
    o.ok = o.result == QLatin1String("refused") && o.seconds <= MaxSeconds && o.peakMiB <= MaxMiB;
    return o;
}

// A show over the folder: every tick of a broken picture gives its message and returns.
bool showGoesOn(const QString& folder, int pictures) {
    FullHdShow show(folder);
    if (!show.walked) return false;
    viewer::Form1& form = show.form;
    const FakePlatform& fake = show.fake;
    double slowest = 0;
    for (int i = 0; i <= pictures; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!tickDone(form)) return false;
        slowest = std::max(slowest, clock.elapsed() / 1000.0);
    }
    const int messages = int(fake.messages.shown.size());
    std::printf("show: %d ticks, %d messages, slowest tick %.2f s, ended: %s\n", pictures + 1,
                messages, slowest, fake.programEnd.calls ? "yes" : "no");
    return messages == pictures && fake.programEnd.calls == 0 && slowest <= MaxSeconds &&
           form.Label1->text() == QLatin1String("Quadrel Fine loop");
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--one") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return checkOne(QFile::decodeName(argv[2]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: broken_pictures_check FOLDER\n");
        return 2;
    }
    const QString folder = QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath();
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);

    int passed = 0, failed = 0;
    std::printf("%-32s %8s %8s  %s\n", "file", "seconds", "peak MiB", "result");
    for (const QString& name : names) {
        const Outcome o = measure(argv[0], folder + QLatin1Char('/') + name);
        std::printf("%-32s %8.2f %8ld  %s%s\n", qPrintable(o.name), o.seconds, o.peakMiB,
                    qPrintable(o.result), o.ok ? "" : "  <-- FAIL");
        (o.ok ? passed : failed)++;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (showGoesOn(folder, int(names.size())))
        ++passed;
    else
        ++failed;
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && names.size() >= 50 ? 0 : 1;
}
