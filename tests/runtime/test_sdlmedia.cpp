// Real sound through SDL. Each case runs in a child process of its own, so that SDL
// starts there with the audio driver the case asks for; SDL's "disk" driver writes what
// would be heard to a file, which the test then measures.

#include "MciCommand.h"
#include "SdlMedia.h"

#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Report = std::map<std::string, std::string>;

// What the layer asks of the device, and gets from the disk driver.
constexpr int OutRate = 44100;
constexpr int OutChannels = 2;

// --- Test material ------------------------------------------------------------

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& b, std::uint32_t v) {
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

// A mono 16-bit sine tone at 22 050 Hz, half of full scale.
QByteArray toneWav(double seconds, double hz) {
    constexpr int rate = 22050;
    const int n = int(seconds * rate);
    QByteArray data;
    for (int i = 0; i < n; ++i)
        put16(data, int(16000 * std::sin(2 * M_PI * hz * i / rate)));
    QByteArray w("RIFF");
    put32(w, std::uint32_t(36 + data.size()));
    w += "WAVEfmt ";
    put32(w, 16);
    put16(w, 1); // PCM
    put16(w, 1); // mono
    put32(w, rate);
    put32(w, rate * 2); // bytes per second
    put16(w, 2);        // bytes per frame
    put16(w, 16);
    w += "data";
    put32(w, std::uint32_t(data.size()));
    return w + data;
}

// A MIDI file holding one loud C major piano chord for the given time (120 beats a
// minute, 480 ticks a beat).
QByteArray chordMidi(double seconds) {
    const int keys[] = {60, 64, 67, 72};
    QByteArray t;
    auto event = [&t](int delta, std::initializer_list<int> bytes) {
        QByteArray v(1, char(delta & 0x7F));
        while (delta >>= 7)
            v.prepend(char(0x80 | (delta & 0x7F)));
        t += v;
        for (int b : bytes)
            t.append(char(b));
    };
    event(0, {0xC0, 0}); // piano
    for (int k : keys)
        event(0, {0x90, k, 112});
    event(int(seconds * 960), {0x80, keys[0], 0});
    for (int k : keys)
        if (k != keys[0]) event(0, {0x80, k, 0});
    event(0, {0xFF, 0x2F, 0}); // end of track
    QByteArray m("MThd");
    for (int b : {0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0})
        m.append(char(b)); // format 0, one track
    m += "MTrk";
    put16(m, 0); // big-endian length, high half zero
    m.append(char(t.size() >> 8)).append(char(t.size() & 0xFF));
    return m + t;
}

// --- Running a case in a child process ------------------------------------------

struct Child {
    int status = -1;
    Report report;
};

// Runs `body` in a child process with the given environment; the child reports its
// findings as key=value lines. The SDL layer is created, used and destroyed there.
Child inChild(const std::vector<std::pair<std::string, std::string>>& env,
              const std::function<void(rt::SdlMedia&, const rt::DosFileSystem&, Report&)>& body) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        for (const auto& [k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        Report r;
        {
            rt::DosFileSystem files;
            rt::SdlMedia media(files);
            body(media, files, r);
            r["driver"] = media.audioDriver().toStdString();
        }
        std::string out;
        for (const auto& [k, v] : r)
            out += k + '=' + v + '\n';
        const char* p = out.data();
        std::size_t left = out.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= std::size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        text.append(buf, std::size_t(n));
    close(fds[0]);
    Child c;
    waitpid(pid, &c.status, 0);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) c.report[line.substr(0, eq)] = line.substr(eq + 1);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return c;
}

// The environment that sends SDL's output to a file, in real time.
std::vector<std::pair<std::string, std::string>> diskAudio(const QString& file) {
    return {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", file.toStdString()}};
}

std::string secondsSince(Clock::time_point t0) {
    return std::to_string(std::chrono::duration<double>(Clock::now() - t0).count());
}

long msSince(Clock::time_point t0) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// --- Measuring what was heard -----------------------------------------------------

class Heard {
public:
    explicit Heard(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return;
        const QByteArray b = f.readAll();
        samples_.resize(std::size_t(b.size()) / 2);
        std::memcpy(samples_.data(), b.constData(), samples_.size() * 2);
    }
    [[nodiscard]] double seconds() const {
        return double(samples_.size()) / (OutRate * OutChannels);
    }
    // Root mean square of the samples between two times, as a share of full scale.
    [[nodiscard]] double rms(double from, double to) const {
        double sum = 0;
        std::size_t n = 0;
        forEach(from, to, [&](int v) {
            sum += double(v) * v;
            ++n;
        });
        return n ? std::sqrt(sum / double(n)) / 32768.0 : 0.0;
    }
    [[nodiscard]] int peak(double from, double to) const {
        int p = 0;
        forEach(from, to, [&](int v) { p = std::max(p, std::abs(v)); });
        return p;
    }
    // The main frequency of a tone, from the zero crossings of the left channel.
    [[nodiscard]] double pitch(double from, double to) const {
        int crossings = 0;
        int last = 0;
        const std::size_t a = index(from), b = index(to);
        for (std::size_t i = a; i < b; i += OutChannels) {
            const int v = samples_[i];
            if ((last < 0 && v >= 0) || (last >= 0 && v < 0)) ++crossings;
            last = v;
        }
        return crossings / 2.0 / (to - from);
    }

private:
    [[nodiscard]] std::size_t index(double t) const {
        return std::min(samples_.size(), std::size_t(t * OutRate) * OutChannels);
    }
    void forEach(double from, double to, const std::function<void(int)>& f) const {
        for (std::size_t i = index(from); i < index(to); ++i)
            f(samples_[i]);
    }
    std::vector<std::int16_t> samples_;
};

constexpr double Loud = 0.05; // RMS of something clearly heard (-26 dB)
constexpr int Silent = 4;     // peak of silence (the mixer writes exact zeros)

class SdlMediaTest : public ::testing::Test {
protected:
    QString dos(const QString& rel) const { return files.toDos(tmp.path(rel)).value(); }
    QString out() const { return tmp.path(QStringLiteral("heard.raw")); }

    TempDir tmp;
    rt::DosFileSystem files;
};

// --- Wave comments -----------------------------------------------------------------

TEST_F(SdlMediaTest, CommentIsHeardOnceAndTheCallReturnsAtOnce) {
    tmp.file(QStringLiteral("commento.wav"), toneWav(0.4, 440));
    const QString path = dos(QStringLiteral("commento.wav"));
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            const auto t0 = Clock::now();
            r["played"] = m.sndPlaySound(path, rt::SndAsync) ? "1" : "0";
            r["ms"] = std::to_string(msSince(t0));
            std::this_thread::sleep_for(1200ms);
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("driver"), "disk");
    EXPECT_EQ(c.report.at("played"), "1");
    EXPECT_LT(std::stol(c.report.at("ms")), 300) << "an asynchronous comment does not wait";

    const Heard h(out());
    ASSERT_GT(h.seconds(), 1.0);
    EXPECT_GT(h.rms(0.1, 0.35), 0.2);
    EXPECT_NEAR(h.pitch(0.1, 0.35), 440, 15);
    EXPECT_LE(h.peak(0.7, h.seconds()), Silent) << "the comment is played once, not looped";
}

TEST_F(SdlMediaTest, NewCommentCutsOffTheOneStillPlaying) {
    tmp.file(QStringLiteral("lungo.wav"), toneWav(3.0, 440));
    tmp.file(QStringLiteral("breve.wav"), toneWav(0.3, 880));
    const QString first = dos(QStringLiteral("lungo.wav"));
    const QString second = dos(QStringLiteral("breve.wav"));
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            const auto t0 = Clock::now();
            r["first"] = m.sndPlaySound(first, rt::SndAsync) ? "1" : "0";
            std::this_thread::sleep_for(400ms);
            r["t-second"] = secondsSince(t0);
            r["second"] = m.sndPlaySound(second, rt::SndAsync) ? "1" : "0";
            std::this_thread::sleep_for(1100ms);
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("first"), "1");
    EXPECT_EQ(c.report.at("second"), "1");

    const double t = std::stod(c.report.at("t-second"));
    const Heard h(out());
    ASSERT_GT(h.seconds(), t + 0.9);
    EXPECT_NEAR(h.pitch(0.05, t - 0.05), 440, 15);
    EXPECT_NEAR(h.pitch(t + 0.1, t + 0.25), 880, 25)
        << "the second comment alone, not mixed with the first";
    EXPECT_LE(h.peak(t + 0.5, h.seconds()), Silent) << "the first comment does not come back";
}

