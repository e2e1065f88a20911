#pragma once
// How the host's launcher (makeHostLauncher, Launcher.h) turns a command line into a
// program and its arguments. The line is split by splitCommandLine; then by its first word:
//
// - "start" DOCUMENT: xdg-open DOCUMENT, the desktop's registered application. A web or
//   "mailto:" address (any "scheme:" of two or more letters) goes as it is; anything else
//   is a DOS path, mapped to the host path.
// - "NOTEPAD" [FILE...] (also "notepad.exe", any case): the first plain-text editor of
//   textEditors() found on PATH, else xdg-open; each FILE is a DOS path, mapped.
// - anything else names the program: a word with "\", "/" or a drive is a DOS path, mapped
//   to the host and required to be an executable file; a bare name is looked up on PATH
//   (as given, then in lower case). Words after it that are absolute DOS paths ("X:\...")
//   on a known drive are mapped to the host; all others go as they are.
//
// The program always goes by its absolute host path with an argument list: no shell
// ever reads the line. It starts in the host folder of the DOS current folder.
//
// The window style is accepted and not passed on: X11 and Wayland programs choose their
// own first window state, and neither xdg-open nor the usual editors take a hint for it.

#include "DosFiles.h"
#include "Result.h"

#include <QString>
#include <QStringList>

namespace rt {

struct LaunchPlan {
    QString program; // absolute host path
    QStringList arguments;
    QString workingFolder; // host path; empty for the launcher's own
};

// Fails with 5 for an empty line or a "start" without exactly one document, 53 when the
// program (or xdg-open) is not found, 70 when the named file is not executable, and with
// the mapping's error for a DOS path on an unknown drive.
[[nodiscard]] Result<LaunchPlan> planLaunch(const QString& commandLine, const DosFileSystem& files);

// The plain-text editors NOTEPAD stands for, in the order they are looked for on PATH.
[[nodiscard]] const QStringList& textEditors();

} // namespace rt
