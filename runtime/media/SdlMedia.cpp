// Sequencer music and wave comments over SDL2_mixer.

#include "SdlMedia.h"

#include "MciCommand.h"
#include "Platform.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QFile>
#include <QFileInfo>

#include <map>

#include <dlfcn.h>

namespace rt {

namespace {

// Output format asked of the device.
constexpr int MixRate = 44100;
constexpr int MixChannels = 2;
constexpr int MixChunkFrames = 2048;
// The one mixer channel that plays comments: a new comment cuts off the old.
constexpr int CommentChannel = 0;

// Where Debian's General MIDI soundfonts live; the system's chosen default first.
const char* const SoundFontPaths[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",     "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",     "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3", "/usr/share/sounds/sf3/MuseScore_General.sf3",
};

// ALSA's library reports every failed probe of a missing sound card on stderr while
// SDL looks for a device. The program reports nothing, so its handler is replaced by a
// silent one, in the library instance SDL will load. Returns the handle to release.
extern "C" void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void* quietAlsa() {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return nullptr;
    using SetHandler = int (*)(decltype(&ignoreAlsaError));
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(&ignoreAlsaError);
    return alsa;
}

// Whether a file begins like a RIFF wave.
bool looksLikeWave(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

} // namespace

struct SdlMedia::Impl {
    enum class Audio { NotOpened, Open, Unavailable };

    explicit Impl(const DosFileSystem& fs) : files(fs) {}

    ~Impl() {
        if (audio == Audio::Open) {
            Mix_HaltChannel(-1);
            if (comment) Mix_FreeChunk(comment);
            for (auto& [alias, music] : musics)
                Mix_FreeMusic(music);
            Mix_CloseAudio();
            Mix_Quit();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        if (silentFallback) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (alsa) dlclose(alsa);
    }

    // Opens the device the first time sound is needed. When the host has no usable
    // device, goes on with the silent driver.
    bool ensureAudio() {
        if (audio == Audio::NotOpened) {
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // Ctrl+C stays the program's
            SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, AppTitle.toUtf8().constData());
            alsa = quietAlsa();
            if (openDevice()) {
                audio = Audio::Open;
            } else {
                SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
                silentFallback = true;
                audio = openDevice() ? Audio::Open : Audio::Unavailable;
            }
            if (audio == Audio::Open) {
                Mix_AllocateChannels(1);
                // Set explicitly, so the music never rests on SDL_mixer's own search
                // (nor on SDL_SOUNDFONTS, which Debian's default link overrides).
                const QString font = findSoundFont();
                if (!font.isEmpty()) Mix_SetSoundFonts(QFile::encodeName(font).constData());
                Mix_Init(MIX_INIT_MID);
            }
        }
        return audio == Audio::Open;
    }

    static bool openDevice() {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        if (Mix_OpenAudio(MixRate, AUDIO_S16SYS, MixChannels, MixChunkFrames) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        return true;
    }

    int open(const MciCommand& c) {
        if (musics.count(c.alias)) return mcierr::DuplicateAlias;
        const Result<QString> host = files.toHost(c.path);
        if (!host.ok() || !QFileInfo(host.value()).isFile()) return mcierr::FileNotFound;
        if (!ensureAudio()) return mcierr::Hardware;
        Mix_Music* music = Mix_LoadMUS(QFile::encodeName(host.value()).constData());
        if (!music) return mcierr::InvalidFile;
        if (Mix_GetMusicType(music) != MUS_MID) { // the sequencer plays MIDI only
            Mix_FreeMusic(music);
            return mcierr::InvalidFile;
        }
        musics.emplace(c.alias, music);
        return 0;
    }

    int play(const MciCommand& c) {
        const auto it = musics.find(c.alias);
        if (it == musics.end()) return mcierr::InvalidDeviceName;
        Mix_HaltMusic();
        return Mix_PlayMusic(it->second, 0) == 0 ? 0 : mcierr::Internal; // 0: once
    }

    int close(const MciCommand& c) {
        const auto it = musics.find(c.alias);
        if (it == musics.end()) return mcierr::InvalidDeviceName;
        Mix_FreeMusic(it->second); // halts it first when it is the one playing
        musics.erase(it);
        return 0;
    }

    // Stops the comment still playing and frees it.
    void dropComment() {
        if (!comment) return;
        Mix_HaltChannel(CommentChannel);
        Mix_FreeChunk(comment);
        comment = nullptr;
    }

    bool playWave(const QString& path, int flags) {
        if (audio == Audio::Open) dropComment();
        if (path.isEmpty()) return true;
        const Result<QString> host = files.toHost(path);
        if (!host.ok() || !QFileInfo(host.value()).isFile() || !looksLikeWave(host.value()))
            return false;
        if (!ensureAudio()) return false;
        comment = Mix_LoadWAV(QFile::encodeName(host.value()).constData());
        if (!comment) return false;
        if (Mix_PlayChannel(CommentChannel, comment, 0) < 0) {
            dropComment();
            return false;
        }
        if (!(flags & SndAsync)) waitForComment();
        return true;
    }

    // Waits until the comment has been heard, bounded by its length plus a second in
    // case the device does not consume samples.
    void waitForComment() const {
        int rate = 0, channels = 0;
        Uint16 format = 0;
        if (!Mix_QuerySpec(&rate, &format, &channels) || rate <= 0 || channels <= 0) return;
        const Uint64 bytesPerSecond =
            Uint64(rate) * Uint64(channels) * Uint64(SDL_AUDIO_BITSIZE(format) / 8);
        const Uint64 lengthMs = bytesPerSecond ? Uint64(comment->alen) * 1000 / bytesPerSecond : 0;
        const Uint64 deadline = SDL_GetTicks64() + lengthMs + 1000;
        while (Mix_Playing(CommentChannel) && SDL_GetTicks64() < deadline)
            SDL_Delay(5);
    }

    const DosFileSystem& files;
    Audio audio = Audio::NotOpened;
    bool silentFallback = false;
    void* alsa = nullptr; // ALSA's library, kept loaded with its silent error handler
    std::map<QString, Mix_Music*> musics; // alias -> open music
    Mix_Chunk* comment = nullptr;         // the last comment started, until replaced
};

SdlMedia::SdlMedia(const DosFileSystem& files) : d_(std::make_unique<Impl>(files)) {}

SdlMedia::~SdlMedia() = default;

int SdlMedia::mciSendString(const QString& command) {
    const Result<MciCommand> parsed = parseMciCommand(command);
    if (!parsed.ok()) return parsed.error().number;
    const MciCommand& c = parsed.value();
    switch (c.verb) {
    case MciVerb::Open:
        return d_->open(c);
    case MciVerb::Play:
        return d_->play(c);
    case MciVerb::Close:
        return d_->close(c);
    }
    return mcierr::UnrecognizedCommand;
}

bool SdlMedia::sndPlaySound(const QString& path, int flags) {
    return d_->playWave(path, flags);
}

QString SdlMedia::audioDriver() const {
    if (d_->audio != Impl::Audio::Open) return QString();
    const char* name = SDL_GetCurrentAudioDriver();
    return name ? QString::fromUtf8(name) : QString();
}

QString SdlMedia::findSoundFont() {
    for (const char* p : SoundFontPaths) {
        const QString path = QString::fromLatin1(p);
        if (QFileInfo(path).isFile()) return path;
    }
    return QString();
}

std::unique_ptr<Media> makeHostMedia(const DosFileSystem& files) {
    return std::make_unique<SdlMedia>(files);
}

} // namespace rt