TEST_F(SdlMediaTest, SynchronousCommentReturnsWhenItHasBeenHeard) {
    tmp.file(QStringLiteral("commento.wav"), toneWav(0.5, 440));
    const QString path = dos(QStringLiteral("commento.wav"));
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            const auto t0 = Clock::now();
            r["played"] = m.sndPlaySound(path, 0) ? "1" : "0";
            r["ms"] = std::to_string(msSince(t0));
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("played"), "1");
    EXPECT_GE(std::stol(c.report.at("ms")), 450);
    EXPECT_LT(std::stol(c.report.at("ms")), 1400);
}

TEST_F(SdlMediaTest, FilesThatAreNotPlayableWavesPlayNothing) {
    tmp.file(QStringLiteral("tema.mid"), chordMidi(1.0));
    tmp.file(QStringLiteral("testo.wav"), "Tramonto sul mare, non un suono.");
    tmp.file(QStringLiteral("rotto.wav"),
             QByteArray("RIFF\x20\0\0\0WAVEjunk", 16) + QByteArray(28, 'x'));
    tmp.file(QStringLiteral("musica.wav"), chordMidi(1.0)); // a MIDI file named like a wave
    const QString midi = dos(QStringLiteral("tema.mid"));
    const QStringList bad = {dos(QStringLiteral("testo.wav")), dos(QStringLiteral("rotto.wav")),
                             dos(QStringLiteral("musica.wav")), dos(QStringLiteral("manca.wav")),
                             dos(QString())};
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            // Open music without playing it: the device runs, and must stay silent.
            r["open"] =
                std::to_string(m.mciSendString("open \"" + midi + "\" type sequencer alias can"));
            for (qsizetype i = 0; i < bad.size(); ++i)
                r["bad" + std::to_string(i)] = m.sndPlaySound(bad[i], rt::SndAsync) ? "1" : "0";
            std::this_thread::sleep_for(600ms);
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("open"), "0");
    for (qsizetype i = 0; i < bad.size(); ++i)
        EXPECT_EQ(c.report.at("bad" + std::to_string(i)), "0") << bad[i].toStdString();
    const Heard h(out());
    ASSERT_GT(h.seconds(), 0.4);
    EXPECT_LE(h.peak(0, h.seconds()), Silent);
}

