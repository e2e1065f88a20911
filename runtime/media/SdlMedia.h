#pragma once
// The host's sound over SDL2_mixer: MIDI music under aliases (rendered by FluidSynth
// with a General MIDI soundfont) and wave comments on one channel of their own.
//
// The audio device is opened on first use. When no device can be opened, the mixer
// runs on SDL's silent "dummy" driver instead, so every command still succeeds and the
// show goes on without sound. Everything runs on the calling (user-interface) thread;
// SDL mixes on its own audio thread. One instance per process: the mixer is global.

#include "Media.h"

#include <QString>

#include <memory>

namespace rt {

class SdlMedia final : public Media {
public:
    explicit SdlMedia(const DosFileSystem& files);
    ~SdlMedia() override;
    SdlMedia(const SdlMedia&) = delete;
    SdlMedia& operator=(const SdlMedia&) = delete;

    // open "<path>" type sequencer alias <name>: loads a MIDI file under the alias (an
    // alias already open is an error: close it first). play <name>: starts it from its
    // beginning, once, and returns at once. close <name>: stops it and frees it.
    // Returns 0 or a media error number (MciCommand.h).
    int mciSendString(const QString& command) override;
    // Plays a RIFF wave file on the comment channel, cutting off the comment still
    // playing. With SndAsync it returns at once; without, when the sound has ended.
    // An empty path only stops the current comment. False when the file is missing or
    // is not a playable wave; nothing is played then.
    bool sndPlaySound(const QString& path, int flags) override;

    // The SDL audio driver in use ("pulseaudio", "alsa", "disk", "dummy", ...); empty
    // before the first sound or when not even the silent driver could be opened.
    [[nodiscard]] QString audioDriver() const;
    // The General MIDI soundfont the music is rendered with; empty when none was found.
    [[nodiscard]] static QString findSoundFont();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The host's sound, over SDL2_mixer; silent when no audio device can be opened.
[[nodiscard]] std::unique_ptr<Media> makeHostMedia(const DosFileSystem& files);

} // namespace rt
