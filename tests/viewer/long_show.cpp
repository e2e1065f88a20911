// A long show: thousands of ticks over a folder of pictures with comments and music,
// every switch on, through the real picture loader and the real sound layer. Reports the
// resident memory and the open files after the first pass and at the end; the show must
// not grow by 5 % or more, nor leave files open.
//
// Usage: long_show FOLDER TICKS

#include "Form1.h"
#include "RealPlatform.h"
#include "SdlMedia.h"
#include "ServerPictures.h"

#include "FakePlatform.h"
#include "HelperBeside.h"
#include "ShowTicks.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
}

int openFiles() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: long_show FOLDER TICKS\n");
        return 2;
    }
    const int ticks = QByteArray(argv[2]).toInt();

    // The real file system, screen, loader and sound; message boxes are recorded, not
    // shown. Run on a small screen so that each clearing stays short.
    rt::DosFileSystem files;
    RecordingMessages messages;
    RecordingPointer pointer;
    RecordingEnd programEnd;
    rt::QtScreen screen;
    rt::SystemClock clock;
    rt::Random random;
    const std::shared_ptr<rt::Media> media = rt::makeHostMedia(files);
    RecordingLauncher launcher;
    RecordingRegistry registry;
    RecordingScreenAwake screenAwake;
    HelperBeside beside;
    const QString programFolder = QStringLiteral("C:\\");
    // The pictures the real show hands to the X server, when it runs on one.
    std::shared_ptr<rt::ScreenPictures> pictures = [] {
        std::shared_ptr<rt::ScreenPictures> server = rt::connectServerPictures();
        return server ? server : std::make_shared<rt::NoScreenPictures>();
    }();
    // The helper lives as long as the show here: shared without an owner.
    const std::shared_ptr<rt::MetafileDrawer> metafiles(std::shared_ptr<void>(), &beside.helper);
    rt::Platform platform{files,       messages,  pointer,  programEnd,   screen,
                          clock,       random,    media,    launcher,     registry,
                          screenAwake, metafiles, pictures, programFolder};

    settings::Modulo1 s;
    const QString folder = rt::withBackslash(
        files.toDos(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath()).value());
    viewer::Form1 form(platform, s, acceptShow(s, folder, 1));
    form.Form_Load();
    if (!walkDone(form)) return 1;
    form.show();
    // The ticks are driven from here, one after another, as fast as they run.
    form.Timer1->setEnabled(false);

    const int pass = form.slides().pictureCount() + 1; // the pictures and the end-of-pass tick

    QElapsedTimer clockRun;
    clockRun.start();
    long firstPassKiB = 0;
    int firstPassFiles = 0;
    long peakKiB = 0;
    // Memory and files are compared at the same point of the cycle: each end of a pass,
    // with the picture decoded ahead ready and its file closed.
    const auto settle = [&] {
        QElapsedTimer wait;
        wait.start();
        while (!form.prefetch().aheadReady() && wait.elapsed() < 5000)
            QThread::msleep(1);
    };
    long lastPassKiB = 0;
    int lastPassFiles = 0;
    for (int i = 1; i <= ticks; ++i) {
        if (!tickDone(form)) {
            std::printf("tick %d did not end\n", i);
            return 1;
        }
        peakKiB = std::max(peakKiB, residentKiB());
        if (i % pass == 0) {
            settle();
            lastPassKiB = residentKiB();
            lastPassFiles = openFiles();
            if (i == pass) {
                firstPassKiB = lastPassKiB;
                firstPassFiles = lastPassFiles;
            }
        }
        if (i % 1000 == 0)
            std::printf("tick %5d: %ld KiB resident, %d open files, %.0f s\n", i, residentKiB(),
                        openFiles(), clockRun.elapsed() / 1000.0);
    }
    const long endKiB = lastPassKiB;
    const int endFiles = lastPassFiles;
    const double growth = 100.0 * double(endKiB - firstPassKiB) / double(firstPassKiB);
    std::printf("pictures %d, ticks %d in %.0f s, messages %zu\n", pass - 1, ticks,
                clockRun.elapsed() / 1000.0, messages.shown.size());
    std::printf(
        "resident after the first pass %ld KiB, after the last %ld KiB (%+.2f %%), peak %ld KiB\n",
        firstPassKiB, endKiB, growth, peakKiB);
    std::printf("open files after the first pass %d, after the last %d\n", firstPassFiles,
                endFiles);
    const bool ok = growth < 5.0 && endFiles <= firstPassFiles && messages.shown.empty();
    std::printf("%d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
}
