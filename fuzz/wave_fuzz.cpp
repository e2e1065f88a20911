// The wave comment's bound: the input is a wave file. What the show works out before
// decoding it (how many bytes it decodes to in the mixer's format) must never be less
// than what SDL's decoder and converter then make of it, the way SDL_mixer loads it; and
// SDL, handed the bytes as the show hands them, never allocates what a chunk only claims
// (the run's memory limit catches that).

#include "FuzzSupport.h"
#include "SdlMedia.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The show hands SDL only a file that begins as a RIFF wave (SDL takes more).
    if (!bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return -1;
    const std::optional<quint64> bound = rt::waveMixedBytes(bytes, 44100, 2, 2);
    // What the show hands SDL: the bytes with the data chunk's length made true.
    SDL_AudioSpec audio{};
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.constData(), int(bytes.size())), 1, &audio,
                        &samples, &length))
        return 0;
    // SDL decoded it: the show must have known it for a wave, and bounded what it makes.
    FUZZ_CHECK(bound.has_value());
    SDL_AudioCVT cvt{};
    if (SDL_BuildAudioCVT(&cvt, audio.format, audio.channels, int(audio.freq), AUDIO_S16SYS, 2,
                          44100) >= 0 &&
        length > 0 && length <= (8u << 20)) {
        cvt.len = int(length);
        std::vector<Uint8> buffer(std::size_t(length) * std::size_t(std::max(cvt.len_mult, 1)));
        std::memcpy(buffer.data(), samples, length);
        cvt.buf = buffer.data();
        if (SDL_ConvertAudio(&cvt) == 0) FUZZ_CHECK(quint64(cvt.len_cvt) <= *bound);
    }
    // However it is converted: its whole frames at the mixer's rate and format.
    const quint64 frameBytes =
        quint64(audio.channels) * quint64(std::max(1, SDL_AUDIO_BITSIZE(audio.format) / 8));
    FUZZ_CHECK(quint64(length) / frameBytes * 44100 / quint64(audio.freq) * 4 <= *bound);
    SDL_FreeWAV(samples);
    return 0;
}
