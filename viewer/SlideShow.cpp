// The show's order: the wrap from the last picture to the end of the pass and back to 1.

#include "SlideShow.h"

namespace viewer {

void SlideShow::load(const rt::DosFileSystem& files, const QString& folderPath) {
    BuildImageList(files, folderPath, images_);
}

bool SlideShow::holdsPicture(int index) const {
    return index >= 1 && index < int(images_.size()) && !images_[std::size_t(index)].isEmpty();
}

Tick SlideShow::advance() {
    // The position counts on even while the list is empty, as a 16-bit number: after
    // 32767 it turns negative, which the wrap below takes as the end of a pass.
    position_ = std::int16_t(position_ + 1);
    if (!holdsPicture(1)) return {Tick::Kind::EmptyList, {}};
    if (!holdsPicture(position_)) position_ = 0;
    if (position_ == 0) return {Tick::Kind::EndOfPass, {}};
    return {Tick::Kind::Picture, images_[std::size_t(position_)]};
}

QString SlideShow::upcoming() const {
    const int next = holdsPicture(position_ + 1) ? position_ + 1 : 1;
    return holdsPicture(next) ? images_[std::size_t(next)] : QString();
}

int SlideShow::pictureCount() const {
    int count = 0;
    while (holdsPicture(count + 1))
        ++count;
    return count;
}

} // namespace viewer
