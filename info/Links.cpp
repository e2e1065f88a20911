// The settings dialog's links: the command lines they hand to the launcher, and the
// messages for those that fail.

#include "Links.h"

namespace info {

namespace {

const QChar Quote(34);

// The program folder with its final "\".
QString folderOf(const rt::Platform& platform) {
    return rt::withBackslash(platform.programFolder);
}

} // namespace

bool ShowHelp(rt::Platform& platform) {
    platform.pointer.setShape(rt::PointerShape::Default);
    const QString command =
        QStringLiteral("start ") + Quote + folderOf(platform) + HelpPage + Quote;
    const rt::Result<qint64> started = platform.launcher.shell(command, rt::MinimizedFocus);
    if (started.ok()) return true;
    platform.messages.show(QStringLiteral("Errore ") + QString::number(started.error().number) +
                               QStringLiteral(" - Non trovato il Browser, controllare "
                                              "installazione di Windows"),
                           rt::mb::Question, rt::AppTitle);
    return false;
}

bool ShowCompanionText(rt::Platform& platform) {
    const QString command =
        QStringLiteral("NOTEPAD ") + Quote + folderOf(platform) + CompanionText + Quote;
    if (platform.launcher.shell(command, rt::NormalFocus).ok()) return true;
    platform.messages.show(QStringLiteral("Non trovato NOTEPAD.EXE (Blocco appunti) controllare "
                                          "installazione Windows."),
                           rt::mb::Question, rt::AppTitle);
    return false;
}

bool WriteToAuthor(rt::Platform& platform) {
    platform.pointer.setShape(rt::PointerShape::Arrow);
    const QString command = QStringLiteral("start mailto:") + ContactAddress;
    const bool started = platform.launcher.shell(command, rt::MinimizedFocus).ok();
    platform.pointer.setShape(rt::PointerShape::Arrow);
    return started;
}

bool VisitHomePage(rt::Platform& platform, const QString& address) {
    platform.pointer.setShape(rt::PointerShape::Arrow);
    const bool started =
        platform.launcher.shell(QStringLiteral("start ") + address, rt::MinimizedFocus).ok();
    platform.pointer.setShape(rt::PointerShape::Arrow);
    return started;
}

} // namespace info
