#pragma once
// The viewer's list of pictures: the chosen folder and its direct subfolders, walked
// once at start-up through the DOS file services.

#include "DosFiles.h"

#include <QString>

#include <vector>

namespace viewer {

// Slots 0 .. 9999. Slot 0 stays empty, pictures fill slots 1 .. N, and the first empty
// slot after them ends the list.
inline constexpr int ImageListSlots = 10000;
// Folders searched: slots 1 .. 1000.
inline constexpr int FolderListSlots = 1000;

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

// Fills `list` from the folder `folderPath` (a DOS path ending in "\") and its direct
// subfolders, in listing order, folder by folder: first the folder pass (every folder
// entry of the chosen folder, "." included, ".." excluded, at most 1000), then the
// picture pass over each of them. The chosen folder itself is always searched first, a
// drive root (whose listing has no ".") included. Folders that cannot be listed are
// skipped; pictures beyond the last slot are ignored. Nothing is reported.
void BuildImageList(const rt::DosFileSystem& files, const QString& folderPath, ImageList& list);

} // namespace viewer
