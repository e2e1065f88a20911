// A picture's comment and its folder's music, as commands to the media.

#include "Sound.h"

#include "FakePlatform.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const QString CloseCan = QStringLiteral("close can");
const QString PlayCan = QStringLiteral("play can ");

QString openCan(const QString& dosPath) {
    return QStringLiteral("open \"") + dosPath + QStringLiteral("\" type sequencer alias can");
}

// The viewer's sounds over a recording media device and a real temporary folder.
class SoundTest : public ::testing::Test {
protected:
    SoundTest() {
        s.FolderPath = folder();
        s.SuonoWAV = settings::True;
        s.MusicaFM = settings::True;
    }

    // The DOS path of a folder below the temporary folder, with its final "\".
    QString folder(const QString& rel = QString()) const {
        return fake.files.toDos(tmp.path(rel)).value() + QLatin1Char('\\');
    }
    const QStringList& commands() const { return fake.media.commands; }

    TempDir tmp;
    FakePlatform fake{QStringLiteral("C:\\")};
    settings::Modulo1 s;
    // The kinds of the jobs handed to the runner, which runs them at once.
    std::vector<viewer::SoundJob> jobs;
    viewer::Sound sound{fake.platform, s, [this](viewer::SoundJob kind, std::function<void()> job) {
                            jobs.push_back(kind);
                            job();
                        }};
};

TEST_F(SoundTest, CommentBesidePicturePlaysAsynchronouslyOnlyWhenSwitchedOn) {
    tmp.file("mare01.jpg");
    tmp.file("mare01.wav");
    tmp.file("vacanze/p1.GIF");
    tmp.file("vacanze/P1.WAV"); // found without regard to case, named as the entry says

    sound.PlayComment(QStringLiteral(".\\mare01.jpg"));
    sound.PlayComment(QStringLiteral("vacanze\\p1.GIF"));
    EXPECT_EQ(fake.media.sounds,
              (QStringList{s.FolderPath + ".\\mare01.wav", s.FolderPath + "vacanze\\p1.wav"}));
    EXPECT_EQ(fake.media.soundFlags, (std::vector<int>{rt::SndAsync, rt::SndAsync}));

    s.SuonoWAV = settings::False;
    sound.PlayComment(QStringLiteral(".\\mare01.jpg"));
    EXPECT_EQ(fake.media.sounds.size(), 2);

    s.SuonoWAV = 7; // any nonzero value is on
    sound.PlayComment(QStringLiteral(".\\mare01.jpg"));
    EXPECT_EQ(fake.media.sounds.size(), 3);
    EXPECT_TRUE(commands().isEmpty()) << "comments never touch the music";
}

TEST_F(SoundTest, NoCommentWithoutAPlainWaveFileBesideThePicture) {
    tmp.file("a.jpg"); // no a.wav at all
    tmp.file("b.jpg");
    tmp.folder("b.wav"); // a folder is not a comment
    tmp.file("c.jpg");
    tmp.file("c.wav.txt"); // nor a longer name
    tmp.file(".d.jpg");
    tmp.file(".d.wav"); // nor a hidden file
    for (const char* e : {".\\a.jpg", ".\\b.jpg", ".\\c.jpg", ".\\.d.jpg", "altrove\\x.jpg"})
        sound.PlayComment(QString::fromUtf8(e));
    EXPECT_TRUE(fake.media.sounds.isEmpty()) << fake.media.sounds.join(", ").toStdString();
}

TEST_F(SoundTest, MusicFollowsSubfoldersAndRestartsAfterTheWrap) {
    tmp.file("a/1.jpg");
    tmp.file("a/2.jpg");
    tmp.file("a/tema a.mid");
    tmp.file("b/1.jpg");
    tmp.file("b/tema.MID");

    // Pass one: a, a, b; pass two begins with a again.
    for (const char* e : {"a\\1.jpg", "a\\2.jpg", "b\\1.jpg", "a\\1.jpg"})
        sound.UpdateMusic(QString::fromUtf8(e));

    const QString a = openCan(s.FolderPath + "a\\tema a.mid");
    const QString b = openCan(s.FolderPath + "b\\tema.MID");
    EXPECT_EQ(commands(),
              (QStringList{CloseCan, a, PlayCan, CloseCan, b, PlayCan, CloseCan, a, PlayCan}));
    // Each change of folder is one job of music work, looked up and sent off the caller.
    EXPECT_EQ(jobs, std::vector<viewer::SoundJob>(3, viewer::SoundJob::Music));
    EXPECT_EQ(sound.musicKey(), "a\\" + s.FolderPath);

    sound.StopMusic();
    EXPECT_EQ(commands().back(), CloseCan);
}

TEST_F(SoundTest, OneFolderStartsItsMusicOnceForTheWholeShow) {
    tmp.file("1.jpg");
    tmp.file("2.jpg");
    tmp.file("tema.mid");
    for (int pass = 0; pass < 3; ++pass)
        for (const char* e : {".\\1.jpg", ".\\2.jpg"})
            sound.UpdateMusic(QString::fromUtf8(e));
    EXPECT_EQ(commands(), (QStringList{CloseCan, openCan(s.FolderPath + ".\\tema.mid"), PlayCan}));
}

