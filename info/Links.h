#pragma once
// The settings dialog's ways out to other documents: the help page, the text presenting
// Trevisolo, a mail to the author and the author's home page. Each hands one command line
// to the launcher and returns at once; nothing waits for what it starts. Each returns
// whether the launcher started its command.

#include "Platform.h"

#include <QString>

namespace info {

// The author's contact address; the dialog shows it, the mail command holds its own copy.
inline const QString ContactAddress = QStringLiteral("autore@quadrello.example");
// The author's home page, as the dialog shows it; the home-page command takes the caption
// the dialog shows, whatever it is then.
inline const QString HomePageAddress = QStringLiteral("http://www.quadrello.example/");
// In the program folder.
inline const QString HelpPage = QStringLiteral("QUADREL.htm");
inline const QString CompanionText = QStringLiteral("TRV.txt");

// "&Aiuto": the pointer becomes the default one, and the help page opens in the browser,
// minimised. When the launcher fails, a message with its error number says so.
bool ShowHelp(rt::Platform& platform);

// "&Trevisolo" and the banner: the companion text in the plain-text editor, in a normal
// window, or a message that the editor is missing.
bool ShowCompanionText(rt::Platform& platform);

// The contact address: a new mail to the author. The arrow pointer before and after; a
// launcher failure is passed over.
bool WriteToAuthor(rt::Platform& platform);

// The home-page label: `address`, its caption, opens in the browser. The arrow pointer
// before and after; a launcher failure is passed over.
bool VisitHomePage(rt::Platform& platform, const QString& address);

} // namespace info
