// The DOS view of the host file system: drive letters, paths both ways, listings,
// attributes and CR LF text files.

#include "DosFiles.h"

#include "RegularFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace rt {

namespace {

const QChar Backslash = QLatin1Char('\\');
const QChar Slash = QLatin1Char('/');
const QChar Dot = QLatin1Char('.');

Error fail(int number, const QString& what, const QString& path) {
    return Error{number, what + QStringLiteral(": ") + path};
}

// "X:\", the root of a drive in DOS form.
QString driveRoot(QChar letter) {
    return QString(letter) + QStringLiteral(":\\");
}

// Appends path components to `parts`, folding "." and ".." (".." at the root stays there).
void appendFolded(QStringList& parts, const QStringList& more) {
    for (const QString& part : more) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty()) parts.removeLast();
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
}

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// Whether the path starts with a drive ("X:").
bool hasDriveSpec(const QString& path) {
    return path.size() >= 2 && path[1] == QLatin1Char(':');
}

// Characters that no name in a DOS path may hold. The wildcards "*" and "?" are left to
// the callers: they are welcome in patterns.
bool isForbiddenInName(QChar c) {
    return c.unicode() < 0x20 || c == QLatin1Char(':') || c == QLatin1Char('"') ||
           c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|');
}

bool hasWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// "/" + "a" -> "/a", "/mnt/x" + "a" -> "/mnt/x/a".
QString joinHost(const QString& folder, const QString& name) {
    return folder.endsWith(Slash) ? folder + name : folder + Slash + name;
}

// The last component of a host path ("" for "/").
QString hostFileName(const QString& hostPath) {
    return hostPath.mid(hostPath.lastIndexOf(Slash) + 1);
}

QString hostParent(const QString& hostPath) {
    const qsizetype slash = hostPath.lastIndexOf(Slash);
    return slash <= 0 ? QStringLiteral("/") : hostPath.left(slash);
}

// Whether `root` contains `path`, component-wise: /mnt/a contains /mnt/a/b, not /mnt/ab.
bool hostContains(const QString& root, const QString& path) {
    if (root == QLatin1String("/")) return path.startsWith(Slash);
    return path == root || path.startsWith(root + Slash);
}

std::optional<struct stat> statOf(const QString& hostPath, bool followLinks = true) {
    struct stat st {};
    const QByteArray p = QFile::encodeName(hostPath);
    const int rc = followLinks ? ::stat(p.constData(), &st) : ::lstat(p.constData(), &st);
    if (rc != 0) return std::nullopt;
    return st;
}

bool isFolder(const QString& hostPath) {
    const auto st = statOf(hostPath);
    return st && S_ISDIR(st->st_mode);
}

bool isWritable(const QString& hostPath) {
    return ::access(QFile::encodeName(hostPath).constData(), W_OK) == 0;
}

// A name in a host folder, with its type when the file system tells it (DT_UNKNOWN
// when it does not).
struct FolderEntry {
    QString name;
    unsigned char type;
};

// The entries of a host folder, "." and ".." left out, each decoded from the file
// system's encoding. Names whose bytes do not survive the round trip through a QString
// (not valid UTF-8) are left out too: they could not be reached again from their decoded
// form. Nothing when the folder cannot be opened.
std::optional<std::vector<FolderEntry>> readFolderEntries(const QString& hostFolder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        ::opendir(QFile::encodeName(hostFolder).constData()), &::closedir);
    if (!dir) return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        const QByteArray bytes = QByteArray::fromRawData(raw, qsizetype(std::strlen(raw)));
        // ASCII names read the same in any encoding and always come back the same;
        // others are decoded and checked.
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0; });
        QString name = ascii ? QString::fromLatin1(bytes) : QFile::decodeName(bytes);
        if (!ascii && QFile::encodeName(name) != bytes) continue;
        entries.push_back({std::move(name), entry->d_type});
    }
    return entries;
}

std::optional<QStringList> readFolder(const QString& hostFolder) {
    const auto entries = readFolderEntries(hostFolder);
    if (!entries) return std::nullopt;
    QStringList names;
    names.reserve(qsizetype(entries->size()));
    for (const FolderEntry& e : *entries)
        names.append(e.name);
    return names;
}

