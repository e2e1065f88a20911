// The DOS view of the files: drives, paths both ways, listings, attributes, CR LF text.

#include "DosFiles.h"
#include "QtPrinters.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace {

using rt::DosFileSystem;
using rt::ListMode;

// A temporary folder seen through C: (the host root) and D: (its "stick" subfolder).
class DosFiles : public ::testing::Test {
protected:
    DosFiles() : fs(rt::DriveTable({{'C', "/", "/"}, {'D', t.path("stick"), "stick"}})) {
        t.folder("stick");
    }
    // The DOS path of a path below the temporary folder.
    QString dos(const QString& rel = QString()) const {
        return fs.toDos(t.path(rel)).valueOr("error");
    }

    TempDir t;
    DosFileSystem fs;
};

// Whether the user may access the host path (root may despite its permissions).
bool mayAccess(const QString& path, int mode) {
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}
void setMode(const QString& path, mode_t mode) {
    ::chmod(QFile::encodeName(path).constData(), mode);
}

TEST(DriveTable, FromMountTable) {
    const rt::DriveTable table = rt::DriveTable::fromMountTable(
        "/dev/sda2 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/anna/MY\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /run/media/bob/DISK ext4 rw 0 0\n"
        "/dev/sdd1 /mnt/data ext4 rw 0 0\n"
        "/dev/sdd1 /mnt/data ext4 rw 0 0\n" // mounted twice: one drive
        "tmpfs /mnt tmpfs rw 0 0\n"
        "/dev/sde1 /mntx/other ext4 rw 0 0\n");
    QStringList drives;
    for (const rt::Drive& d : table.drives())
        drives << QString(d.letter) + " " + d.hostRoot + " [" + d.label + "]";
    EXPECT_EQ(drives, QStringList({"C / [/]", "D /media/anna/MY STICK [MY STICK]",
                                   "E /run/media/bob/DISK [DISK]", "F /mnt/data [data]"}));
    ASSERT_NE(table.find('f'), nullptr);
    EXPECT_EQ(table.find('f')->hostRoot, "/mnt/data");
    EXPECT_EQ(table.find('G'), nullptr);
    EXPECT_EQ(table.driveOfHostPath("/mnt/data/x").letter, 'F');
    EXPECT_EQ(table.driveOfHostPath("/mnt/data").letter, 'F');
    EXPECT_EQ(table.driveOfHostPath("/mnt/database").letter, 'C');
}

// The shares users have: network and FUSE mounts anywhere, after the volumes, and the
// desktop's gvfs shares last; the desktop's and the system's own FUSE helpers are no drives.
TEST(DriveTable, SharesFollowTheVolumesInAFixedOrder) {
    const QString mounts = "/dev/sda2 / ext4 rw 0 0\n"
                           "nas:/foto /home/anna/nas nfs4 rw 0 0\n"
                           "//nas/musica /srv/musica cifs rw 0 0\n"
                           "/dev/sdb1 /media/anna/STICK vfat rw 0 0\n"
                           "anna@pc:/ /home/anna/pc fuse.sshfs rw 0 0\n"
                           "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
                           "portal /run/user/1000/doc fuse.portal rw 0 0\n"
                           "fusectl /sys/fs/fuse/connections fusectl rw 0 0\n"
                           "lxcfs /var/lib/lxcfs fuse.lxcfs rw 0 0\n"
                           "slowshare /tmp/condivisa fuse rw 0 0\n"
                           "nas:/foto /home/anna/nas nfs4 rw 0 0\n";
    const QStringList gvfs = {"smb-share:server=nas,share=foto", ".nascosta",
                              "sftp:host=pc,user=anna"};
    const rt::DriveTable table =
        rt::DriveTable::fromMountTable(mounts, "/run/user/1000/gvfs", gvfs);
    QStringList drives;
    for (const rt::Drive& d : table.drives())
        drives << QString(d.letter) + " " + d.hostRoot;
    EXPECT_EQ(drives, QStringList({"C /", "D /media/anna/STICK", "E /home/anna/nas",
                                   "F /srv/musica", "G /home/anna/pc", "H /tmp/condivisa",
                                   "I /run/user/1000/gvfs/sftp:host=pc,user=anna",
                                   "J /run/user/1000/gvfs/smb-share:server=nas,share=foto"}));
    // Without the gvfs mount in the table its folder holds no shares.
    EXPECT_EQ(
        rt::DriveTable::fromMountTable("/dev/sda2 / ext4 rw 0 0\n", "/run/user/1000/gvfs", gvfs)
            .drives()
            .size(),
        1u);
}

