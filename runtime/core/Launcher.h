#pragma once
// Running a command line with a window style, as the classic program launcher does.

#include "DosFiles.h"
#include "Result.h"

#include <QString>

#include <memory>

namespace rt {

// Window styles.
inline constexpr int NormalFocus = 1;    // normal window with the focus
inline constexpr int MinimizedFocus = 2; // minimised window with the focus

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the command line without waiting and returns the started task's identifier,
    // or an error with its number (53 when the program is not found).
    virtual Result<qint64> shell(const QString& commandLine, int windowStyle) = 0;
};

// The host's launcher: "start" and "NOTEPAD" go to the desktop's applications, anything
// else runs the named program; never through a shell.
[[nodiscard]] std::unique_ptr<Launcher> makeHostLauncher(const DosFileSystem& files);

} // namespace rt