bool canList(const QString& hostFolder) {
    return readFolder(hostFolder).has_value();
}

// A folder that can be made current: listed, and entered (a folder of mode r-- can be
// listed, but nothing started in it could run there).
bool canEnter(const QString& hostFolder) {
    return canList(hostFolder) && ::access(QFile::encodeName(hostFolder).constData(), X_OK) == 0;
}

// The listing order: case ignored, ties broken by plain ordinal order.
bool listsBefore(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// "*" any run, "?" one character; both sides already case-folded.
bool wildcardMatch(const QList<uint>& pattern, const QList<uint>& name) {
    qsizetype p = 0, n = 0;
    qsizetype starP = -1, starN = 0; // last "*" seen and where its run ends so far
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1; // let the last "*" swallow one more character
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Decodes the octal escapes of a mount table field ("\040" for a blank).
QString decodeMountField(const QString& field) {
    const QByteArray bytes = field.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto isOctal = [&](qsizetype k) {
            return k < bytes.size() && bytes[k] >= '0' && bytes[k] <= '7';
        };
        if (bytes[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            out.append(static_cast<char>(((bytes[i + 1] - '0') << 6) | ((bytes[i + 2] - '0') << 3) |
                                         (bytes[i + 3] - '0')));
            i += 3;
        } else {
            out.append(bytes[i]);
        }
    }
    return QFile::decodeName(out);
}

bool isVolumeMountPoint(const QString& mountPoint) {
    for (const char* parent : {"/media/", "/run/media/", "/mnt/"}) {
        const QLatin1String prefix(parent);
        if (mountPoint.startsWith(prefix) && mountPoint.size() > prefix.size()) return true;
    }
    return false;
}

// A share mounted anywhere else: a network file system, or a FUSE one that is not one of
// the desktop's or the system's own helpers (the gvfs mount itself is replaced by its
// shares, which are drives of their own).
bool isShare(const QString& mountPoint, const QString& type) {
    for (const char* system : {"/proc", "/sys", "/dev"}) {
        const QLatin1String root(system);
        if (mountPoint == root || mountPoint.startsWith(root + QLatin1Char('/'))) return false;
    }
    static const QStringList Network = {
        QStringLiteral("nfs"),   QStringLiteral("nfs4"),      QStringLiteral("cifs"),
        QStringLiteral("smb3"),  QStringLiteral("smbfs"),     QStringLiteral("9p"),
        QStringLiteral("afs"),   QStringLiteral("ceph"),      QStringLiteral("glusterfs"),
        QStringLiteral("davfs"), QStringLiteral("fuse.sshfs")};
    static const QStringList Helpers = {QStringLiteral("fuse.gvfsd-fuse"),
                                        QStringLiteral("fuse.portal"),
                                        QStringLiteral("fuse.xdg-document-portal"),
                                        QStringLiteral("fuse.lxcfs"),
                                        QStringLiteral("fuse.snapfuse"),
                                        QStringLiteral("fusectl")};
    if (Network.contains(type)) return true;
    const bool fuse = type == QLatin1String("fuse") || type == QLatin1String("fuseblk") ||
                      type.startsWith(QLatin1String("fuse."));
    return fuse && !Helpers.contains(type);
}

} // namespace

// --- DriveTable --------------------------------------------------------------

DriveTable::DriveTable() : drives_{{QLatin1Char('C'), QStringLiteral("/"), QStringLiteral("/")}} {}

DriveTable::DriveTable(std::vector<Drive> drives) : drives_(std::move(drives)) {
    assert(!drives_.empty() && drives_.front().letter == QLatin1Char('C') &&
           drives_.front().hostRoot == QLatin1String("/"));
}

DriveTable DriveTable::fromMountTable(const QString& mountsText, const QString& gvfsFolder,
                                      const QStringList& gvfsShares) {
    struct Mount {
        QString point, type;
    };
    std::vector<Mount> mounts;
    const QStringList lines = mountsText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2) continue;
        QString point = decodeMountField(fields[1]);
        while (point.size() > 1 && point.endsWith(Slash))
            point.chop(1);
        mounts.push_back({point, fields.size() > 2 ? fields[2] : QString()});
    }

    std::vector<Drive> drives = DriveTable().drives();
    const auto add = [&](const QString& root) {
        const bool known = std::any_of(drives.begin(), drives.end(),
                                       [&](const Drive& d) { return d.hostRoot == root; });
        const char16_t letter = u'C' + static_cast<char16_t>(drives.size());
        if (known || letter > u'Z') return;
        drives.push_back({QChar(letter), root, hostFileName(root)});
    };
    // Volumes first, then the shares mounted elsewhere, each in mount-table order, then
    // the desktop's shares in their listing order.
    for (const Mount& m : mounts)
        if (isVolumeMountPoint(m.point)) add(m.point);
    for (const Mount& m : mounts)
        if (!isVolumeMountPoint(m.point) && m.point != QLatin1String("/") &&
            isShare(m.point, m.type))
            add(m.point);
    const bool gvfsMounted = std::any_of(mounts.begin(), mounts.end(), [&](const Mount& m) {
        return m.point == gvfsFolder && m.type == QLatin1String("fuse.gvfsd-fuse");
    });
    if (gvfsMounted) {
        QStringList shares = gvfsShares;
        std::sort(shares.begin(), shares.end(), listsBefore);
        // The share's own name is the drive's root: it never stands in a DOS path, so the
        // colons and equals signs of gvfs names ("smb-share:server=nas,share=foto") are
        // welcome here.
        for (const QString& share : shares)
            if (!share.startsWith(Dot)) add(joinHost(gvfsFolder, share));
    }
    return DriveTable(std::move(drives));
}