TEST_F(SdlMediaTest, ThousandsOfCommentsDoNotPileUp) {
    tmp.file(QStringLiteral("commento.wav"), toneWav(0.2, 440)); // 35 KB once mixed
    const QString path = dos(QStringLiteral("commento.wav"));
    auto residentKb = [] {
        QFile f(QStringLiteral("/proc/self/statm"));
        if (!f.open(QIODevice::ReadOnly)) return 0L;
        return f.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
    };
    const Child c = inChild({{"SDL_AUDIODRIVER", "dummy"}},
                            [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
                                int played = 0;
                                for (int i = 0; i < 200; ++i)
                                    played += m.sndPlaySound(path, rt::SndAsync);
                                const long before = residentKb();
                                for (int i = 0; i < 10000; ++i)
                                    played += m.sndPlaySound(path, rt::SndAsync);
                                r["growthKb"] = std::to_string(residentKb() - before);
                                r["played"] = std::to_string(played);
                            });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("played"), "10200");
    EXPECT_LT(std::stol(c.report.at("growthKb")), 20 * 1024)
        << "about 350 MB if every comment stayed";
}

// --- MIDI music ------------------------------------------------------------------------

// Music tests note when things happened, in seconds from just before the command that
// opened the device: the disk file's clock starts there too, whatever loading the
// soundfont costs on a busy machine.

