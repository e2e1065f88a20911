// The folder list control: the current folder's ancestors and its subfolders.

#include "DirListBox.h"

#include "Platform.h"

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

Error DirListBox::setPath(const QString& dosPath) {
    const Result<QString> abs = files_.absolute(dosPath);
    if (!abs.ok()) return abs.error();
    const QString folder = abs.value(); // "X:\" or "X:\a\b"
    const Result<QStringList> entries =
        files_.list(withBackslash(folder), ListMode::FoldersIncluded);
    if (!entries.ok()) return entries.error();

    QStringList subfolders;
    for (const QString& name : entries.value()) {
        if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
        const Result<int> bits = files_.getAttr(withBackslash(folder) + name);
        if (bits.ok() && (bits.value() & attr::Directory)) subfolders.append(name);
    }

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
    QString chainPath = folder.left(3);
    QListWidgetItem* current = add(open, folder.left(3).toLower(), chainPath, 0);
    const QStringList parts = folder.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (int level = 1; level <= parts.size(); ++level) {
        chainPath = withBackslash(chainPath) + parts[level - 1];
        current = add(open, parts[level - 1], chainPath, level);
    }
    for (const QString& name : subfolders)
        add(closed, name, withBackslash(folder) + name, int(parts.size()) + 1);

    path_ = folder;
    setCurrentItem(current);
    scrollToItem(current);
    return Error::none();
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
    if (onMouseMove) onMouseMove();
    QListWidget::mouseMoveEvent(event);
}

} // namespace rt