DriveTable DriveTable::host() {
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly)) return DriveTable();
    const QString text = QString::fromUtf8(mounts.readAll());
    // The desktop's shares are the folders of its gvfs mount, itself a FUSE file system
    // that may hang: listed on a thread of its own, and left behind after a second.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QStringList shares;
    const QString gvfs = runtime.isEmpty() ? QString() : runtime + QStringLiteral("/gvfs");
    if (!gvfs.isEmpty() && text.contains(QStringLiteral(" fuse.gvfsd-fuse "))) {
        auto listing = std::make_shared<std::promise<QStringList>>();
        std::future<QStringList> listed = listing->get_future();
        std::thread([listing, gvfs] {
            listing->set_value(readFolder(gvfs).value_or(QStringList()));
        }).detach();
        if (listed.wait_for(std::chrono::seconds(1)) == std::future_status::ready)
            shares = listed.get();
    }
    return fromMountTable(text, gvfs, shares);
}
const Drive* DriveTable::find(QChar letter) const {
    const QChar upper = letter.toUpper();
    for (const Drive& d : drives_)
        if (d.letter == upper) return &d;
    return nullptr;
}

const Drive& DriveTable::driveOfHostPath(const QString& hostPath) const {
    const Drive* best = &drives_.front();
    for (const Drive& d : drives_)
        if (hostContains(d.hostRoot, hostPath) && d.hostRoot.size() > best->hostRoot.size())
            best = &d;
    return *best;
}

// --- DosFileSystem: mapping ----------------------------------------------------

DosFileSystem::DosFileSystem(DriveTable drives)
    : drives_(std::move(drives)), curDrive_(QLatin1Char('C')) {
    for (const Drive& d : drives_.drives())
        curDirs_[d.letter] = driveRoot(d.letter);
}

// Whether a DOS path is already in absolute form: "X:\" with an upper-case letter, then
// names joined by single "\", none of them "." or "..", no "/", no final "\".
static bool isAbsoluteForm(const QString& path) {
    if (path.size() < 3 || path[0] < QLatin1Char('A') || path[0] > QLatin1Char('Z') ||
        path[1] != QLatin1Char(':') || path[2] != Backslash)
        return false;
    qsizetype start = 3; // of the current name
    for (qsizetype i = 3; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != Backslash) {
            if (path[i] == Slash || isForbiddenInName(path[i])) return false;
            continue;
        }
        const qsizetype length = i - start;
        if (length == 0) return i == 3 && i == path.size(); // "X:\" alone, or an empty name
        if (path[start] == Dot && (length == 1 || (length == 2 && path[start + 1] == Dot)))
            return false;
        start = i + 1;
    }
    return true;
}

