// A picture's wave comment and its folder's music.

#include "Sound.h"

namespace viewer {

namespace {
const QString MusicAlias = QStringLiteral("can");
} // namespace

Sound::Sound(rt::Platform& platform, const settings::Modulo1& settings, SoundRunner run)
    : platform_(platform), s_(settings), run_(std::move(run)) {}

void Sound::PlayComment(const QString& entry) {
    // The picture's extension (its last four characters) becomes ".wav".
    const QString comment = entry.left(entry.size() - 4) + QStringLiteral(".wav");
    const QString path = s_.FolderPath + comment;
    const bool on = s_.SuonoWAV != 0;
    // The job works on a copy of the DOS view (the caller's may change meanwhile) and
    // shares the media: a share may hold it until after the show has gone.
    run_(SoundJob::Comment, [files = platform_.files, media = platform_.media, path, on] {
        if (files.fileExists(path) && on) media->sndPlaySound(path, rt::SndAsync);
    });
}

void Sound::UpdateMusic(const QString& entry) {
    // The subfolder prefix: up to and including the first "\".
    const qsizetype slash = entry.indexOf(QLatin1Char('\\'));
    const QString prefix = slash < 0 ? QString() : entry.left(slash + 1);
    const QString key = prefix + s_.FolderPath;
    if (key == MusicKey) return;

    const QString folder = s_.FolderPath + prefix;
    const bool on = s_.MusicaFM != 0;
    run_(SoundJob::Music, [files = platform_.files, media = platform_.media, folder, on] {
        const rt::Result<QStringList> midi =
            files.list(folder + QStringLiteral("*.mid"), rt::ListMode::FilesOnly);
        if (!midi.ok() || midi.value().isEmpty() || !on) return;
        // The caller's events run meanwhile: nothing here holds the show up.
        media->mciSendString(QStringLiteral("close ") + MusicAlias);
        const QString quoted = QLatin1Char('"') + folder + midi.value().first() + QLatin1Char('"');
        media->mciSendString(QStringLiteral("open ") + quoted +
                             QStringLiteral(" type sequencer alias ") + MusicAlias);
        media->mciSendString(QStringLiteral("play ") + MusicAlias + QLatin1Char(' '));
    });
    MusicKey = key;
}

void Sound::StopMusic() {
    run_(SoundJob::Music, [media = platform_.media] {
        media->mciSendString(QStringLiteral("close ") + MusicAlias);
    });
}

} // namespace viewer
