// The walk that lists the pictures of the chosen folder and its direct subfolders.

#include "ImageList.h"

#include <deque>
#include <future>
#include <memory>

namespace viewer {

namespace {

// The folder pass: "." first, then every folder entry but "..", at most 1000.
QStringList folderPass(const rt::DosFileSystem& files, const QString& P) {
    QStringList folders;
    const rt::Result<QStringList> entries = files.list(P, rt::ListMode::FoldersOnly);
    if (!entries.ok()) return folders;
    // A drive root lists no "." entry: the folder itself still comes first.
    if (!entries.value().contains(QStringLiteral("."))) folders.append(QStringLiteral("."));
    for (const QString& entry : entries.value()) {
        if (entry == QLatin1String("..")) continue;
        if (folders.size() < FolderListSlots) folders.append(entry);
    }
    return folders;
}

// The pictures of one folder of the picture pass, as entries; nothing when it cannot be
// listed.
QStringList picturesOf(const rt::DosFileSystem& files, const QString& P, const QString& folder) {
    QStringList entries;
    const rt::Result<QStringList> names =
        files.list(P + folder + QStringLiteral("\\*.*"), rt::ListMode::FilesOnly);
    if (!names.ok()) return entries;
    for (const QString& name : names.value())
        if (isPictureName(name)) entries.append(folder + QLatin1Char('\\') + name);
    return entries;
}

} // namespace

bool isPictureName(const QString& name) {
    static const QString Extensions = QStringLiteral(".JPG.BMP.CUR.ICO.DIB.GIF.EMF.WMF");
    const QString x = name.right(4).toUpper();
    return x.startsWith(QLatin1Char('.')) && Extensions.contains(x);
}

void WalkImageList(const rt::DosFileSystem& files, const QString& folderPath, rt::Worker* listers,
                   const PicturesFound& found) {
    const QString& P = folderPath;
    const QStringList folders = folderPass(files, P);

    // The picture pass. Listings run ahead of the folder being handed over, in a window
    // of ParallelListings folders; results are taken in folder order.
    std::deque<std::future<QStringList>> ahead;
    qsizetype next = 0; // the next folder to start listing
    const auto startListing = [&] {
        auto listing = std::make_shared<std::promise<QStringList>>();
        ahead.push_back(listing->get_future());
        const QString folder = folders[next++];
        if (!listers) {
            listing->set_value(picturesOf(files, P, folder));
            return;
        }
        listers->post(
            [listing, files, P, folder] { listing->set_value(picturesOf(files, P, folder)); });
    };
    const int window = listers ? ParallelListings : 1;
    int pictures = 0;
    while (next < folders.size() || !ahead.empty()) {
        while (next < folders.size() && int(ahead.size()) < window)
            startListing();
        QStringList entries = ahead.front().get();
        ahead.pop_front();
        if (entries.isEmpty()) continue;
        // Slots 1 .. 9999: pictures beyond the last slot are ignored.
        const int room = ImageListSlots - 1 - pictures;
        if (entries.size() > room) entries.resize(room);
        pictures += int(entries.size());
        if (!found(entries) || pictures == ImageListSlots - 1) break;
    }
    // Listings still running end on their own; their results are dropped.
}

void BuildImageList(const rt::DosFileSystem& files, const QString& folderPath, ImageList& list) {
    std::size_t slot = 1;
    WalkImageList(files, folderPath, nullptr, [&](const QStringList& entries) {
        for (const QString& e : entries)
            list[slot++] = e;
        return true;
    });
}

QFuture<QStringList> StreamImageList(const rt::DosFileSystem& files, const QString& folderPath,
                                     rt::Worker& walker, std::shared_ptr<rt::Worker> listers) {
    auto promise = std::make_shared<QPromise<QStringList>>();
    QFuture<QStringList> future = promise->future();
    promise->start();
    walker.post([promise, files, folderPath, listers = std::move(listers)] {
        WalkImageList(files, folderPath, listers.get(), [&](const QStringList& entries) {
            if (promise->isCanceled()) return false;
            promise->addResult(entries);
            return true;
        });
        promise->finish();
    });
    return future;
}

} // namespace viewer