Result<QString> DosFileSystem::absolute(const QString& dosPath) const {
    if (dosPath.isEmpty()) return fail(err::BadFileName, QStringLiteral("Empty path"), dosPath);
    // Most paths the program passes are absolute already.
    if (isAbsoluteForm(dosPath)) {
        if (!drives_.find(dosPath[0]))
            return fail(err::DeviceUnavailable, QStringLiteral("Unknown drive"), dosPath);
        return dosPath;
    }
    QString rest = dosPath;
    rest.replace(Slash, Backslash);

    QChar drive = curDrive_;
    if (hasDriveSpec(rest)) {
        if (!isAsciiLetter(rest[0]))
            return fail(err::BadFileName, QStringLiteral("Bad drive"), dosPath);
        drive = rest[0].toUpper();
        if (!drives_.find(drive))
            return fail(err::DeviceUnavailable, QStringLiteral("Unknown drive"), dosPath);
        rest = rest.mid(2);
    }
    if (std::any_of(rest.begin(), rest.end(), isForbiddenInName))
        return fail(err::BadFileName, QStringLiteral("Bad file name"), dosPath);

    QStringList parts;
    if (!rest.startsWith(Backslash)) // relative to the drive's current directory
        parts = curDir(drive).mid(3).split(Backslash, Qt::SkipEmptyParts);
    appendFolded(parts, rest.split(Backslash, Qt::SkipEmptyParts));
    return driveRoot(drive) + parts.join(Backslash);
}

Result<QString> DosFileSystem::toHost(const QString& dosPath) const {
    Result<QString> abs = absolute(dosPath);
    if (!abs.ok()) return abs;
    const QString& root = drives_.find(abs.value()[0])->hostRoot;
    const QStringList parts = abs.value().mid(3).split(Backslash, Qt::SkipEmptyParts);
    // The usual case first: the path is there exactly as given, so is every component.
    QString host = root;
    for (const QString& part : parts) {
        if (!host.endsWith(Slash)) host += Slash;
        host += part;
    }
    if (parts.isEmpty() || statOf(host, false)) return host;

    host = root;
    bool matching = true; // false once a component matched nothing
    for (const QString& part : parts) {
        QString name = part;
        if (matching && !statOf(joinHost(host, part), false)) {
            // Not there as given: the first name in listing order that differs only in case.
            QStringList candidates = readFolder(host).value_or(QStringList());
            candidates.removeIf([&](const QString& c) {
                return QString::compare(c, part, Qt::CaseInsensitive) != 0;
            });
            if (candidates.isEmpty())
                matching = false;
            else
                name = *std::min_element(candidates.begin(), candidates.end(), listsBefore);
        }
        host = joinHost(host, name);
    }
    return host;
}

Result<QString> DosFileSystem::toDos(const QString& hostPath) const {
    if (!hostPath.startsWith(Slash))
        return fail(err::BadFileName, QStringLiteral("Not an absolute host path"), hostPath);
    QStringList parts;
    appendFolded(parts, hostPath.split(Slash, Qt::SkipEmptyParts));
    const QString clean = Slash + parts.join(Slash);

    const Drive& drive = drives_.driveOfHostPath(clean);
    const QStringList inDrive = clean.mid(drive.hostRoot.size()).split(Slash, Qt::SkipEmptyParts);
    for (const QString& name : inDrive) {
        if (!isListableName(name) || hasWildcard(name))
            return fail(err::BadFileName, QStringLiteral("Name cannot stand in a DOS path"),
                        hostPath);
    }
    return driveRoot(drive.letter) + inDrive.join(Backslash);
}

// --- DosFileSystem: current drive and directory -------------------------------

Error DosFileSystem::chDrive(const QString& drive) {
    const Drive* d = drive.isEmpty() ? nullptr : drives_.find(drive[0]);
    if (!d) return fail(err::DeviceUnavailable, QStringLiteral("Unknown drive"), drive);
    if (!canEnter(d->hostRoot))
        return fail(err::DiskNotReady, QStringLiteral("Drive not ready"), drive);
    curDrive_ = d->letter;
    return Error::none();
}

Error DosFileSystem::chDir(const QString& path) {
    const Result<QString> abs = absolute(path);
    if (!abs.ok()) return abs.error();
    const Result<QString> host = toHost(abs.value());
    if (!host.ok()) return host.error();
    if (!canEnter(host.value()))
        return fail(err::PathNotFound, QStringLiteral("Path not found"), path);
    curDirs_[abs.value()[0]] = abs.value();
    return Error::none();
}

