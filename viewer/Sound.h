#pragma once
// The show's sounds: the comment beside a picture (mare01.wav beside mare01.jpg) and
// the background music, the first MIDI file of the folder the show is in, which follows
// the show from subfolder to subfolder.
//
// Looking the files up and handing them to the media touch the picture folder, which may
// be a share that answers slowly or not at all: that work is handed to a runner (a worker
// thread in the show) and never done on the caller's thread.

#include "Modulo1.h"
#include "Platform.h"

#include <QString>

#include <functional>

namespace viewer {

// The two kinds of sound work. A newer job of a kind may take the place of one still
// waiting: a newer comment cuts the older one off anyway, and newer music closes the older.
enum class SoundJob { Comment, Music };
// Runs a job of sound work, now or later, but one at a time and in order.
using SoundRunner = std::function<void(SoundJob kind, std::function<void()> job)>;

class Sound {
public:
    Sound(rt::Platform& platform, const settings::Modulo1& settings, SoundRunner run);

    // Plays the comment of a picture entry (".\mare01.jpg" -> ".\mare01.wav") when it
    // exists and the comments switch is on.
    void PlayComment(const QString& entry);
    // Lets the music follow the show into the subfolder of a picture entry.
    void UpdateMusic(const QString& entry);
    // Closes the music device.
    void StopMusic();

    // The subfolder prefix and folder for which the music was last looked up.
    [[nodiscard]] const QString& musicKey() const { return MusicKey; }

private:
    rt::Platform& platform_;
    const settings::Modulo1& s_;
    SoundRunner run_;
    QString MusicKey;
};

} // namespace viewer
