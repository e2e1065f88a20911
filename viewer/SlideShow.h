#pragma once
// The order of the show, apart from any widget: which entry each tick shows, when a pass
// ends, and which picture comes next (for decoding it ahead).

#include "ImageList.h"

#include <QString>

#include <cstdint>

namespace viewer {

// What one tick of the slide timer does.
struct Tick {
    enum class Kind {
        EmptyList, // the list has no picture: the folder is asked for again
        EndOfPass, // the end-of-pass caption on black
        Picture,   // the picture `entry`
    };
    Kind kind;
    QString entry; // for Kind::Picture
};

// The image list and the position of the last tick in it. Position 0 is the end-of-pass
// tick (slot 0 never holds a picture); 1 .. N are the pictures.
class SlideShow {
public:
    explicit SlideShow(ImageList images = emptyImageList(), std::int16_t position = 0)
        : images_(std::move(images)), position_(position) {}

    // The pictures of `folderPath` (a DOS path ending in "\") and its direct subfolders,
    // listed again. The position is kept: a show that found its folder empty goes on from
    // where it was in the new list.
    void load(const rt::DosFileSystem& files, const QString& folderPath);

    // Moves to the next tick and says what it shows. After the last picture (the first
    // empty slot, or the list's last slot) comes the end of the pass, then picture 1.
    Tick advance();

    // The picture the next picture tick will show, the end-of-pass tick skipped; empty when
    // the list has none.
    [[nodiscard]] QString upcoming() const;

    [[nodiscard]] std::int16_t position() const { return position_; }
    [[nodiscard]] const ImageList& images() const { return images_; }
    // The pictures in the list: slots 1 .. N.
    [[nodiscard]] int pictureCount() const;

private:
    // Whether slot `index` holds a picture.
    [[nodiscard]] bool holdsPicture(int index) const;

    ImageList images_;
    std::int16_t position_;
};

} // namespace viewer
