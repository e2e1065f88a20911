#pragma once
// The viewer's list of pictures: the chosen folder and its direct subfolders, walked
// through the DOS file services. The walk runs away from the user-interface thread and
// hands its pictures over as it finds them, always in the list's own order.

#include "DosFiles.h"
#include "Worker.h"

#include <QFuture>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace viewer {

// Slots 0 .. 9999. Slot 0 stays empty, pictures fill slots 1 .. N, and the first empty
// slot after them ends the list.
inline constexpr int ImageListSlots = 10000;
// Folders searched: slots 1 .. 1000.
inline constexpr int FolderListSlots = 1000;
// Folders listed at the same time by a walk given listing threads: a share's latency is
// paid eight folders at a time.
inline constexpr int ParallelListings = 8;

// An entry is a path relative to the chosen folder: the folder entry ("." for the chosen
// folder itself, else the subfolder's name), "\" and the file name: ".\mare01.jpg",
// "vacanze\mare01.JPG".
using ImageList = std::vector<QString>;

[[nodiscard]] inline ImageList emptyImageList() {
    return ImageList(ImageListSlots);
}

// Whether a file name is a picture: its last four characters (the whole name when shorter),
// in upper case, begin with "." and occur in ".JPG.BMP.CUR.ICO.DIB.GIF.EMF.WMF".
[[nodiscard]] bool isPictureName(const QString& name);

// Receives the pictures of one searched folder, in listing order (never empty); returns
// false to stop the walk.
using PicturesFound = std::function<bool(const QStringList& entries)>;

// Walks the folder `folderPath` (a DOS path ending in "\") and its direct subfolders, in
// listing order, folder by folder: first the folder pass (every folder entry of the chosen
// folder, "." included, ".." excluded, at most 1000), then the picture pass over each of
// them. The chosen folder itself is always searched first, a drive root (whose listing has
// no ".") included. Folders that cannot be listed are skipped; the walk ends once the
// list's last slot is taken. Nothing is reported. With `listers`, the picture pass lists
// up to ParallelListings folders at a time on them; the pictures still arrive in order.
void WalkImageList(const rt::DosFileSystem& files, const QString& folderPath, rt::Worker* listers,
                   const PicturesFound& found);

// The walk above, all of it, into `list` (slots 1 .. N; the rest left as they are).
void BuildImageList(const rt::DosFileSystem& files, const QString& folderPath, ImageList& list);

// The walk run on `walker`, listing on `listers`: each result of the future is the pictures
// of one folder, in order; it finishes when the walk is over. Cancelling the future stops
// the walk at its next folder. `files` is copied: the walk never touches the caller's;
// the walk keeps `listers` for as long as it runs.
[[nodiscard]] QFuture<QStringList> StreamImageList(const rt::DosFileSystem& files,
                                                   const QString& folderPath, rt::Worker& walker,
                                                   std::shared_ptr<rt::Worker> listers);

} // namespace viewer