TEST_F(SdlMediaTest, MusicIsSilentUntilPlayedThenPlaysOnceUnderItsAlias) {
    tmp.file(QStringLiteral("la mia musica/tema.mid"), chordMidi(0.5));
    tmp.file(QStringLiteral("onda.wav"), toneWav(0.2, 440));
    const QString path = dos(QStringLiteral("la mia musica/tema.mid"));
    const QString open = "open \"" + path + "\" type sequencer alias can";
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            r["close-nothing"] = std::to_string(m.mciSendString("close can"));
            r["play-nothing"] = std::to_string(m.mciSendString("play can "));
            const auto t0 = Clock::now();
            r["open"] = std::to_string(m.mciSendString(open));
            r["open-again"] = std::to_string(m.mciSendString(open));
            std::this_thread::sleep_for(500ms);
            r["t-play"] = secondsSince(t0);
            const auto tPlay = Clock::now();
            r["play"] = std::to_string(m.mciSendString("PLAY CAN "));
            r["play-ms"] = std::to_string(msSince(tPlay));
            std::this_thread::sleep_for(1800ms);
            r["close"] = std::to_string(m.mciSendString("close can"));
            r["close-again"] = std::to_string(m.mciSendString("close can"));
            r["missing"] = std::to_string(m.mciSendString(
                "open \"" + dos(QStringLiteral("manca.mid")) + "\" type sequencer alias can"));
            r["not-midi"] = std::to_string(m.mciSendString(
                "open \"" + dos(QStringLiteral("onda.wav")) + "\" type sequencer alias can"));
            r["garbage"] = std::to_string(m.mciSendString("open"));
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("close-nothing"), std::to_string(rt::mcierr::InvalidDeviceName));
    EXPECT_EQ(c.report.at("play-nothing"), std::to_string(rt::mcierr::InvalidDeviceName));
    EXPECT_EQ(c.report.at("open"), "0");
    EXPECT_EQ(c.report.at("open-again"), std::to_string(rt::mcierr::DuplicateAlias));
    EXPECT_EQ(c.report.at("play"), "0");
    EXPECT_LT(std::stol(c.report.at("play-ms")), 200) << "play returns at once";
    EXPECT_EQ(c.report.at("close"), "0");
    EXPECT_EQ(c.report.at("close-again"), std::to_string(rt::mcierr::InvalidDeviceName));
    EXPECT_EQ(c.report.at("missing"), std::to_string(rt::mcierr::FileNotFound));
    EXPECT_EQ(c.report.at("not-midi"), std::to_string(rt::mcierr::InvalidFile));
    EXPECT_EQ(c.report.at("garbage"), std::to_string(rt::mcierr::MissingDeviceName));

    const Heard h(out());
    const double play = std::stod(c.report.at("t-play"));
    ASSERT_GT(h.seconds(), play + 1.7);
    EXPECT_LE(h.peak(0.0, play - 0.05), Silent) << "opened, not yet played";
    EXPECT_GT(h.rms(play + 0.1, play + 0.45), Loud) << "the chord after play";
    // The chord ends half a second after play; only its fading reverberation follows,
    // no second start.
    EXPECT_LT(h.rms(play + 1.0, play + 1.7), Loud / 20) << "played once, not looped";
}