TEST_F(DosFiles, AbsoluteResolvesAgainstEachDrivesCurrentDir) {
    t.folder("stick/sub");
    ASSERT_FALSE(fs.chDir("d:/sub").failed());
    EXPECT_EQ(fs.curDrive(), 'C'); // chDir leaves the current drive alone
    EXPECT_EQ(fs.curDir(), "C:\\");
    EXPECT_EQ(fs.curDir('d'), "D:\\sub");

    const std::pair<QString, QString> cases[] = {{"rel", "C:\\rel"},
                                                 {"d:rel\\x", "D:\\sub\\rel\\x"},
                                                 {"D:", "D:\\sub"},
                                                 {"D:..\\..\\y", "D:\\y"},
                                                 {"\\a/./b\\..\\c", "C:\\a\\c"},
                                                 {"c:\\", "C:\\"},
                                                 {"C:\\a\\\\b\\", "C:\\a\\b"},
                                                 {"..", "C:\\"},
                                                 {"C:\\a\\b", "C:\\a\\b"},
                                                 {"c:\\a\\...", "C:\\a\\..."},
                                                 {"C:\\a\\.\\b\\..", "C:\\a"},
                                                 {"C:\\a/b", "C:\\a\\b"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(fs.absolute(in).valueOr("error"), out) << in.toStdString();

    ASSERT_FALSE(fs.chDrive("d:\\anything").failed());
    EXPECT_EQ(fs.absolute("x").valueOr("error"), "D:\\sub\\x");
    EXPECT_EQ(fs.absolute("\\x").valueOr("error"), "D:\\x");

    for (const char* bad : {"", "1:x", "C:\\a<b", "ab:c", "C:\\a\nb"})
        EXPECT_EQ(fs.absolute(bad).error().number, rt::err::BadFileName) << bad;
    EXPECT_EQ(fs.absolute("Q:\\x").error().number, rt::err::DeviceUnavailable);
    EXPECT_EQ(fs.chDrive("q").number, rt::err::DeviceUnavailable);
    EXPECT_EQ(fs.chDir("D:\\missing").number, rt::err::PathNotFound);
    t.file("stick/file");
    EXPECT_EQ(fs.chDir("D:\\file").number, rt::err::PathNotFound);
    EXPECT_EQ(fs.curDir('D'), "D:\\sub");

    QDir(t.path("stick")).removeRecursively();
    EXPECT_EQ(fs.chDrive("D").number, rt::err::DiskNotReady);
}

TEST_F(DosFiles, MapsBothWays) {
    t.folder("stick/Album");
    const std::pair<QString, QString> cases[] = {
        {"/", "C:\\"},
        {t.path("stick"), "D:\\"},
        {t.path("stick/Album/new.txt"), "D:\\Album\\new.txt"},
        {"/home/anna/foto", "C:\\home\\anna\\foto"}};
    for (const auto& [host, dosPath] : cases) {
        EXPECT_EQ(fs.toDos(host).valueOr("error"), dosPath);
        EXPECT_EQ(fs.toHost(dosPath).valueOr("error"), host);
    }
    EXPECT_TRUE(dos().startsWith("C:\\") && !dos().endsWith("\\")) << dos().toStdString();
    EXPECT_EQ(fs.toDos("/a//b/./c/../d/").valueOr("error"), "C:\\a\\b\\d");
    EXPECT_EQ(fs.toDos(t.path("stickers")).valueOr("error"), dos() + "\\stickers"); // not on D:
    for (const char* bad : {"/tmp/a:b", "/tmp/a\\b", "/tmp/a*", "/tmp/a\tb", "/tmp/a|b"})
        EXPECT_EQ(fs.toDos(bad).error().number, rt::err::BadFileName) << bad;
}

TEST_F(DosFiles, CaseFallbackPrefersExactThenListingOrder) {
    t.file("stick/Album/photo.jpg");
    t.file("stick/Album/Photo.JPG");
    const std::pair<QString, QString> cases[] = {
        {"D:\\album\\photo.jpg", "Album/photo.jpg"},         // exact name wins
        {"D:\\ALBUM\\PHOTO.JPG", "Album/Photo.JPG"},         // first in listing order
        {"D:\\album\\New\\File.TXT", "Album/New/File.TXT"}}; // unknown parts kept as given
    for (const auto& [dosPath, rel] : cases)
        EXPECT_EQ(fs.toHost(dosPath).valueOr("error"), t.path("stick/" + rel))
            << dosPath.toStdString();
}

TEST(DosPatterns, Wildcards) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.*", "README", true},       {"*.*", ".", true},         {"*.jpg", "A.JPG", true},
        {"*.jpg", "a.jpeg", false},    {"foo.*", "foo", true},     {"foo.*", "foobar", false},
        {"f?o.*", "FXO", true},        {"?", "", false},           {"??", "é!", true},
        {"a*b*c", "aXbYbZc", true},    {"a*b*c", "aXbYcZ", false}, {"*", "", true},
        {"*.txt", "a.txt.bak", false}, {"foo", "FOO", true},       {"*z*", "abc", false}};
    for (const auto& [pattern, name, match] : cases)
        EXPECT_EQ(DosFileSystem::matchesPattern(pattern, name), match) << pattern << " " << name;
}

