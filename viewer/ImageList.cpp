// The walk that lists the pictures of the chosen folder and its direct subfolders.

#include "ImageList.h"

namespace viewer {

bool isPictureName(const QString& name) {
    static const QString Extensions = QStringLiteral(".JPG.BMP.CUR.ICO.DIB.GIF.EMF.WMF");
    const QString x = name.right(4).toUpper();
    return x.startsWith(QLatin1Char('.')) && Extensions.contains(x);
}

void BuildImageList(const rt::DosFileSystem& files, const QString& folderPath, ImageList& list) {
    const QString& P = folderPath;
    std::vector<QString> folderList(FolderListSlots + 1); // slots 1 .. 1000

    // Folder pass.
    int folderCount = 1;
    const auto store = [&](const QString& entry) {
        if (folderCount <= FolderListSlots) folderList[std::size_t(folderCount)] = entry;
        ++folderCount;
    };
    const rt::Result<QStringList> entries = files.list(P, rt::ListMode::FoldersIncluded);
    if (entries.ok()) {
        // A drive root lists no "." entry: the folder itself still comes first.
        if (!entries.value().contains(QStringLiteral("."))) store(QStringLiteral("."));
        for (const QString& entry : entries.value()) {
            if (entry == QLatin1String("..")) continue;
            const rt::Result<int> attributes = files.getAttr(P + entry);
            if (attributes.ok() && (attributes.value() & rt::attr::Directory)) store(entry);
        }
    }

    // Picture pass.
    int pictureCount = 0;
    for (int f = 1; f <= FolderListSlots && !folderList[std::size_t(f)].isEmpty(); ++f) {
        const QString& folder = folderList[std::size_t(f)];
        const rt::Result<QStringList> names =
            files.list(P + folder + QStringLiteral("\\*.*"), rt::ListMode::FilesOnly);
        if (!names.ok()) continue;
        for (const QString& name : names.value()) {
            if (!isPictureName(name)) continue;
            ++pictureCount;
            if (pictureCount < ImageListSlots)
                list[std::size_t(pictureCount)] = folder + QLatin1Char('\\') + name;
        }
    }
}

} // namespace viewer
