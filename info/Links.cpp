#include "Links.h"

#include <QLabel>
#include <QWidget>

namespace info {

namespace {

const QChar Quote(34);

// The program folder with its final "\".
QString folderOf(const rt::Platform& platform) {
    return rt::withBackslash(platform.programFolder);
}

} // namespace

void ShowHelp(rt::Platform& platform, QWidget& secondsCaption, int formHeight) {
    secondsCaption.move(secondsCaption.x(), formHeight);
    platform.pointer.setShape(rt::PointerShape::Default);
    const QString command =
        QStringLiteral("start ") + Quote + folderOf(platform) + HelpPage + Quote;
    const rt::Result<qint64> started = platform.launcher.shell(command, rt::MinimizedFocus);
    if (started.ok()) return;
    platform.messages.show(QStringLiteral("Errore ") + QString::number(started.error().number) +
                               QStringLiteral(" - Non trovato il Browser, controllare "
                                              "installazione di Windows"),
                           rt::mb::Question, rt::AppTitle);
}

void ShowCompanionText(rt::Platform& platform) {
    const QString command =
        QStringLiteral("NOTEPAD ") + Quote + folderOf(platform) + CompanionText + Quote;
    if (platform.launcher.shell(command, rt::NormalFocus).ok()) return;
    platform.messages.show(QStringLiteral("Non trovato NOTEPAD.EXE (Blocco appunti) controllare "
                                          "installazione Windows."),
                           rt::mb::Question, rt::AppTitle);
}

void WriteToAuthor(rt::Platform& platform) {
    platform.pointer.setShape(rt::PointerShape::Arrow);
    (void)platform.launcher.shell(QStringLiteral("start mailto:") + ContactAddress,
                                  rt::MinimizedFocus);
    platform.pointer.setShape(rt::PointerShape::Arrow);
}

void VisitHomePage(rt::Platform& platform, const QLabel& homePage) {
    platform.pointer.setShape(rt::PointerShape::Arrow);
    (void)platform.launcher.shell(QStringLiteral("start ") + homePage.text(), rt::MinimizedFocus);
    platform.pointer.setShape(rt::PointerShape::Arrow);
}

} // namespace info