TEST_F(DosFiles, ListingOrderDotsAndHiddenNames) {
    for (const char* name : {"B.txt", "a.txt", "A.txt", "noext", ".hidden", "Sub/x", ".dir/x"})
        t.file(QString("stick/") + name);
    for (const char* bad : {"back\\slash", "tab\tname", "co:lon", "bad\xff.txt"})
        std::ofstream(std::filesystem::path(t.path("stick").toStdString()) / bad);
    std::filesystem::create_symlink(t.path("stick/B.txt").toStdString(),
                                    t.path("stick/linkFile").toStdString());
    std::filesystem::create_symlink(t.path("stick/Sub").toStdString(),
                                    t.path("stick/linkDir").toStdString());
    std::filesystem::create_symlink("/nonexistent", t.path("stick/broken").toStdString());
    ASSERT_FALSE(fs.chDir("D:\\Sub").failed());

    EXPECT_EQ(fs.list("D:\\", ListMode::FoldersIncluded).valueOr({"error"}),
              QStringList({"A.txt", "a.txt", "B.txt", "linkDir", "linkFile", "noext", "Sub"}));
    EXPECT_EQ(fs.list("d:/*.*", ListMode::FilesOnly).valueOr({"error"}),
              QStringList({"A.txt", "a.txt", "B.txt", "linkFile", "noext"}));
    EXPECT_EQ(fs.list("D:\\Sub\\", ListMode::FoldersIncluded).valueOr({"error"}),
              QStringList({".", "..", "x"}));
    EXPECT_EQ(fs.list("D:\\", ListMode::FoldersOnly).valueOr({"error"}),
              QStringList({"linkDir", "Sub"}));
    EXPECT_EQ(fs.list("D:\\Sub\\", ListMode::FoldersOnly).valueOr({"error"}),
              QStringList({".", ".."}));
    EXPECT_EQ(fs.list("D:*", ListMode::FilesOnly).valueOr({"error"}), QStringList({"x"}));
    EXPECT_EQ(fs.list("D:\\SUB\\x*", ListMode::FoldersIncluded).valueOr({"error"}),
              QStringList({"x"}));
    EXPECT_EQ(fs.list("D:\\*.TXT", ListMode::FilesOnly).valueOr({"error"}),
              QStringList({"A.txt", "a.txt", "B.txt"}));
    EXPECT_EQ(fs.list("D:\\nothing", ListMode::FilesOnly).valueOr({"error"}), QStringList());
    EXPECT_EQ(fs.list("D:\\missing\\*.*", ListMode::FilesOnly).error().number,
              rt::err::PathNotFound);
    EXPECT_EQ(fs.list("D:\\.hidden", ListMode::FilesOnly).valueOr({"error"}), QStringList());
    // Links count as what they point at; a broken one is nothing.
    EXPECT_EQ(fs.getAttr("D:\\linkDir").valueOr(-1), rt::attr::Directory);
    EXPECT_EQ(fs.getAttr("D:\\linkFile").valueOr(-1), rt::attr::Normal);
    EXPECT_EQ(fs.getAttr("D:\\broken").error().number, rt::err::FileNotFound);

    EXPECT_FALSE(DosFileSystem::isListableName(QString::fromUtf16(u"a\xD800")));
    EXPECT_TRUE(DosFileSystem::isListableName("Ünïcode name.txt"));
}

