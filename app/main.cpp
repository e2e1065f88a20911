// Quadrello: a picture slide show. The one composition point: the real platform
// services are built here and handed to the forms.

#include "DosFiles.h"
#include "Form1.h"
#include "HostScreenAwake.h"
#include "MetafileHelper.h"
#include "Modulo1.h"
#include "RealPlatform.h"
#include "SdlMedia.h"
#include "ServerPictures.h"
#include "Worker.h"
#include "frmAbout.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include <malloc.h>

#include <chrono>
#include <future>
#include <memory>

namespace {
// How long the start waits for the folder it was started in to answer.
constexpr std::chrono::milliseconds StartFolderBound(100);
} // namespace

int main(int argc, char** argv) {
    // Pictures are buffers of megabytes, made and freed on several decode threads. Left to
    // itself the allocator raises its threshold for mapping a block of its own after the
    // first such buffer is freed, and the later ones stay in each thread's heap once
    // freed; at a fixed 4 MB they are always mapped and go back to the system when freed
    // (18 MiB less at the peak of a show at 1920 x 1080).
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    QApplication app(argc, argv);
    QApplication::setApplicationName(rt::AppTitle);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    rt::installFontSubstitutes();

    rt::DosFileSystem files(rt::DriveTable::host());
    // The current drive and folder are the ones the program was started in, checked on a
    // worker: started from a share that does not answer, the program does not wait for
    // it beyond a bound. Should the folder be gone or not answer, the view's own stay
    // current: the dialog makes its folder current anyway.
    if (const auto cwd = files.toDos(QDir::currentPath()); cwd.ok()) {
        rt::Worker check(1);
        auto checked = std::make_shared<std::promise<rt::DosFileSystem>>();
        std::future<rt::DosFileSystem> answer = checked->get_future();
        check.post([checked, view = files, folder = cwd.value()]() mutable {
            if (!view.chDrive(folder).failed()) (void)view.chDir(folder);
            checked->set_value(std::move(view));
        });
        if (answer.wait_for(StartFolderBound) == std::future_status::ready) {
            const rt::DosFileSystem view = answer.get();
            files.takeCurrentDrive(view);
            files.takeCurrentDir(view, view.curDrive());
        }
    }
    rt::QtMessageBoxes messages;
    rt::QtMousePointer pointer;
    rt::ProcessEnd programEnd;
    rt::QtScreen screen;
    rt::SystemClock clock;
    rt::Random random;
    // The settings file, the help page and the hive live in the program's own folder;
    // without a DOS path for it the program has nowhere to work, and uses no other.
    const rt::Result<QString> ownFolder = rt::programFolderOf(files);
    if (!ownFolder.ok()) {
        messages.show(rt::programFolderRefusal(QCoreApplication::applicationDirPath()),
                      rt::mb::OkOnly, rt::AppTitle);
        return 1;
    }
    const QString& programFolder = ownFolder.value();
    // Installed for every user, the program folder is read-only: the settings file each
    // user writes there is kept in a store of their own.
    files.keepProgramWritesIn(QCoreApplication::applicationDirPath(), rt::userStoreFolder());
    // The media and the metafile helper are shared with the jobs that use them: a job a
    // share holds may end after main has returned.
    const std::shared_ptr<rt::Media> media = rt::makeHostMedia(files);
    const std::unique_ptr<rt::Launcher> launcher = rt::makeHostLauncher(files);
    const std::unique_ptr<rt::Registry> registry = rt::makeHostRegistry(files, programFolder);
    const std::unique_ptr<rt::ScreenAwake> screenAwake = rt::makeHostScreenAwake();
    // Metafiles are drawn by the confined helper beside the program, which keeps its
    // deadlines on a clock of its own.
    struct Helper {
        rt::SystemClock clock;
        rt::MetafileHelper helper{clock, QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/quadrello-metafile")};
    };
    const auto helper = std::make_shared<Helper>();
    const std::shared_ptr<rt::MetafileDrawer> metafiles(helper, &helper->helper);
    // Pictures go to the X server ahead of their tick where it takes them; elsewhere the
    // program paints them.
    std::shared_ptr<rt::ScreenPictures> screenPictures = rt::connectServerPictures();
    if (!screenPictures) screenPictures = std::make_shared<rt::NoScreenPictures>();
    rt::Platform platform{files,        messages,  pointer,        programEnd,   screen,
                          clock,        random,    media,          *launcher,    *registry,
                          *screenAwake, metafiles, screenPictures, programFolder};

    settings::Modulo1 shared;
    viewer::Form1 form(platform, shared, [&] { settings::ShowSettingsDialog(platform, shared); });
    form.Form_Load();
    form.show();
    return app.exec();
}
