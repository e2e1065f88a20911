// Strange files never hang, abort or bloat the program: a FIFO, a link to /proc/self/pagemap,
// sparse files of absurd sizes with valid headers, in place of a picture, a wave comment, a
// music file, the settings file and the registry hive. Each is read through the real code
// (the decode-ahead's decode, the SDL media, the settings reader, the hive) in a process of
// its own, killed when it has not ended in 20 s ("hung"), its peak memory measured: each must
// come out as the table says (refused, or read cut short) within 300 MB. Then a show over a
// folder where a picture becomes a FIFO after the walk, beside the link and the sparse
// metafile: every tick ends, with a message for each strange picture, to the end of the pass.
//
// Usage: strange_files_check SAMPLE_FOLDER

#include "Form1.h"
#include "Prefetch.h"
#include "RegistryHive.h"
#include "SdlMedia.h"
#include "SettingsFile.h"

#include "FakePlatform.h"
#include "HelperBeside.h"
#include "ShowTicks.h"
#include "TempDir.h"

#include <QApplication>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int HangSeconds = 20;
constexpr long MaxMiB = 300;
constexpr qint64 GiB = qint64(1) << 30;
const viewer::ShowArea FullHd{1920 * 15, 1080 * 15, 40 * 15};

// What a reader makes of its file: the word the child prints and exits with.
enum Outcome { Refused = 0, Accepted = 1, CutShort = 2, Defaults = 3 };
const char* const OutcomeNames[] = {"refused", "accepted", "read cut short", "read as absent"};

enum class Reader { Picture, Comment, Music, Settings, Hive };

// The settings file's first lines and the hive's first key, before the sparse rest.
const QByteArray SettingsHead = "PATH=C:\\foto\\\r\nTempoAttesa=7000\r\n";
const QByteArray HiveHead = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared "
                            "Tools\\MSINFO]\r\n\"PATH\"=\"C:\\\\strumenti\\\\info\"\r\n";

