// Sequencer music and wave comments over SDL2_mixer.

#include "SdlMedia.h"

#include "MciCommand.h"
#include "Platform.h"
#include "RegularFile.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <map>
#include <optional>

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

constexpr qint64 MiB = qint64(1) << 20;
// The most of a wave file read (the samples of the longest comment in a format that takes
// more room than the mixer's).
constexpr qint64 MaxWaveFileBytes = 64 * MiB;
// The most of a MIDI file read: a few hundred thousand events, some 64 MB once the
// synthesiser holds them as its own.
constexpr qint64 MaxMidiFileBytes = 4 * MiB;

// Whether a file begins like a RIFF wave, or like a MIDI file (plain, or in a RIFF file).
bool looksLikeWave(const RegularFile& file) {
    const Result<QByteArray> head = file.read(0, 12);
    return head.ok() && head.value().size() == 12 && head.value().startsWith("RIFF") &&
           head.value().mid(8, 4) == "WAVE";
}
bool looksLikeMidi(const RegularFile& file) {
    const Result<QByteArray> head = file.read(0, 12);
    return head.ok() && (head.value().startsWith("MThd") ||
                         (head.value().startsWith("RIFF") && head.value().mid(8, 4) == "RMID"));
}

} // namespace

std::optional<quint64> waveMixedBytes(QByteArray& b, int rate, int channels, int bytesPerSample) {
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return std::nullopt;
    const char* p = b.constData();
    quint16 tag = 0, fileChannels = 0, blockAlign = 0, bits = 0;
    quint32 fileRate = 0;
    bool haveFormat = false;
    for (qint64 at = 12; at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        const qint64 length = qFromLittleEndian<quint32>(p + at + 4);
        const qint64 body = at + 8;
        if (id == "fmt " && length >= 16 && body + 16 <= b.size()) {
            tag = qFromLittleEndian<quint16>(p + body);
            fileChannels = qFromLittleEndian<quint16>(p + body + 2);
            fileRate = qFromLittleEndian<quint32>(p + body + 4);
            blockAlign = qFromLittleEndian<quint16>(p + body + 12);
            bits = qFromLittleEndian<quint16>(p + body + 14);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat || fileChannels == 0 || fileRate == 0 || blockAlign == 0)
                return std::nullopt;
            // A data chunk that claims more than the file holds holds what there is, and
            // says so to SDL, which allocates what is claimed before it reads.
            const quint64 data = quint64(std::min(length, b.size() - body));
            if (qint64(data) < length) qToLittleEndian(quint32(data), b.data() + at + 4);
            // Frames at the declared bits (at least three a sample, as IMA ADPCM may have),
            // or one a block when a block is smaller than a frame (SDL counts frames by
            // blocks), and for ADPCM (MS and IMA) up to two more a block for the samples
            // a block's header carries.
            const bool adpcm = tag == 0x0002 || tag == 0x0011;
            const quint64 perFrame = quint64(fileChannels) * std::max<quint16>(bits, 3);
            const quint64 blocks = data / blockAlign;
            const quint64 frames =
                std::max(data * 8 / perFrame, blocks) + (adpcm ? 2 * (blocks + 1) : 0);
            // At the mixer's rate, a frame more for the resampler's rounding.
            const quint64 mixedFrames = frames * quint64(rate) / fileRate + 1;
            return mixedFrames * quint64(channels) * quint64(bytesPerSample);
        }
        at = body + length + (length & 1);
    }
    return std::nullopt;
}

struct SdlMedia::Impl {
    enum class Audio { NotOpened, Open, Unavailable };

    explicit Impl(const DosFileSystem& fs) : files(fs) {}

    ~Impl() {
        if (audio == Audio::Open) {
            Mix_HaltChannel(-1);
            if (comment) Mix_FreeChunk(comment);
            for (auto& [alias, m] : musics)
                Mix_FreeMusic(m.music);
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
        if (!host.ok()) return mcierr::FileNotFound;
        // Read here, within bounds, and handed to the mixer from memory: SDL never opens
        // the file itself (a FIFO put in its place would hold it for good).
        const Result<RegularFile> file = RegularFile::open(host.value());
        if (!file.ok())
            return file.error().number == err::FileNotFound ? mcierr::FileNotFound
                                                            : mcierr::InvalidFile;
        if (!looksLikeMidi(file.value())) return mcierr::InvalidFile;
        Result<QByteArray> bytes = file.value().readAll(MaxMidiFileBytes, Beyond::Refuse);
        if (!bytes.ok()) return mcierr::InvalidFile;
        if (!ensureAudio()) return mcierr::Hardware;
        Music m{nullptr, std::move(bytes).value()};
        m.music = Mix_LoadMUS_RW(SDL_RWFromConstMem(m.bytes.constData(), int(m.bytes.size())), 1);
        if (!m.music) return mcierr::InvalidFile;
        if (Mix_GetMusicType(m.music) != MUS_MID) { // the sequencer plays MIDI only
            Mix_FreeMusic(m.music);
            return mcierr::InvalidFile;
        }
        musics.emplace(c.alias, std::move(m));
        return 0;
    }

    int play(const MciCommand& c) {
        const auto it = musics.find(c.alias);
        if (it == musics.end()) return mcierr::InvalidDeviceName;
        Mix_HaltMusic();
        return Mix_PlayMusic(it->second.music, 0) == 0 ? 0 : mcierr::Internal; // 0: once
    }

    int close(const MciCommand& c) {
        const auto it = musics.find(c.alias);
        if (it == musics.end()) return mcierr::InvalidDeviceName;
        Mix_FreeMusic(it->second.music); // halts it first when it is the one playing
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
        if (!host.ok()) return false;
        // Read here, within bounds, and decoded from memory once its samples are known to
        // fit (SDL would decode any length, and open a FIFO and wait).
        const Result<RegularFile> file = RegularFile::open(host.value());
        if (!file.ok() || !looksLikeWave(file.value())) return false;
        Result<QByteArray> read = file.value().readAll(MaxWaveFileBytes, Beyond::Refuse);
        if (!read.ok()) return false;
        QByteArray bytes = std::move(read).value();
        if (!ensureAudio()) return false;
        int rate = 0, channels = 0;
        Uint16 format = 0;
        if (!Mix_QuerySpec(&rate, &format, &channels)) return false;
        const std::optional<quint64> mixed =
            waveMixedBytes(bytes, rate, channels, SDL_AUDIO_BITSIZE(format) / 8);
        if (!mixed || *mixed > quint64(MaxCommentSamples)) return false;
        comment = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.constData(), int(bytes.size())), 1);
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

    // A copy of the DOS view: the media outlive the caller's when a share holds them.
    const DosFileSystem files;
    Audio audio = Audio::NotOpened;
    bool silentFallback = false;
    void* alsa = nullptr; // ALSA's library, kept loaded with its silent error handler
    // An open music, and the file's bytes it is played from.
    struct Music {
        Mix_Music* music;
        QByteArray bytes;
    };
    std::map<QString, Music> musics; // alias -> open music
    Mix_Chunk* comment = nullptr;    // the last comment started, until replaced
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
