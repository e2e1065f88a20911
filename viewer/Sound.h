#pragma once
// The show's sounds: the comment beside a picture (mare01.wav beside mare01.jpg) and
// the background music, the first MIDI file of the folder the show is in, which follows
// the show from subfolder to subfolder.

#include "Modulo1.h"
#include "Platform.h"

#include <QString>

#include <functional>

namespace viewer {

class Sound {
public:
    // `letEventsRun` lets pending events run; the music switch calls it between closing
    // the old music and opening the new one.
    Sound(rt::Platform& platform, const settings::Modulo1& settings,
          std::function<void()> letEventsRun);

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
    std::function<void()> letEventsRun_;
    QString MusicKey;
};

} // namespace viewer
