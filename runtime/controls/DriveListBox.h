#pragma once
// The classic drive list: a drop-down of the DOS view's drives, shown as "c: [/]" and
// "d: [FOTO]". Changing the selected drive, by the user or by code, emits changed(), as
// the classic control runs its Change event for both.

#include "DosFiles.h"

#include <QComboBox>
#include <QString>

#include <vector>

namespace rt {

class DriveListBox final : public QComboBox {
    Q_OBJECT
public:
    // Lists the drives of the file system's table and selects its current drive.
    explicit DriveListBox(const DosFileSystem& files, QWidget* parent = nullptr);

    // The selected drive as the classic control gives it: lower-case letter and colon, "c:".
    [[nodiscard]] QString drive() const;
    // Selects the drive named by the first letter of the text ("D", "d:", "d:\foto"); when
    // the selection changes, changed() is emitted. False when no such drive is listed.
    bool setDrive(const QString& text);

signals:
    // After every change of the selected drive.
    void changed();

private:
    [[nodiscard]] int indexOfLetter(QChar letter) const;

    std::vector<QChar> letters_; // upper case, one per item
};

} // namespace rt
