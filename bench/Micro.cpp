// Micro benchmarks of the show's start-up walk and of its picture decoding.
//
// Walk: BuildImageList over a generated folder of 10 000 pictures in 1 000 folders (the
// chosen folder and 999 subfolders, ten tiny files each), against `find FOLDER -maxdepth 2`
// listing the same tree (the find process started and waited for in each iteration, its
// output to /dev/null). Both on a warm page cache, both in wall-clock time.
//
// Decode: a 24 MP (6000 x 4000) and a 2 MP (1600 x 1200) camera-like JPEG,
//   Decode/full       the whole picture at its natural size;
//   DecodeFit/full    the whole picture, then smoothly scaled to its fit on a
//                     1920 x 1080 screen (the straightforward way);
//   DecodeFit/scaled  what the show does: header, fit, and a decode at the fitted size.
//
// The generated files live in a temporary folder removed at exit.

#include "DosFiles.h"
#include "ImageList.h"
#include "MetafileHelper.h"
#include "PictureLoader.h"
#include "Platform.h"
#include "Prefetch.h"
#include "RealPlatform.h"
#include "TestPictures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int TreeFolders = 1000; // the chosen folder and 999 subfolders
constexpr int PicturesPerFolder = 10;

QTemporaryDir* workDir = nullptr;
QString treeRoot; // host path of the chosen folder
QString picture24, picture2;
viewer::ShowArea screenArea;
// Handed the helper beside the benchmark, as the show's loader is (the pictures are raster).
const rt::PictureLoader* pictureLoader = nullptr;
const rt::PictureLoader& loader() {
    return *pictureLoader;
}

void touch(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write("x");
}

void makeTree() {
    treeRoot = workDir->filePath(QStringLiteral("albero"));
    QDir().mkpath(treeRoot);
    for (int d = 0; d < TreeFolders; ++d) {
        const QString folder =
            d == 0 ? treeRoot
                   : treeRoot + QStringLiteral("/viaggio%1").arg(d, 3, 10, QLatin1Char('0'));
        if (d) QDir().mkpath(folder);
        for (int p = 0; p < PicturesPerFolder; ++p)
            touch(folder + QStringLiteral("/foto%1.jpg").arg(p, 2, 10, QLatin1Char('0')));
    }
}

void makePictures() {
    const auto& colours = bench::bandColours();
    picture24 = workDir->filePath(QStringLiteral("24mp.jpg"));
    picture2 = workDir->filePath(QStringLiteral("2mp.jpg"));
    bench::saveJpeg(bench::photoLike(bench::Size24MP, colours[0], 1), picture24);
    bench::saveJpeg(bench::photoLike(bench::Size2MP, colours[1], 2), picture2);
}

// The screen the show fits pictures to: 1920 x 1080 pixels, with the caption band as high
// as the show's caption (Arial 16.5 pt bold, one line).
viewer::ShowArea benchScreen() {
    QLabel label;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(22);
    font.setBold(true);
    label.setFont(font);
    label.setText(QStringLiteral("viaggio\\foto.jpg"));
    label.adjustSize();
    return {1920.0f * rt::TwipsPerPixel, 1080.0f * rt::TwipsPerPixel,
            float(label.height() * rt::TwipsPerPixel)};
}

// --- Walk ----------------------------------------------------------------------------

void BM_Walk(benchmark::State& state) {
    const rt::DosFileSystem files(rt::DriveTable::host());
    const QString folder = files.toDos(treeRoot).value() + QLatin1Char('\\');
    std::size_t found = 0;
    for (auto _ : state) {
        viewer::ImageList list = viewer::emptyImageList();
        viewer::BuildImageList(files, folder, list);
        found = std::size_t(
            std::count_if(list.begin(), list.end(), [](const QString& s) { return !s.isEmpty(); }));
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["pictures"] = double(found);
}
BENCHMARK(BM_Walk)->Name("Walk/BuildImageList")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Find(benchmark::State& state) {
    const QByteArray root = QFile::encodeName(treeRoot);
    char* argv[] = {const_cast<char*>("find"), const_cast<char*>(root.constData()),
                    const_cast<char*>("-maxdepth"), const_cast<char*>("2"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start find");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_Find)->Name("Walk/find -maxdepth 2")->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Decode ----------------------------------------------------------------------------

const QString& pictureOf(const benchmark::State& state) {
    return state.range(0) == 24 ? picture24 : picture2;
}

void BM_DecodeFull(benchmark::State& state) {
    qint64 bytes = 0;
    for (auto _ : state) {
        rt::Result<QImage> image = loader().decode(pictureOf(state));
        if (!image.ok()) {
            state.SkipWithError("decode failed");
            break;
        }
        bytes = image.value().sizeInBytes();
    }
    state.counters["image_MiB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_DecodeFull)
    ->Name("Decode/full/MP")
    ->Arg(24)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

viewer::Fit fitOf(QSize natural) {
    return viewer::fitPicture(float(natural.width() * rt::TwipsPerPixel),
                              float(natural.height() * rt::TwipsPerPixel), screenArea.formWidth,
                              screenArea.formHeight, screenArea.labelHeight);
}

void BM_DecodeFitFull(benchmark::State& state) {
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto header = loader().readHeader(pictureOf(state));
        rt::Result<QImage> image = loader().decode(pictureOf(state));
        if (!header.ok() || !image.ok()) {
            state.SkipWithError("decode failed");
            break;
        }
        const viewer::Fit fit = fitOf(header.value().natural);
        const QSize size(int(std::lround(fit.width / rt::TwipsPerPixel)),
                         int(std::lround(fit.height / rt::TwipsPerPixel)));
        const QImage shown =
            image.value().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        bytes = shown.sizeInBytes();
    }
    state.counters["image_MiB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_DecodeFitFull)
    ->Name("DecodeFit/full/MP")
    ->Arg(24)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DecodeFitScaled(benchmark::State& state) {
    qint64 bytes = 0;
    for (auto _ : state) {
        const viewer::Decoded d = viewer::decodeForShow(loader(), pictureOf(state), screenArea);
        if (!d.image.ok()) {
            state.SkipWithError("decode failed");
            break;
        }
        bytes = d.image.value().sizeInBytes();
        state.counters["width"] = d.image.value().width();
        state.counters["height"] = d.image.value().height();
    }
    state.counters["image_MiB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_DecodeFitScaled)
    ->Name("DecodeFit/scaled/MP")
    ->Arg(24)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    rt::installFontSubstitutes();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) return 1;
    workDir = dir.get();
    rt::SystemClock clock;
    rt::MetafileHelper helper(clock, QCoreApplication::applicationDirPath() +
                                         QStringLiteral("/quadrello-metafile"));
    const rt::PictureLoader l(helper);
    pictureLoader = &l;
    screenArea = benchScreen();
    makeTree();
    makePictures();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
