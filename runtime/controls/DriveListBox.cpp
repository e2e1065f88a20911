// The drive list control: a drop-down of the DOS view's drives.

#include "DriveListBox.h"

namespace rt {

DriveListBox::DriveListBox(const DosFileSystem& files, QWidget* parent) : QComboBox(parent) {
    for (const Drive& d : files.driveTable().drives()) {
        letters_.push_back(d.letter.toUpper());
        addItem(QString(d.letter.toLower()) + QStringLiteral(": [") + d.label + QLatin1Char(']'));
    }
    setCurrentIndex(indexOfLetter(files.curDrive()));
    // Connected after the list is filled: filling it is no change of drive.
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::changed);
}

QString DriveListBox::drive() const {
    const int i = currentIndex();
    if (i < 0 || i >= int(letters_.size())) return {};
    return QString(letters_[std::size_t(i)].toLower()) + QLatin1Char(':');
}

bool DriveListBox::setDrive(const QString& text) {
    if (text.isEmpty()) return false;
    const int i = indexOfLetter(text[0]);
    if (i < 0) return false;
    setCurrentIndex(i); // emits currentIndexChanged only when the drive changes
    return true;
}

int DriveListBox::indexOfLetter(QChar letter) const {
    const QChar upper = letter.toUpper();
    for (std::size_t i = 0; i < letters_.size(); ++i)
        if (letters_[i] == upper) return int(i);
    return -1;
}

} // namespace rt
