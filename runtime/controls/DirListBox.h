#pragma once
// The classic folder list: the chain of folders from the drive's root down to the
// current folder, each with an open-folder icon and indented one step per level, then
// the current folder's subfolders with a closed-folder icon, one step further in.
//
//   [open]    c:\ (the root)
//   [open]     home
//   [open]      anna      <- current folder
//   [closed]     foto
//   [closed]     musica
//
// A double click opens an entry. The arrow keys move the highlight without opening
// anything; Enter is left to the dialog (its default button).

#include "DosFiles.h"
#include "Worker.h"

#include <QListWidget>
#include <QString>

#include <functional>

namespace rt {

// What the list shows of a folder: the folder (absolute DOS form: "X:\" or "X:\a\b") and
// its subfolders in listing order, or why it could not be listed.
struct FolderListing {
    Error error;
    QString folder;
    QStringList subfolders;
};
// Lists a folder for the list ("d:" is that drive's current directory). It touches the
// files, which may be on a share that does not answer: the list runs it on its worker.
[[nodiscard]] FolderListing listFolder(const DosFileSystem& files, const QString& dosPath);

class DirListBox final : public QListWidget {
    Q_OBJECT
public:
    // Shows the file system's current directory, when it can be listed.
    explicit DirListBox(const DosFileSystem& files, QWidget* parent = nullptr);
    ~DirListBox() override;

    // Opens a folder: any DOS path, resolved against the current drive and directories;
    // a drive alone ("d:") means that drive's current directory. The folder is listed on
    // the list's own workers, and the list fills when the listing arrives; `done` then
    // runs with how it went. A failure leaves the list as it was. Listings arrive in any
    // order: one that comes after a later call's has been shown is dropped, so a listing
    // held up by a share that does not answer never holds up the next one.
    void setPath(const QString& dosPath, std::function<void(Error)> done = {});
    // Shows a listing made elsewhere (a folder alone, not listed yet, when it has no
    // subfolders); a listing still under way is then dropped.
    void show(const FolderListing& listing);
    // The current folder as an absolute DOS path: "C:\" at a root, else without a final
    // "\"; while a listing is under way, the folder asked for.
    [[nodiscard]] QString path() const { return underWay_ > 0 ? asked_ : path_; }
    // Whether a listing is under way.
    [[nodiscard]] bool listing() const { return underWay_ > 0; }

    // Item data: the entry's absolute DOS path, and its indentation level.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

signals:
    // Whenever the mouse moves over the list.
    void mouseMoved();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Shows a listing.
    void fill(const FolderListing& listing);
    // Listing number `serial` arrived.
    void arrived(int serial, const FolderListing& listing, const std::function<void(Error)>& done);

    const DosFileSystem& files_;
    QString path_;
    // The listings under way, on a few threads, so that a listing held by a share does not
    // hold up the next one: how many, the folder asked for last, the number of the last
    // one asked for and of the last one shown.
    Worker workers_{4};
    int underWay_ = 0;
    QString asked_;
    int lastAsked_ = 0, lastShown_ = 0;
};

} // namespace rt
