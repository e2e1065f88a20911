// The folder list control: the current folder's ancestors and its subfolders.

#include "DirListBox.h"

#include "Platform.h"

#include <QFutureWatcher>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace rt {

namespace {

constexpr int IndentStep = 8; // pixels per level

// Draws each entry shifted right by its level.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) {
        return IndentStep * index.data(DirListBox::LevelRole).toInt();
    }
};

} // namespace

FolderListing listFolder(const DosFileSystem& files, const QString& dosPath) {
    FolderListing l;
    const Result<QString> abs = files.absolute(dosPath);
    if (!abs.ok()) {
        l.error = abs.error();
        return l;
    }
    l.folder = abs.value();
    // The listing's own entry types tell the folders: no attribute read per entry.
    const Result<QStringList> entries = files.list(withBackslash(l.folder), ListMode::FoldersOnly);
    if (!entries.ok()) {
        l.error = entries.error();
        return l;
    }
    for (const QString& name : entries.value())
        if (name != QLatin1String(".") && name != QLatin1String("..")) l.subfolders.append(name);
    return l;
}

DirListBox::DirListBox(const DosFileSystem& files, QWidget* parent)
    : QListWidget(parent), files_(files) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    viewport()->setMouseTracking(true);
    setPath(files_.curDir());
}

DirListBox::~DirListBox() = default;

void DirListBox::setPath(const QString& dosPath, std::function<void(Error)> done) {
    const Result<QString> abs = files_.absolute(dosPath);
    asked_ = abs.ok() ? abs.value() : dosPath;
    const int serial = ++lastAsked_;
    ++underWay_;
    // The job works on a copy of the DOS view: the dialog's may change meanwhile. The
    // watcher dies with the list, and with it a listing that never came.
    auto* watcher = new QFutureWatcher<FolderListing>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, serial, done] {
        FolderListing l;
        if (watcher->future().isResultReadyAt(0)) {
            l = watcher->future().result();
        } else {
            l.error = {err::PathNotFound, QStringLiteral("Not listed")};
        }
        watcher->deleteLater();
        arrived(serial, l, done);
    });
    watcher->setFuture(workers_.run(
        Worker::Unkeyed, [files = files_, dosPath] { return listFolder(files, dosPath); }));
}

void DirListBox::arrived(int serial, const FolderListing& listing,
                         const std::function<void(Error)>& done) {
    --underWay_;
    if (serial < lastShown_) return; // a later listing is on the screen already
    if (!listing.error.failed()) {
        fill(listing);
        lastShown_ = serial;
    }
    if (done) done(listing.error);
}

void DirListBox::show(const FolderListing& listing) {
    lastShown_ = ++lastAsked_; // what was asked before this is older than what it shows
    asked_ = listing.folder;
    fill(listing);
}

void DirListBox::fill(const FolderListing& listing) {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [this](const QIcon& icon, const QString& text, const QString& itemPath,
                            int level) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(PathRole, itemPath);
        item->setData(LevelRole, level);
        return item;
    };

    // The chain from the root ("c:\") down to the folder itself.
    const QString& folder = listing.folder;
    QString chainPath = folder.left(3);
    QListWidgetItem* current = add(open, folder.left(3).toLower(), chainPath, 0);
    const QStringList parts = folder.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (int level = 1; level <= parts.size(); ++level) {
        chainPath = withBackslash(chainPath) + parts[level - 1];
        current = add(open, parts[level - 1], chainPath, level);
    }
    for (const QString& name : listing.subfolders)
        add(closed, name, withBackslash(folder) + name, int(parts.size()) + 1);

    path_ = folder;
    setCurrentItem(current);
    scrollToItem(current);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const QListWidgetItem* item = itemAt(event->position().toPoint())) {
            // Copied first: opening the folder rebuilds the list and deletes the item.
            const QString target = item->data(PathRole).toString();
            setPath(target);
            event->accept();
            return;
        }
    }
    QListWidget::mouseDoubleClickEvent(event);
}

void DirListBox::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QListWidget::mouseMoveEvent(event);
}

} // namespace rt
