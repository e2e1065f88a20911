#pragma once
// The real platform services, over Qt and the host. Built once, in main().

#include "Platform.h"

#include <QPixmap>
#include <QPointer>
#include <QScreen>

#include <memory>

namespace rt {

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(const QString& text, int style, const QString& title) override;
};

// Keeps one application-wide override cursor, as the classic runtime's screen pointer.
class QtMousePointer final : public MousePointer {
public:
    ~QtMousePointer() override;
    void setIcon(const QPixmap& icon, QPoint hotSpot) override;
    void setShape(PointerShape shape) override;

private:
    QPixmap icon_;
    QPoint hotSpot_;
    bool overridden_ = false;
};

// Ends the process at once: no further handler runs, no destructor.
class ProcessEnd final : public ProgramEnd {
public:
    [[noreturn]] void end() override;
};

// The desktop's monitors as Qt sees them. The show's monitor is the primary one until
// settled; once it changes, goes away, or the primary one moves, it is the primary one
// again and the change is told once.
class QtScreen final : public Screen {
public:
    QtScreen(); // after the application

    [[nodiscard]] double widthTwips() const override;
    [[nodiscard]] double heightTwips() const override;
    [[nodiscard]] double pixelRatio() const override;
    [[nodiscard]] QRect primaryArea() const override;
    void settleOn(const QWidget& window) override;
    void cover(QWidget& form) const override;
    [[nodiscard]] bool takeChange() override;

private:
    [[nodiscard]] QScreen* shown() const; // the show's monitor, or null without any
    void watch();
    void changed();

    QPointer<QScreen> chosen_; // null: the primary
    bool changed_ = false;
    QMetaObject::Connection watched_;
    std::unique_ptr<QObject> context_ = std::make_unique<QObject>(); // of every connection
};

// Maps the fonts the forms name to metric-compatible ones found on Linux desktops.
void installFontSubstitutes();

// DOS path of the folder holding the running executable. Fails when that folder cannot
// be written as a DOS path (a name holding : * ? " < > |, a control character, or bytes
// that are not UTF-8): the program then has no folder of its own to work in.
[[nodiscard]] Result<QString> programFolderOf(const DosFileSystem& files);
// What the user is told before the program ends in that case.
[[nodiscard]] QString programFolderRefusal(const QString& hostFolder);

} // namespace rt