TEST_F(DosFiles, AttributesAndFileExists) {
    t.file("stick/file.txt");
    t.folder("stick/.config");
    EXPECT_EQ(fs.getAttr("D:\\FILE.TXT").valueOr(-1), rt::attr::Normal);
    EXPECT_EQ(fs.getAttr("D:\\").valueOr(-1), rt::attr::Directory);
    EXPECT_EQ(fs.getAttr("D:\\.config").valueOr(-1), rt::attr::Directory | rt::attr::Hidden);
    EXPECT_EQ(fs.getAttr("D:\\missing").error().number, rt::err::FileNotFound);

    EXPECT_TRUE(fs.fileExists("D:\\File.Txt"));
    EXPECT_FALSE(fs.fileExists("D:\\.config"));
    EXPECT_FALSE(fs.fileExists("D:\\"));
    EXPECT_FALSE(fs.fileExists("D:\\missing"));
    t.file("stick/.profile");
    EXPECT_FALSE(fs.fileExists("D:\\.profile"));
}

TEST_F(DosFiles, ReadLinesEndsLinesAtCrLfCrOrLf) {
    const std::pair<QByteArray, QStringList> cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        {"one\rtwo\r\r\nthree", {"one", "two", "", "three"}},
        {"a\nb\r\n\n", {"a", "b", ""}},
        {"one\ntwo\n\nthree", {"one", "two", "", "three"}}, // saved by a Linux editor
        {"\n\r", {"", ""}},
        {"\r\n", {""}},
        {"gr\xc3\xbc\xc3\x9f", {"grüß"}}};
    for (const auto& [bytes, lines] : cases) {
        t.file("stick/f.txt", bytes);
        EXPECT_EQ(fs.readLines("D:\\F.TXT").valueOr({"error"}), lines) << bytes.toStdString();
    }
    EXPECT_EQ(fs.readLines("D:\\missing.txt").error().number, rt::err::FileNotFound);
    EXPECT_EQ(fs.readLines("D:\\").error().number, rt::err::PathFileAccess);
}