QByteArray waveHeader(quint32 rate, quint16 bits, quint16 channels, quint32 dataBytes) {
    QByteArray h;
    const auto u32 = [&](quint32 v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](quint16 v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    const quint16 align = quint16(channels * bits / 8);
    h += "RIFF";
    u32(36 + dataBytes);
    h += "WAVEfmt ";
    u32(16), u16(1), u16(channels), u32(rate), u32(rate * align), u16(align), u16(bits);
    h += "data";
    u32(dataBytes);
    return h;
}

// Writes `head` and makes the file `size` bytes long, the rest a hole.
void sparse(const QString& path, const QByteArray& head, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(head) != head.size() || !f.resize(size))
        throw std::runtime_error("cannot make " + path.toStdString());
}
void fifo(const QString& path) {
    QFile::remove(path);
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        throw std::runtime_error("cannot make a FIFO");
}
void pagemap(const QString& path) {
    if (!QFile::link(QStringLiteral("/proc/self/pagemap"), path))
        throw std::runtime_error("cannot make a link");
}
// A socket bound at the path, with no one to accept (the descriptor is left to the process).
void socketAt(const QString& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    std::memcpy(a.sun_path, p.constData(), std::min<std::size_t>(p.size(), sizeof a.sun_path - 1));
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("cannot make a socket");
}
QByteArray sample(const QString& samples, const char* name) {
    QFile f(samples + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("no sample picture");
    return f.readAll();
}

struct Case {
    const char* file; // the name it is read under
    const char* what;
    Reader reader;
    Outcome expected;
    std::function<void(const QString& path, const QString& samples)> make;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> table{
        {"fifo.jpg", "FIFO picture", Reader::Picture, Refused, [](auto& p, auto&) { fifo(p); }},
        {"pagemap.jpg", "link to /proc/self/pagemap", Reader::Picture, Refused,
         [](auto& p, auto&) { pagemap(p); }},
        {"socket.gif", "socket picture", Reader::Picture, Refused,
         [](auto& p, auto&) { socketAt(p); }},
        {"null.bmp", "link to /dev/zero", Reader::Picture, Refused,
         [](auto& p, auto&) { QFile::link(QStringLiteral("/dev/zero"), p); }},
        {"huge.emf", "100 GB sparse EMF, valid header", Reader::Picture, Refused,
         [](auto& p, auto& s) { sparse(p, sample(s, "06-onde.emf"), 100 * GiB); }},
        {"huge.wmf", "100 GB sparse placeable WMF", Reader::Picture, Refused,
         [](auto& p, auto& s) { sparse(p, sample(s, "05-mappa.wmf"), 100 * GiB); }},
        {"huge.jpg", "2 GB sparse JPEG, valid start", Reader::Picture, Refused,
         [](auto& p, auto& s) { sparse(p, sample(s, "01-tramonto.jpg").left(600), 2 * GiB); }},
        // A whole picture and then nothing: its first image is shown.
        {"huge.gif", "GIF followed by a 2 GB hole", Reader::Picture, Accepted,
         [](auto& p, auto& s) { sparse(p, sample(s, "03-girasole.gif"), 2 * GiB); }},
        {"comment.wav", "20 MB sparse 8 kHz wave", Reader::Comment, Refused,
         [](auto& p, auto&) { sparse(p, waveHeader(8000, 8, 1, 20'000'000 - 44), 20'000'000); }},
        {"lying.wav", "wave whose data chunk claims 4 GB", Reader::Comment, Refused,
         [](auto& p, auto&) { sparse(p, waveHeader(8000, 8, 1, 0xFFFFFFF0u), 30'000'000); }},
        {"pagemap.wav", "wave linked to /proc/self/pagemap", Reader::Comment, Refused,
         [](auto& p, auto&) { pagemap(p); }},
        {"fifo.wav", "FIFO wave", Reader::Comment, Refused, [](auto& p, auto&) { fifo(p); }},
        {"music.mid", "100 MB sparse MIDI", Reader::Music, Refused,
         [](auto& p, auto&) {
             sparse(p, QByteArray("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\x05\xff\xff\xf0", 22),
                    100'000'000);
         }},
        {"fifo.mid", "FIFO MIDI", Reader::Music, Refused, [](auto& p, auto&) { fifo(p); }},
        {"QUADRO.INI", "100 MB sparse settings file", Reader::Settings, CutShort,
         [](auto& p, auto&) { sparse(p, SettingsHead, 100'000'000); }},
        {"QUADRO.INI", "settings file linked to pagemap", Reader::Settings, Defaults,
         [](auto& p, auto&) { pagemap(p); }},
        {"QUADRO.INI", "FIFO settings file", Reader::Settings, Defaults,
         [](auto& p, auto&) { fifo(p); }},
        {"registry.reg", "100 MB sparse hive", Reader::Hive, CutShort,
         [](auto& p, auto&) { sparse(p, HiveHead, 100'000'000); }},
        {"registry.reg", "FIFO hive", Reader::Hive, Defaults, [](auto& p, auto&) { fifo(p); }},
    };
    return table;
}

// --- In the child: one file through its reader ------------------------------------------

Outcome readSettings(const QString& hostPath) {
    rt::DosFileSystem files;
    settings::Modulo1 s;
    const QString folder = files.toDos(QFileInfo(hostPath).absolutePath()).valueOr(QString());
    (void)settings::LoadSettings(s, files, folder);
    if (s.TempoAttesa == 7000 && s.FolderPath == QLatin1String("C:\\foto\\")) return CutShort;
    return s.TempoAttesa == 7000 ? Accepted : Defaults;
}

Outcome readHive(const QString& hostPath) {
    rt::HiveRegistry hive(hostPath);
    rt::HKEY key = 0;
    if (hive.RegOpenKeyEx(rt::reg::LocalMachine,
                          QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), 0,
                          rt::reg::KeyRead, key) != rt::reg::Success)
        return Defaults;
    std::uint32_t type = 0, size = 1024;
    QByteArray data;
    const long found = hive.RegQueryValueEx(key, QStringLiteral("PATH"), type, data, size);
    hive.RegCloseKey(key);
    return found == rt::reg::Success ? CutShort : Defaults;
}

Outcome readOne(Reader reader, const QString& hostPath) {
    rt::DosFileSystem files;
    const QString dos = files.toDos(hostPath).valueOr(QString());
    switch (reader) {
    case Reader::Picture:
        return viewer::decodeForShow(HelperBeside().loader, hostPath, FullHd).image.ok() ? Accepted
                                                                                         : Refused;
    case Reader::Comment:
        return rt::SdlMedia(files).sndPlaySound(dos, rt::SndAsync) ? Accepted : Refused;
    case Reader::Music: {
        rt::SdlMedia media(files);
        return media.mciSendString(QStringLiteral("open \"%1\" type sequencer alias can").arg(dos))
                   ? Refused
                   : Accepted;
    }
    case Reader::Settings:
        return readSettings(hostPath);
    case Reader::Hive:
        return readHive(hostPath);
    }
    return Accepted;
}

