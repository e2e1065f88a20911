#pragma once
// The program's DOS-style view of the host file system.
//
// Drives: "C:" is the host root "/"; then, each with the next letter (D:, E:, ...): the
// volumes mounted under /media, /run/media or /mnt in mount-table order; the network and
// FUSE shares mounted elsewhere (NFS, SMB/CIFS, sshfs, ...) in mount-table order; and the
// desktop's own shares (the folders of its gvfs mount) in listing order, up to Z:.
// "C:\home\anna\foto" is /home/anna/foto and back. Both "\" and "/" are accepted
// as separators in DOS paths; DOS paths handed out always use "\".
//
// Names: a name that does not exist exactly is looked up without regard to case
// (an exact match wins). Listings return names in their own case.
//
// Listings: hidden entries (names beginning with ".") and names that cannot
// stand in a DOS path (holding \ / : * ? " < > | or control characters) are never
// listed. Order: "." and ".." first except at a drive root, then the rest in
// case-insensitive ordinal order (ties broken by plain ordinal order), so every
// run sees the same order. A folder that cannot be listed is an error.
//
// Current drive and directory belong to this object, not to the process: each
// drive keeps its own current directory, as DOS does. Nothing here changes the
// process's working directory.

#include "Result.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace rt {

// Attribute bits of a path.
namespace attr {
inline constexpr int Normal = 0;
inline constexpr int ReadOnly = 1;
inline constexpr int Hidden = 2;
inline constexpr int Directory = 16;
} // namespace attr

enum class ListMode {
    FilesOnly,       // plain files only
    FoldersIncluded, // plain files and folders, "." and ".." included (not at a drive root)
    FoldersOnly,     // folders only, "." and ".." included (not at a drive root): the types
                     // come from the listing itself, no attribute is read per entry
};

struct Drive {
    QChar letter;     // upper case, 'C' for the host root
    QString hostRoot; // absolute host path of the drive's root, "/" for C:
    QString label;    // what the drive list shows between brackets: "/" for C:, else the volume's
                      // folder name
};

class DriveTable {
public:
    // C: alone, mapped to "/".
    DriveTable();
    // Drives in order; the first must be C: on "/".
    explicit DriveTable(std::vector<Drive> drives);

    // Builds the table from the text of a mount table (/proc/self/mounts format) in the
    // order above; `gvfsShares` are the names in the desktop's gvfs folder `gvfsFolder`,
    // used when that folder is mounted. Octal escapes (\040 for a blank) are decoded.
    [[nodiscard]] static DriveTable fromMountTable(const QString& mountsText,
                                                   const QString& gvfsFolder = QString(),
                                                   const QStringList& gvfsShares = {});
    // The host's drives, read from /proc/self/mounts and $XDG_RUNTIME_DIR/gvfs.
    [[nodiscard]] static DriveTable host();

    [[nodiscard]] const std::vector<Drive>& drives() const { return drives_; }
    // The drive with this letter (either case), or nullptr.
    [[nodiscard]] const Drive* find(QChar letter) const;
    // The drive whose root contains the absolute host path (the longest root wins).
    [[nodiscard]] const Drive& driveOfHostPath(const QString& hostPath) const;

private:
    std::vector<Drive> drives_;
};

// The user's own store of the files the program writes to a program folder they cannot
// write: $XDG_CONFIG_HOME/quadrello, ~/.config/quadrello by default.
[[nodiscard]] QString userStoreFolder();

class DosFileSystem {
public:
    // The current drive starts as C: with "\" as its current directory; every drive's
    // current directory starts at its root.
    explicit DosFileSystem(DriveTable drives = DriveTable());

    [[nodiscard]] const DriveTable& driveTable() const { return drives_; }

    // --- Mapping -------------------------------------------------------------
    // Absolute DOS form of a DOS path: "X:\a\b", resolved against the current drive and
    // the drive's current directory ("x:rel", "\rel", "rel"), "." and ".." folded, the
    // drive letter upper case. No file system access; fails on an unknown drive (68) or
    // an empty path (52).
    [[nodiscard]] Result<QString> absolute(const QString& dosPath) const;
    // The host path of a DOS path. Each component that does not exist exactly is
    // matched without regard to case; components that match nothing are kept as given
    // (so a file about to be created maps too). Fails like absolute().
    [[nodiscard]] Result<QString> toHost(const QString& dosPath) const;
    // The DOS path of an absolute host path ("/home/anna" -> "C:\home\anna"). Fails (52)
    // when the path holds a name that cannot stand in a DOS path.
    [[nodiscard]] Result<QString> toDos(const QString& hostPath) const;

