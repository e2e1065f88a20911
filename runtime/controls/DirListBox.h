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

#include <QListWidget>
#include <QString>

#include <functional>

namespace rt {

class DirListBox final : public QListWidget {
public:
    // Shows the file system's current directory, when it can be listed.
    explicit DirListBox(const DosFileSystem& files, QWidget* parent = nullptr);

    // Opens a folder: any DOS path, resolved against the current drive and directories;
    // a drive alone ("d:") means that drive's current directory. Fails, leaving the list
    // as it was, when the folder cannot be listed.
    Error setPath(const QString& dosPath);
    // The current folder as an absolute DOS path: "C:\" at a root, else without a final "\".
    [[nodiscard]] QString path() const { return path_; }

    // Runs whenever the mouse moves over the list.
    std::function<void()> onMouseMove;

    // Item data: the entry's absolute DOS path, and its indentation level.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const DosFileSystem& files_;
    QString path_;
};

} // namespace rt