TEST_F(DosFiles, WriteLinesReplacesTheFileWhole) {
    ASSERT_FALSE(fs.writeLines("D:\\out.txt", {"old"}).failed());
    ASSERT_FALSE(fs.writeLines("D:\\OUT.TXT", {"a", "", "ü"}).failed());
    EXPECT_EQ(t.read("stick/out.txt"), "a\r\n\r\n\xc3\xbc\r\n");
    EXPECT_EQ(QDir(t.path("stick")).entryList(QDir::Files), QStringList({"out.txt"}));
    ASSERT_FALSE(fs.writeLines("D:\\out.txt", {}).failed());
    EXPECT_EQ(t.read("stick/out.txt"), "");
    EXPECT_EQ(fs.writeLines("D:\\no\\out.txt", {"x"}).number, rt::err::PathNotFound);
    t.folder("stick/dir");
    EXPECT_EQ(fs.writeLines("D:\\dir", {"x"}).number, rt::err::PathFileAccess);

    // A write that fails halfway (the file size limit is hit) leaves the old file alone.
    t.file("stick/keep.txt", "old\r\n");
    const QStringList big(100, QString(100, 'x'));
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const rt::Error e = fs.writeLines("D:\\keep.txt", big);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(e.number, rt::err::PathFileAccess);
    EXPECT_EQ(t.read("stick/keep.txt"), "old\r\n");
    EXPECT_EQ(QDir(t.path("stick")).entryList(QDir::Files).size(), 2); // no temporary left
}

// A folder that can be listed but not entered (r--) cannot be made current, nor can a
// drive whose root is such a folder.
TEST_F(DosFiles, FolderThatCannotBeEnteredIsNotMadeCurrent) {
    t.file("stick/listed/a.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(t.path()).constData(), 0755), 0);
    setMode(t.path("stick"), 0755);
    setMode(t.path("stick/listed"), 0444);
    const int result = runUnprivileged([&] {
        int failures = 0;
        failures += fs.list("D:\\listed\\", ListMode::FilesOnly).ok() ? 0 : 1; // listable
        failures += fs.chDir("D:\\listed").number == rt::err::PathNotFound ? 0 : 2;
        failures += fs.curDir('D') == "D:\\" ? 0 : 4;
        rt::DosFileSystem onIt(
            rt::DriveTable({{'C', "/", "/"}, {'E', t.path("stick/listed"), "x"}}));
        failures += onIt.chDrive("E:").number == rt::err::DiskNotReady ? 0 : 8;
        return failures;
    });
    setMode(t.path("stick/listed"), 0755);
    EXPECT_EQ(result, 0);
}

// Only where permissions bind: root reads and writes through them.
TEST_F(DosFiles, PermissionsAreHonoured) {
    t.folder("stick/locked");
    t.folder("stick/shelf");
    t.file("stick/shelf/old.txt", "old\r\n");
    t.file("stick/frozen.txt", "frozen\r\n");
    setMode(t.path("stick/locked"), 0);
    setMode(t.path("stick/shelf"), 0555);
    setMode(t.path("stick/frozen.txt"), 0444);
    if (mayAccess(t.path("stick/locked"), R_OK)) GTEST_SKIP() << "permissions do not apply (root)";

    EXPECT_EQ(fs.list("D:\\locked\\", ListMode::FoldersIncluded).error().number,
              rt::err::PathNotFound);
    EXPECT_EQ(fs.chDir("D:\\locked").number, rt::err::PathNotFound);
    EXPECT_EQ(fs.getAttr("D:\\frozen.txt").valueOr(-1), rt::attr::ReadOnly);
    EXPECT_EQ(fs.getAttr("D:\\shelf").valueOr(-1), rt::attr::Directory | rt::attr::ReadOnly);
    EXPECT_EQ(fs.writeLines("D:\\shelf\\old.txt", {"new"}).number, rt::err::PermissionDenied);
    EXPECT_EQ(fs.writeLines("D:\\frozen.txt", {"new"}).number, rt::err::PermissionDenied);
    EXPECT_EQ(t.read("stick/shelf/old.txt"), "old\r\n");
    EXPECT_EQ(t.read("stick/frozen.txt"), "frozen\r\n");
    setMode(t.path("stick/locked"), 0755);
    setMode(t.path("stick/shelf"), 0755);
}

} // namespace