    // --- Current drive and directory -----------------------------------------
    // "C", "c:", "c:\anything": the first letter decides. Fails (68) when the drive is
    // unknown, (71) when its root cannot be read or entered.
    Error chDrive(const QString& drive);
    // Makes the folder the current directory of its drive (not the current drive, as
    // in DOS). Fails (76) when it is not an existing folder that can be listed and
    // entered.
    Error chDir(const QString& path);
    // Takes over what chDrive and chDir made current on a copy of this view (run where
    // the files may keep it waiting, on a worker): its current drive, or the current
    // directory of one drive. No file system access.
    void takeCurrentDrive(const DosFileSystem& checked) { curDrive_ = checked.curDrive_; }
    void takeCurrentDir(const DosFileSystem& checked, QChar drive) {
        curDirs_[drive.toUpper()] = checked.curDir(drive);
    }
    // The current drive letter, upper case.
    [[nodiscard]] QChar curDrive() const { return curDrive_; }
    // The current directory of a drive (the current drive when none is given), as an
    // absolute DOS path: "C:\" at the root, else without a final "\".
    [[nodiscard]] QString curDir(QChar drive = QChar()) const;

    // --- Listing -------------------------------------------------------------
    // The entries of a folder that match a pattern, in the listing order above. The
    // argument is a path whose last component is the pattern ("C:\foto\*.jpg"); a path
    // ending in "\" means every entry ("*.*"). DOS wildcards: "*" any run, "?" one
    // character, case ignored, and a pattern ending in ".*" also matches names without a
    // dot ("*.*" matches every name). Fails (76) when the folder does not exist or cannot
    // be listed. A pattern without wildcards that names nothing gives an empty list.
    [[nodiscard]] Result<QStringList> list(const QString& pathPattern, ListMode mode) const;

    // Attribute bits of a path (attr::Directory for a folder, attr::ReadOnly when the
    // user cannot write it, attr::Hidden for a dot name). Fails (53) when it does not exist.
    [[nodiscard]] Result<int> getAttr(const QString& path) const;

    // Whether a plain file (not a folder, not hidden) exists at the path.
    [[nodiscard]] bool fileExists(const QString& path) const;

    // --- Sequential text files -----------------------------------------------
    // The lines of a text file: a line ends at CR LF, at a lone CR or at a lone LF (a
    // file saved by a Linux editor), a last line without an end still counts. Text is read as UTF-8
    // (the host's code page). Only a regular file is read, and only its first `maxBytes`
    // bytes: a longer file reads as if it ended there. Fails (53) when the file is
    // missing, (75) when it is not a regular file or cannot be read.
    [[nodiscard]] Result<QStringList> readLines(const QString& path,
                                                qint64 maxBytes = 256 * 1024) const;
    // Replaces the file with the given lines, each followed by CR LF, in UTF-8. The new
    // content is written beside the old file and renamed over it only when complete, so
    // a failure or an interrupted write leaves the old file whole. Fails (75, 70, 76)
    // with the old file untouched.
    Error writeLines(const QString& path, const QStringList& lines) const;

    // --- The program folder's own files ---------------------------------------
    // Where the program folder (`programHostFolder`) cannot be written by the user, as
    // when it was installed for every user of the machine, the text files the program
    // writes there go to a store of the user's own (`storeHostFolder`, made on the first
    // write), and a file found in that store is read and tested for in place of the
    // folder's copy, which stays as the defaults the store's copy has not replaced. The
    // paths the program gives are the program folder's; a folder the user can write is
    // read and written as any other. Listings and attributes are the folder's own.
    void keepProgramWritesIn(const QString& programHostFolder, const QString& storeHostFolder);

    // Whether a pattern (a single name component) matches a name, by the rules above.
    [[nodiscard]] static bool matchesPattern(const QString& pattern, const QString& name);
    // Whether a host name can be shown in a DOS listing.
    [[nodiscard]] static bool isListableName(const QString& name);

private:
    enum class Use { Read, Write };
    // Where the file of a host path is read or written: the user's store for a file of a
    // program folder the user cannot write (read there only once it exists), else itself.
    [[nodiscard]] QString storedPath(const QString& hostPath, Use use) const;

    DriveTable drives_;
    QString programHost_, storeHost_;
    QChar curDrive_;
    std::map<QChar, QString> curDirs_; // drive letter -> absolute DOS folder, "X:\..."
};

} // namespace rt
