#pragma once
// The host's sound over SDL2_mixer: MIDI music under aliases (rendered by FluidSynth
// with a General MIDI soundfont) and wave comments on one channel of their own.
//
// The audio device is opened on first use. When no device can be opened, the mixer
// runs on SDL's silent "dummy" driver instead, so every command still succeeds and the
// show goes on without sound. Everything runs on the calling (user-interface) thread;
// SDL mixes on its own audio thread. One instance per process: the mixer is global.

#include "Media.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

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
    // Returns 0 or a media error number (MciCommand.h). A music file is read only when it
    // is a regular file of at most 4 MB, and handed to the mixer from memory.
    int mciSendString(const QString& command) override;
    // Plays a RIFF wave file on the comment channel, cutting off the comment still
    // playing. With SndAsync it returns at once; without, when the sound has ended.
    // An empty path only stops the current comment. False when the file is missing or
    // is not a playable wave; nothing is played then. Only a regular file of at most
    // 64 MB is read, and decoded only when its samples come to at most 64 MB in the
    // mixer's format (its RIFF chunks say how many there are).
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

// The most a wave comment may decode to, in the mixer's format: six minutes at 44.1 kHz,
// 16-bit stereo.
inline constexpr qint64 MaxCommentSamples = qint64(64) << 20;

// How many bytes a RIFF wave decodes to at most in a mixer's format (`rate` frames a
// second of `channels` samples of `bytesPerSample` bytes), from its format and data chunks:
// the data there is (whatever its chunk claims) at its declared bits a sample (at least
// three) or a frame a block, whichever is more, ADPCM blocks counted with the samples
// their headers carry. Nothing when it is not a wave SDL
// could decode (no format before the data, no channels, rate or block size). A data chunk
// that claims more than there is is made to say what there is: SDL allocates the length
// claimed before it reads.
[[nodiscard]] std::optional<quint64> waveMixedBytes(QByteArray& wave, int rate, int channels,
                                                    int bytesPerSample);

// The host's sound, over SDL2_mixer; silent when no audio device can be opened.
[[nodiscard]] std::unique_ptr<Media> makeHostMedia(const DosFileSystem& files);

} // namespace rt