QString DosFileSystem::curDir(QChar drive) const {
    const auto it = curDirs_.find(drive.isNull() ? curDrive_ : drive.toUpper());
    return it == curDirs_.end() ? QString() : it->second;
}

// --- DosFileSystem: listing ---------------------------------------------------

Result<QStringList> DosFileSystem::list(const QString& pathPattern, ListMode mode) const {
    if (pathPattern.isEmpty())
        return fail(err::BadFileName, QStringLiteral("Empty path"), pathPattern);

    // Split "folder\pattern"; the folder part keeps its "\" so that "\x" means the root.
    const qsizetype sep =
        std::max(pathPattern.lastIndexOf(Backslash), pathPattern.lastIndexOf(Slash));
    QString folderPart;
    QString pattern;
    if (sep >= 0) {
        folderPart = pathPattern.left(sep + 1);
        pattern = pathPattern.mid(sep + 1);
    } else if (hasDriveSpec(pathPattern)) {
        folderPart = pathPattern.left(2);
        pattern = pathPattern.mid(2);
    } else {
        pattern = pathPattern;
    }
    if (pattern.isEmpty()) pattern = QStringLiteral("*.*");

    const Result<QString> folder =
        folderPart.isEmpty() ? Result<QString>(curDir()) : absolute(folderPart);
    if (!folder.ok()) return folder.error();
    const Result<QString> hostFolder = toHost(folder.value());
    if (!hostFolder.ok()) return hostFolder.error();
    const auto entries = readFolderEntries(hostFolder.value());
    if (!entries) return fail(err::PathNotFound, QStringLiteral("Path not found"), pathPattern);

    // "*" and "*.*" match every name: no need to match each.
    const bool everyName = pattern == QLatin1String("*") || pattern == QLatin1String("*.*");
    QStringList found;
    found.reserve(qsizetype(entries->size()));
    for (const FolderEntry& entry : *entries) {
        const QString& name = entry.name;
        if (name.startsWith(Dot) || !isListableName(name) ||
            (!everyName && !matchesPattern(pattern, name)))
            continue;
        // The type from the folder when it gives one; links and unknown types are
        // looked up, following links (broken links fail here).
        unsigned char type = entry.type;
        if (type != DT_REG && type != DT_DIR) {
            const auto st = statOf(joinHost(hostFolder.value(), name));
            if (!st) continue;
            type = S_ISREG(st->st_mode) ? DT_REG : S_ISDIR(st->st_mode) ? DT_DIR : DT_UNKNOWN;
        }
        const bool wanted = (type == DT_REG && mode != ListMode::FoldersOnly) ||
                            (type == DT_DIR && mode != ListMode::FilesOnly);
        if (wanted) found.append(name);
    }
    std::sort(found.begin(), found.end(), listsBefore);

    const bool atRoot = folder.value().size() == 3;
    if (mode != ListMode::FilesOnly && !atRoot) {
        QStringList dots;
        for (const QString& dot : {QStringLiteral("."), QStringLiteral("..")})
            if (matchesPattern(pattern, dot)) dots.append(dot);
        found = dots + found;
    }
    return found;
}

Result<int> DosFileSystem::getAttr(const QString& path) const {
    const Result<QString> host = toHost(path);
    if (!host.ok()) return host.error();
    // The entry itself first; a link is followed to what it points at.
    auto st = statOf(host.value(), false);
    if (st && S_ISLNK(st->st_mode)) st = statOf(host.value());
    if (!st) return fail(err::FileNotFound, QStringLiteral("File not found"), path);
    int bits = attr::Normal;
    if (S_ISDIR(st->st_mode)) bits |= attr::Directory;
    if (!isWritable(host.value())) bits |= attr::ReadOnly;
    const QString& h = host.value();
    const qsizetype nameAt = h.lastIndexOf(Slash) + 1;
    if (nameAt < h.size() && h[nameAt] == Dot) bits |= attr::Hidden;
    return bits;
}

bool DosFileSystem::fileExists(const QString& path) const {
    const Result<QString> host = toHost(path);
    if (!host.ok() || hostFileName(host.value()).startsWith(Dot)) return false;
    const auto st = statOf(storedPath(host.value(), Use::Read));
    return st && S_ISREG(st->st_mode);
}