TEST_F(SoundTest, SubfolderWithoutMusicLeavesThePreviousMusicPlaying) {
    tmp.file("a/tema.mid");
    tmp.file("c/nota.txt");
    tmp.folder("c/finta.mid"); // a folder, not a MIDI file
    tmp.file("c/.nascosta.mid");

    sound.UpdateMusic(QStringLiteral("a\\1.jpg"));
    sound.UpdateMusic(QStringLiteral("c\\1.jpg"));
    sound.UpdateMusic(QStringLiteral("c\\2.jpg"));
    EXPECT_EQ(commands().size(), 3) << commands().join(" | ").toStdString();
    EXPECT_EQ(sound.musicKey(), "c\\" + s.FolderPath) << "the key moves on even without music";

    // Coming back to a starts its music again from the beginning.
    sound.UpdateMusic(QStringLiteral("a\\1.jpg"));
    EXPECT_EQ(commands().mid(3),
              (QStringList{CloseCan, openCan(s.FolderPath + "a\\tema.mid"), PlayCan}));
}

TEST_F(SoundTest, OnlyTheFirstListedMidiFileIsEverPlayed) {
    tmp.file("s/b.mid");
    tmp.file("s/C.mid");
    tmp.file("s/A.MID");
    tmp.folder("s/0.mid");
    tmp.file("s/1.jpg");
    sound.UpdateMusic(QStringLiteral("s\\1.jpg"));
    sound.UpdateMusic(QStringLiteral(".\\x.jpg"));
    sound.UpdateMusic(QStringLiteral("s\\1.jpg"));
    const QString first = openCan(s.FolderPath + "s\\A.MID");
    EXPECT_EQ(commands(), (QStringList{CloseCan, first, PlayCan, CloseCan, first, PlayCan}));
}

TEST_F(SoundTest, FolderWithBlanksIsOpenedAsOneQuotedPath) {
    tmp.file("le mie foto/vacanze al mare/musica di sera.mid");
    s.FolderPath = folder(QStringLiteral("le mie foto"));
    sound.UpdateMusic(QStringLiteral("vacanze al mare\\foto 1.jpg"));
    ASSERT_EQ(commands().size(), 3);
    EXPECT_EQ(commands()[1], "open \"" + s.FolderPath +
                                 "vacanze al mare\\musica di sera.mid\" type sequencer alias can");
    EXPECT_TRUE(s.FolderPath.contains(QLatin1String("le mie foto\\")));
}

TEST_F(SoundTest, MusicSwitchedOffSendsNothingButTheFinalClose) {
    tmp.file("a/tema.mid");
    tmp.file("b/tema.mid");
    s.MusicaFM = settings::False;
    for (const char* e : {"a\\1.jpg", "b\\1.jpg", "a\\1.jpg"})
        sound.UpdateMusic(QString::fromUtf8(e));
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_EQ(sound.musicKey(), "a\\" + s.FolderPath);

    sound.StopMusic();
    EXPECT_EQ(commands(), QStringList{CloseCan});
}

TEST_F(SoundTest, NewFolderAfterTheDialogLooksTheMusicUpAgain) {
    tmp.file("uno/tema.mid");
    tmp.file("due/altro.mid");
    tmp.folder("tre");

    s.FolderPath = folder(QStringLiteral("uno"));
    sound.UpdateMusic(QStringLiteral(".\\1.jpg"));
    // The same entry under another chosen folder is another place.
    s.FolderPath = folder(QStringLiteral("due"));
    sound.UpdateMusic(QStringLiteral(".\\1.jpg"));
    EXPECT_EQ(commands(),
              (QStringList{CloseCan, openCan(folder("uno") + ".\\tema.mid"), PlayCan, CloseCan,
                           openCan(folder("due") + ".\\altro.mid"), PlayCan}));

    // A new folder without music: the key changes, the music goes on.
    s.FolderPath = folder(QStringLiteral("tre"));
    sound.UpdateMusic(QStringLiteral(".\\1.jpg"));
    EXPECT_EQ(commands().size(), 6);
    EXPECT_EQ(sound.musicKey(), ".\\" + folder("tre"));
}

TEST_F(SoundTest, MissingFolderMeansNoMusic) {
    s.FolderPath = folder(QStringLiteral("sparita"));
    sound.UpdateMusic(QStringLiteral(".\\1.jpg"));
    sound.PlayComment(QStringLiteral(".\\1.jpg"));
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_TRUE(fake.media.sounds.isEmpty());
    EXPECT_EQ(sound.musicKey(), ".\\" + s.FolderPath);
}

} // namespace

// A share may hold a sound job until after the show and its platform are gone: the job
// still reaches the media it was given, which it shares (AddressSanitizer would see a
// job that kept a reference).
TEST(SoundJobs, OutliveTheShowAndItsPlatform) {
    TempDir tmp;
    tmp.file("a.jpg");
    tmp.file("a.wav");
    tmp.file("tema.mid");
    std::vector<std::function<void()>> held;
    std::shared_ptr<RecordingMedia> media;
    {
        auto fake = std::make_unique<FakePlatform>(QStringLiteral("C:\\"));
        media = fake->sharedMedia;
        settings::Modulo1 s;
        s.FolderPath = fake->files.toDos(tmp.path()).value() + QLatin1Char('\\');
        s.SuonoWAV = settings::True;
        s.MusicaFM = settings::True;
        viewer::Sound sound(fake->platform, s, [&](viewer::SoundJob, std::function<void()> job) {
            held.push_back(std::move(job));
        });
        sound.PlayComment(QStringLiteral(".\\a.jpg"));
        sound.UpdateMusic(QStringLiteral(".\\a.jpg"));
        sound.StopMusic();
    }
    ASSERT_EQ(held.size(), 3U);
    for (const auto& job : held)
        job();
    EXPECT_EQ(media->sounds.size(), 1);
    EXPECT_EQ(media->commands.size(), 4); // close, open, play; then close
}
