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
#include "frmAbout.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(rt::AppTitle);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    rt::installFontSubstitutes();

    rt::DosFileSystem files(rt::DriveTable::host());
    // The current drive and folder are the ones the program was started in. Should it
    // be gone, the view's own stay current: the dialog makes its folder current anyway.
    if (const auto cwd = files.toDos(QDir::currentPath()); cwd.ok()) {
        (void)files.chDrive(cwd.value());
        (void)files.chDir(cwd.value());
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