// --- DosFileSystem: sequential text files -------------------------------------

Result<QStringList> DosFileSystem::readLines(const QString& path, qint64 maxBytes) const {
    const Result<QString> host = toHost(path);
    if (!host.ok()) return host.error();
    const Result<RegularFile> file = RegularFile::open(storedPath(host.value(), Use::Read));
    if (!file.ok()) {
        if (file.error().number == err::FileNotFound)
            return fail(err::FileNotFound, QStringLiteral("File not found"), path);
        return fail(err::PathFileAccess, QStringLiteral("Cannot read"), path);
    }
    const Result<QByteArray> read = file.value().readAll(maxBytes, Beyond::Cut);
    if (!read.ok()) return fail(err::PathFileAccess, QStringLiteral("Cannot read"), path);
    const QByteArray& bytes = read.value();

    const QString text = QString::fromUtf8(bytes);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n')) continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.append(text.mid(start));
    return lines;
}

Error DosFileSystem::writeLines(const QString& path, const QStringList& lines) const {
    const Result<QString> host = toHost(path);
    if (!host.ok()) return host.error();
    if (hasWildcard(hostFileName(host.value())))
        return fail(err::BadFileName, QStringLiteral("Bad file name"), path);
    const QString target = storedPath(host.value(), Use::Write);
    if (target != host.value() && !QDir().mkpath(hostParent(target)))
        return fail(err::PathFileAccess, QStringLiteral("Cannot make the store"), path);
    const QString parent = hostParent(target);
    if (!isFolder(parent)) return fail(err::PathNotFound, QStringLiteral("Path not found"), path);
    const auto existing = statOf(target);
    if (existing && !S_ISREG(existing->st_mode))
        return fail(err::PathFileAccess, QStringLiteral("Not a file"), path);
    if ((existing && !isWritable(target)) || !isWritable(parent))
        return fail(err::PermissionDenied, QStringLiteral("Permission denied"), path);

    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";

    // QSaveFile writes a temporary file beside the target, syncs it and renames it over
    // the target on commit; if anything fails the temporary file is dropped. Unbuffered:
    // Qt 6.4 loses an error met while flushing its buffer and would commit a cut file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int number = file.error() == QFileDevice::PermissionsError ? err::PermissionDenied
                                                                         : err::PathFileAccess;
        return fail(number, QStringLiteral("Cannot write"), path);
    }
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return fail(err::PathFileAccess, QStringLiteral("Cannot write"), path);
    }
    if (!file.commit()) return fail(err::PathFileAccess, QStringLiteral("Cannot write"), path);
    return Error::none();
}

// --- DosFileSystem: the program folder's own files ------------------------------

QString userStoreFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quadrello");
}

void DosFileSystem::keepProgramWritesIn(const QString& programHostFolder,
                                        const QString& storeHostFolder) {
    programHost_ = QDir::cleanPath(programHostFolder);
    storeHost_ = QDir::cleanPath(storeHostFolder);
}

QString DosFileSystem::storedPath(const QString& hostPath, Use use) const {
    if (programHost_.isEmpty() || hostParent(hostPath) != programHost_ || isWritable(programHost_))
        return hostPath;
    const QString stored = joinHost(storeHost_, hostFileName(hostPath));
    if (use == Use::Write || statOf(stored, false)) return stored;
    return hostPath;
}

// --- Names ---------------------------------------------------------------------

bool DosFileSystem::matchesPattern(const QString& pattern, const QString& name) {
    const QList<uint> n = name.toCaseFolded().toUcs4();
    const QList<uint> p = pattern.toCaseFolded().toUcs4();
    if (wildcardMatch(p, n)) return true;
    // "x.*" also matches "x" when the name has no extension at all.
    return pattern.endsWith(QLatin1String(".*")) && !name.contains(Dot) &&
           wildcardMatch(p.first(p.size() - 2), n);
}

bool DosFileSystem::isListableName(const QString& name) {
    if (name.isEmpty() || !name.isValidUtf16()) return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return isForbiddenInName(c) || c == Backslash || c == Slash || c == QLatin1Char('*') ||
               c == QLatin1Char('?');
    });
}

} // namespace rt
