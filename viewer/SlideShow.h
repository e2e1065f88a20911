#pragma once
// The order of the show, apart from any widget: which entry each tick shows, when a pass
// ends, and which picture comes next (for decoding it ahead). The list fills while the
// show runs: a tick that reaches a slot the walk has not reached yet waits for it.

#include "ImageList.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace viewer {

// What one tick of the slide timer does.
struct Tick {
    enum class Kind {
        EmptyList, // the list has no picture: the folder is asked for again
        EndOfPass, // the end-of-pass caption on black
        Picture,   // the picture `entry`
        Unknown,   // the walk has not reached this slot yet: the tick waits for it
    };
    Kind kind;
    QString entry; // for Kind::Picture
};

// The image list and the position of the last tick in it. Position 0 is the end-of-pass
// tick (slot 0 never holds a picture); 1 .. N are the pictures.
class SlideShow {
public:
    // A list already complete.
    explicit SlideShow(ImageList images = emptyImageList(), std::int16_t position = 0);

    // A new walk begins: the list it fills starts empty and incomplete. The position is
    // kept: a show that found its folder empty goes on from where it was in the new list.
    void restart();
    // The walk's next pictures, after those already known; beyond the last slot ignored.
    void append(const QStringList& entries);
    // The walk is over: every picture there is, is known.
    void finish();
    [[nodiscard]] bool complete() const { return complete_; }

    // Moves to the next tick and says what it shows. After the last picture (the first
    // empty slot of a complete list, or the list's last slot) comes the end of the pass,
    // then picture 1.
    Tick advance();
    // What the tick at the present position shows, now that more may be known: the same
    // as advance() without moving on (a tick that found its slot unknown asks again).
    Tick settle();

    // The picture the next picture tick will show, the end-of-pass tick skipped; empty when
    // the list has none, or when the walk has not reached it yet.
    [[nodiscard]] QString upcoming() const;

    [[nodiscard]] std::int16_t position() const { return position_; }
    [[nodiscard]] const ImageList& images() const { return images_; }
    // The pictures known: slots 1 .. N.
    [[nodiscard]] int pictureCount() const { return known_; }

private:
    // Whether slot `index` holds a picture.
    [[nodiscard]] bool holdsPicture(int index) const;
    // Whether slot `index` may still be filled by the walk.
    [[nodiscard]] bool stillUnknown(int index) const;

    ImageList images_;
    std::int16_t position_;
    int known_ = 0; // slots 1 .. known_ hold pictures
    bool complete_ = true;
};

} // namespace viewer