TEST_F(SdlMediaTest, CloseSilencesTheMusicAndANewAliasPlaysFromItsStart) {
    tmp.file(QStringLiteral("a.mid"), chordMidi(5.0));
    tmp.file(QStringLiteral("b.mid"), chordMidi(5.0));
    const QString a = dos(QStringLiteral("a.mid"));
    const QString b = dos(QStringLiteral("b.mid"));
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            int sum = 0;
            const auto t0 = Clock::now();
            sum += m.mciSendString("open \"" + a + "\" type sequencer alias can");
            sum += m.mciSendString("play can ");
            r["t-play-a"] = secondsSince(t0);
            std::this_thread::sleep_for(500ms);
            sum += m.mciSendString("close can");
            r["t-close-a"] = secondsSince(t0);
            std::this_thread::sleep_for(500ms);
            sum +=
                m.mciSendString("open " + b + " type sequencer alias mia"); // unquoted, no blanks
            sum += m.mciSendString("play MIA");
            r["t-play-b"] = secondsSince(t0);
            std::this_thread::sleep_for(500ms);
            r["t-end"] = secondsSince(t0);
            r["sum"] = std::to_string(sum);
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("sum"), "0");
    const double playA = std::stod(c.report.at("t-play-a"));
    const double closeA = std::stod(c.report.at("t-close-a"));
    const double playB = std::stod(c.report.at("t-play-b"));
    const Heard h(out());
    ASSERT_GT(h.seconds(), playB + 0.4);
    EXPECT_GT(h.rms(playA + 0.1, closeA - 0.05), Loud);
    EXPECT_LE(h.peak(closeA + 0.05, playB - 0.05), Silent) << "closed music is not heard";
    EXPECT_GT(h.rms(playB + 0.1, playB + 0.4), Loud);
}

TEST_F(SdlMediaTest, SampleTuneAndCommentAreClearlyAudible) {
    const QString samples = QStringLiteral(QUADRELLO_SAMPLES_DIR);
    const QString tune = files.toDos(samples + QStringLiteral("/tema.mid")).value();
    const QString comment = files.toDos(samples + QStringLiteral("/01-tramonto.wav")).value();
    const Child c =
        inChild(diskAudio(out()), [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
            const auto t0 = Clock::now();
            r["open"] =
                std::to_string(m.mciSendString("open \"" + tune + "\" type sequencer alias can"));
            r["play"] = std::to_string(m.mciSendString("play can "));
            r["t-tune"] = secondsSince(t0);
            std::this_thread::sleep_for(1500ms);
            r["close"] = std::to_string(m.mciSendString("close can"));
            r["comment"] = m.sndPlaySound(comment, rt::SndAsync) ? "1" : "0";
            r["t-comment"] = secondsSince(t0);
            std::this_thread::sleep_for(1200ms);
        });
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.report.at("open"), "0");
    EXPECT_EQ(c.report.at("play"), "0");
    EXPECT_EQ(c.report.at("close"), "0");
    EXPECT_EQ(c.report.at("comment"), "1");
    const double tune0 = std::stod(c.report.at("t-tune"));
    const double comment0 = std::stod(c.report.at("t-comment"));
    const Heard h(out());
    ASSERT_GT(h.seconds(), comment0 + 1.0);
    EXPECT_GT(h.rms(tune0 + 0.1, comment0 - 0.1), Loud) << "tune";
    EXPECT_GT(h.rms(comment0 + 0.1, comment0 + 1.0), Loud) << "comment";
}

// --- No sound device -------------------------------------------------------------------

