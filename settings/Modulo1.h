#pragma once
// The shared settings: one set per process, filled by the settings dialog and read by
// the viewer. Passed by reference to the forms that need them.

#include <QString>

#include <cstdint>

namespace settings {

inline constexpr std::int16_t True = -1;
inline constexpr std::int16_t False = 0;

struct Modulo1 {
    // The chosen picture folder, a DOS path. After an accepted OK it ends in "\".
    QString FolderPath;
    // Seconds while the dialog is open; milliseconds after an accepted OK.
    std::int16_t TempoAttesa = 0;
    // Switches: 0 off, any other value on.
    std::int16_t SuonoWAV = 0; // sound comments
    std::int16_t MusicaFM = 0; // background music
    std::int16_t Effetti = 0;  // animated transitions
    // Raised (True) by the dialog's OK; never lowered.
    std::int16_t GoFlag = False;
};

} // namespace settings
