// A picture's wave comment and its folder's music.

#include "Sound.h"

namespace viewer {

namespace {
const QString MusicAlias = QStringLiteral("can");
} // namespace

Sound::Sound(rt::Platform& platform, const settings::Modulo1& settings,
             std::function<void()> letEventsRun)
    : platform_(platform), s_(settings), letEventsRun_(std::move(letEventsRun)) {}

void Sound::PlayComment(const QString& entry) {
    // The picture's extension (its last four characters) becomes ".wav".
    const QString comment = entry.left(entry.size() - 4) + QStringLiteral(".wav");
    const QString path = s_.FolderPath + comment;
    if (platform_.files.fileExists(path) && s_.SuonoWAV != 0)
        platform_.media.sndPlaySound(path, rt::SndAsync);
}

void Sound::UpdateMusic(const QString& entry) {
    // The subfolder prefix: up to and including the first "\".
    const qsizetype slash = entry.indexOf(QLatin1Char('\\'));
    const QString prefix = slash < 0 ? QString() : entry.left(slash + 1);
    const QString key = prefix + s_.FolderPath;
    if (key == MusicKey) return;

    const rt::Result<QStringList> midi = platform_.files.list(
        s_.FolderPath + prefix + QStringLiteral("*.mid"), rt::ListMode::FilesOnly);
    if (midi.ok() && !midi.value().isEmpty() && s_.MusicaFM != 0) {
        platform_.media.mciSendString(QStringLiteral("close ") + MusicAlias);
        letEventsRun_();
        const QString quoted =
            QLatin1Char('"') + s_.FolderPath + prefix + midi.value().first() + QLatin1Char('"');
        platform_.media.mciSendString(QStringLiteral("open ") + quoted +
                                      QStringLiteral(" type sequencer alias ") + MusicAlias);
        platform_.media.mciSendString(QStringLiteral("play ") + MusicAlias + QLatin1Char(' '));
    }
    MusicKey = key;
}

void Sound::StopMusic() {
    platform_.media.mciSendString(QStringLiteral("close ") + MusicAlias);
}

} // namespace viewer