TEST_F(SdlMediaTest, WithoutAnAudioDeviceTheShowGoesOnSilently) {
    tmp.file(QStringLiteral("commento.wav"), toneWav(0.2, 440));
    tmp.file(QStringLiteral("tema.mid"), chordMidi(1.0));
    const QString wave = dos(QStringLiteral("commento.wav"));
    const QString midi = dos(QStringLiteral("tema.mid"));
    auto use = [&](rt::SdlMedia& m, const rt::DosFileSystem&, Report& r) {
        r["comment"] = m.sndPlaySound(wave, rt::SndAsync) ? "1" : "0";
        int sum = m.mciSendString("open \"" + midi + "\" type sequencer alias can");
        sum += m.mciSendString("play can ");
        sum += m.mciSendString("close can");
        r["music"] = std::to_string(sum);
        r["used"] = m.audioDriver().toStdString();
    };
    // A driver that does not exist, and one that exists but cannot open its device.
    const std::vector<std::vector<std::pair<std::string, std::string>>> hosts = {
        {{"SDL_AUDIODRIVER", "nessuno"}},
        diskAudio(tmp.path(QStringLiteral("non/esiste/heard.raw"))),
    };
    for (const auto& env : hosts) {
        const Child c = inChild(env, use);
        ASSERT_EQ(c.status, 0) << env[0].second;
        EXPECT_EQ(c.report.at("used"), "dummy") << env[0].second;
        EXPECT_EQ(c.report.at("comment"), "1") << env[0].second;
        EXPECT_EQ(c.report.at("music"), "0") << env[0].second;
    }
}

} // namespace

namespace {

// A wave's header and data chunk: PCM (tag 1) unless told, `data` bytes of data claimed
// and `present` there.
QByteArray wave(quint32 rate, quint16 bits, quint16 channels, quint32 data, quint32 present,
                quint16 tag = 1, quint16 align = 0, const QByteArray& before = {}) {
    QByteArray h;
    const auto u32 = [&](quint32 v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](quint16 v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    if (!align) align = quint16(channels * bits / 8);
    h += "RIFF";
    u32(36 + data);
    h += "WAVEfmt ";
    u32(16), u16(tag), u16(channels), u32(rate), u32(rate * align), u16(align), u16(bits);
    h += before + "data";
    u32(data);
    return h + QByteArray(qsizetype(present), '\x55');
}

} // namespace

// What a comment decodes to in the mixer's format (44.1 kHz, 16-bit stereo), known from its
// chunks before SDL decodes it: never less than SDL makes (the wave fuzz target checks that
// against SDL itself), and not much more.
TEST(WaveBound, FromTheChunksBeforeDecoding) {
    const std::optional<quint64> none;
    struct Case {
        const char* what;
        QByteArray wave;
        std::optional<quint64> mixed;
    };
    const Case cases[] = {
        {"the mixer's own format", wave(44100, 16, 2, 4000, 4000), 4004},
        {"8 kHz, 8 bits, mono: 22 times as many bytes", wave(8000, 8, 1, 8000, 8000), 176404},
        {"a data chunk claiming more than there is", wave(8000, 8, 1, 0xFFFFFF00u, 8000), 176404},
        {"IMA ADPCM: four bits a sample, the block headers' samples on top",
         wave(22050, 4, 1, 512, 512, 0x11, 256), (1024 + 2 * 3) * 2 * 4 + 4},
        {"a chunk of odd length before the data",
         wave(44100, 16, 2, 400, 400, 1, 0, QByteArray("LIST\x03\0\0\0abc\0", 12)), 404},
        {"no channels", wave(44100, 16, 0, 400, 400), none},
        {"no rate", wave(0, 16, 2, 400, 400), none},
        {"not RIFF", QByteArray("RIFX") + wave(44100, 16, 2, 4, 4).mid(4), none},
        {"no data chunk", wave(44100, 16, 2, 4, 4).left(36), none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray w = c.wave;
        EXPECT_EQ(rt::waveMixedBytes(w, 44100, 2, 2), c.mixed);
    }
    // The claimed length made true, for SDL, which allocates what is claimed.
    QByteArray lying = wave(8000, 8, 1, 0xFFFFFF00u, 8000);
    (void)rt::waveMixedBytes(lying, 44100, 2, 2);
    EXPECT_EQ(lying.right(8004).left(4), QByteArray("\x40\x1f\0\0", 4));
    // The sparse comment of 20 MB at 8 kHz: some 440 MB once mixed, refused before decoding.
    QByteArray sparse = wave(8000, 8, 1, 20'000'000, 20'000'000);
    EXPECT_GT(*rt::waveMixedBytes(sparse, 44100, 2, 2), quint64(rt::MaxCommentSamples) * 6);
}