// A show over a folder where a picture becomes a FIFO after the walk: every tick ends.
int showGoesOn(const QString& folder) {
    FullHdShow show(folder);
    if (!show.walked) return 1;
    viewer::Form1& form = show.form;
    const FakePlatform& fake = show.fake;
    const int pictures = int(QDir(folder).entryList(QDir::Files | QDir::System).size());
    fifo(folder + QStringLiteral("/b.jpg"));
    for (int i = 0; i <= pictures; ++i)
        if (!tickDone(form)) return 1;
    const int messages = int(fake.messages.shown.size());
    std::printf("  show: %d ticks, %d messages\n", pictures + 1, messages);
    return messages == 3 && fake.programEnd.calls == 0 &&
                   form.Label1->text() == QLatin1String("Quadrel Fine loop")
               ? 0
               : 1;
}

// --- In the parent: each in a child, timed, measured --------------------------------------

struct Run {
    double seconds = 0;
    long peakMiB = 0;
    int exit = -1; // -1: hung, -2: killed by a signal
};

Run inChild(const QStringList& args) {
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<QByteArray> bytes;
        for (const QString& a : args)
            bytes.push_back(QFile::encodeName(a));
        std::vector<char*> argv;
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Run r;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (clock.elapsed() > HangSeconds * 1000) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            r.seconds = clock.elapsed() / 1000.0;
            r.peakMiB = usage.ru_maxrss / 1024;
            return r;
        }
        ::usleep(10'000);
    }
    r.seconds = clock.elapsed() / 1000.0;
    r.peakMiB = usage.ru_maxrss / 1024;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    return r;
}

QString describe(const Run& r) {
    if (r.exit == -1) return QStringLiteral("hung");
    if (r.exit == -2) return QStringLiteral("crashed");
    if (r.exit >= 0 && r.exit <= 3) return QLatin1String(OutcomeNames[r.exit]);
    return QStringLiteral("failed to run (%1)").arg(r.exit);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    if (argc == 4 && QByteArray(argv[1]) == "--one") {
        QGuiApplication app(argc, argv);
        const int reader = QByteArray(argv[2]).toInt();
        return readOne(Reader(reader), QFile::decodeName(argv[3]));
    }
    if (argc == 3 && QByteArray(argv[1]) == "--show") {
        QApplication app(argc, argv);
        return showGoesOn(QFile::decodeName(argv[2]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: strange_files_check SAMPLE_FOLDER\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString samples = QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath();
    const QString self = QCoreApplication::applicationFilePath();
    int failed = 0;
    std::printf("%-36s %-14s %8s %8s  %s\n", "file", "name", "seconds", "peak MiB", "result");
    for (const Case& c : cases()) {
        const TempDir dir;
        const QString path = dir.path(QLatin1String(c.file));
        c.make(path, samples);
        const Run r =
            inChild({self, QStringLiteral("--one"), QString::number(int(c.reader)), path});
        const bool ok = r.exit == c.expected && r.peakMiB <= MaxMiB;
        std::printf("%-36s %-14s %8.2f %8ld  %s%s\n", c.what, c.file, r.seconds, r.peakMiB,
                    qPrintable(describe(r)), ok ? "" : "  <-- FAIL");
        failed += ok ? 0 : 1;
    }

    const TempDir show;
    const QByteArray jpeg = sample(samples, "01-tramonto.jpg");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        show.file(QLatin1String(name), jpeg);
    pagemap(show.path(QStringLiteral("pm.jpg")));
    sparse(show.path(QStringLiteral("x.emf")), sample(samples, "06-onde.emf"), 100 * GiB);
    const Run r = inChild({self, QStringLiteral("--show"), show.path()});
    const bool ok = r.exit == 0 && r.peakMiB <= MaxMiB;
    std::printf("%-36s %-14s %8.2f %8ld  %s%s\n", "show, b.jpg a FIFO after the walk", "",
                r.seconds, r.peakMiB, r.exit == 0 ? "went on" : qPrintable(describe(r)),
                ok ? "" : "  <-- FAIL");
    failed += ok ? 0 : 1;
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
