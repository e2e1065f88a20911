// The show's order: the wrap from the last picture to the end of the pass and back to 1.

#include "SlideShow.h"

namespace viewer {

SlideShow::SlideShow(ImageList images, std::int16_t position)
    : images_(std::move(images)), position_(position) {
    while (known_ + 1 < int(images_.size()) && !images_[std::size_t(known_ + 1)].isEmpty())
        ++known_;
}

void SlideShow::restart() {
    // The walk runs again only when the list had no picture: every slot is empty already.
    std::fill(images_.begin(), images_.end(), QString());
    known_ = 0;
    complete_ = false;
}

void SlideShow::append(const QStringList& entries) {
    for (const QString& e : entries) {
        if (known_ + 1 >= int(images_.size())) break;
        images_[std::size_t(++known_)] = e;
    }
}

void SlideShow::finish() {
    complete_ = true;
}

bool SlideShow::holdsPicture(int index) const {
    return index >= 1 && index <= known_;
}

bool SlideShow::stillUnknown(int index) const {
    return !complete_ && index > known_ && index < int(images_.size());
}

Tick SlideShow::advance() {
    // The position counts on even while the list is empty, as a 16-bit number: after
    // 32767 it turns negative, which the wrap below takes as the end of a pass.
    position_ = std::int16_t(position_ + 1);
    return settle();
}

Tick SlideShow::settle() {
    if (!holdsPicture(1)) return {complete_ ? Tick::Kind::EmptyList : Tick::Kind::Unknown, {}};
    if (!holdsPicture(position_)) {
        if (stillUnknown(position_)) return {Tick::Kind::Unknown, {}};
        position_ = 0;
    }
    if (position_ == 0) return {Tick::Kind::EndOfPass, {}};
    return {Tick::Kind::Picture, images_[std::size_t(position_)]};
}

QString SlideShow::upcoming() const {
    int next = position_ + 1;
    if (!holdsPicture(next)) {
        if (stillUnknown(next)) return QString();
        next = 1;
    }
    return holdsPicture(next) ? images_[std::size_t(next)] : QString();
}

} // namespace viewer
