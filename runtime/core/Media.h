#pragma once
// The two multimedia calls the viewer makes: a command string for the MIDI sequencer
// and an asynchronous wave sound. Paths inside commands are DOS paths.

#include "DosFiles.h"

#include <QString>

#include <memory>

namespace rt {

// sndPlaySound flags.
inline constexpr int SndAsync = 1; // start the sound and return at once

class Media {
public:
    virtual ~Media() = default;
    // Understands exactly: open "<path>" type sequencer alias <name>, play <name> (with its
    // trailing blank, as the viewer sends it) and close <name>. Returns 0 on success, a
    // non-zero error code for anything else or anything that fails.
    virtual int mciSendString(const QString& command) = 0;
    // Plays a wave file (DOS path). A new sound cuts off the one still playing. Returns
    // whether the sound started; a file that is not a playable wave plays nothing.
    virtual bool sndPlaySound(const QString& path, int flags) = 0;
};

} // namespace rt
