#pragma once
// The real platform services, over Qt and the host. Built once, in main().

#include "Platform.h"

#include <QPixmap>

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

class QtScreen final : public Screen {
public:
    [[nodiscard]] double widthTwips() const override;
    [[nodiscard]] double heightTwips() const override;
    [[nodiscard]] double pixelRatio() const override;
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