namespace {

// A program folder the user cannot write keeps their settings in a store of their own;
// one they can write is read and written as any other file.
TEST_F(DosFiles, ProgramFolderWritesGoToTheUsersStoreWhereTheFolderIsReadOnly) {
    t.file("stick/prog/QUADRO.INI", "admin\r\n");
    t.file("stick/prog/esempi/note.txt", "note\r\n");
    t.folder("home");
    ASSERT_EQ(::chmod(QFile::encodeName(t.path()).constData(), 0755), 0);
    setMode(t.path("stick"), 0755);
    setMode(t.path("home"), 0777);
    const QString store = t.path("home/.config/quadrello");
    fs.keepProgramWritesIn(t.path("stick/prog/"), store);
    const auto lines = [&](const QString& dos) { return fs.readLines(dos).valueOr({"error"}); };

    // Read-only: the folder's copy until the user writes one, then always the user's.
    setMode(t.path("stick/prog"), 0555);
    const int readOnly = runUnprivileged([&] {
        int failures = 0;
        failures += lines("D:\\prog\\QUADRO.INI") == QStringList{"admin"} ? 0 : 1;
        failures += !QFileInfo::exists(store) ? 0 : 2; // nothing made by reading
        failures += fs.fileExists("D:\\prog\\quadro.ini") ? 0 : 2048;
        failures += fs.writeLines("D:\\prog\\QUADRO.INI", {"mine"}).failed() ? 4 : 0;
        failures += t.read("home/.config/quadrello/QUADRO.INI") == "mine\r\n" ? 0 : 8;
        failures += t.read("stick/prog/QUADRO.INI") == "admin\r\n" ? 0 : 16;
        failures += lines("D:\\prog\\quadro.ini") == QStringList{"mine"} ? 0 : 32;
        // A file the folder has not: tested for and read in the store alone.
        failures += !fs.fileExists("D:\\prog\\NEW.TXT") ? 0 : 64;
        failures += fs.writeLines("D:\\prog\\NEW.TXT", {"new"}).failed() ? 128 : 0;
        failures += fs.fileExists("D:\\prog\\NEW.TXT") ? 0 : 256;
        failures += !QFileInfo::exists(t.path("stick/prog/NEW.TXT")) ? 0 : 512;
        // Only the folder's own files: a subfolder's are refused as before.
        failures +=
            fs.writeLines("D:\\prog\\esempi\\note.txt", {"x"}).number == rt::err::PermissionDenied
                ? 0
                : 1024;
        return failures;
    });
    EXPECT_EQ(readOnly, 0);

    // Writable: the folder itself, whatever the store holds.
    setMode(t.path("stick/prog"), 0777);
    setMode(t.path("stick/prog/QUADRO.INI"), 0666);
    const int writable = runUnprivileged([&] {
        int failures = 0;
        failures += lines("D:\\prog\\QUADRO.INI") == QStringList{"admin"} ? 0 : 1;
        failures += fs.writeLines("D:\\prog\\QUADRO.INI", {"here"}).failed() ? 2 : 0;
        failures += t.read("stick/prog/QUADRO.INI") == "here\r\n" ? 0 : 4;
        failures += t.read("home/.config/quadrello/QUADRO.INI") == "mine\r\n" ? 0 : 8;
        failures += !fs.fileExists("D:\\prog\\NEW.TXT") ? 0 : 16;
        return failures;
    });
    EXPECT_EQ(writable, 0);

    // The store's folder cannot be made: the write fails, the folder's copy stays.
    setMode(t.path("stick/prog"), 0555);
    fs.keepProgramWritesIn(t.path("stick/prog"), t.path("stick/prog/esempi/store"));
    setMode(t.path("stick/prog/esempi"), 0555);
    const int noStore = runUnprivileged([&] {
        return fs.writeLines("D:\\prog\\QUADRO.INI", {"lost"}).failed() &&
                       t.read("stick/prog/QUADRO.INI") == "here\r\n"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(noStore, 0);
    setMode(t.path("stick/prog/esempi"), 0755);
    setMode(t.path("stick/prog"), 0755);
}

TEST(UserStore, FollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(rt::userStoreFolder(), "/srv/conf/quadrello");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(rt::userStoreFolder(), QDir::homePath() + "/.config/quadrello");
    if (!saved.isNull()) qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
