#pragma once
// The helper's warm-up pictures: drawn once before the confinement, so that everything
// the renderers load on first use (fonts and fontconfig, libwmf's text, the EMF library's
// bitmaps) is loaded while it still may be. They are files of the helper's own, kept in
// warm-up/ and built in: a placeable WMF of 200 x 100 units at 1440 to the inch (a filled
// box and the word "Quadrello" 40 units high), and an EMF of 40 x 20 pixels (a filled box
// and a 2 x 2 red bitmap stretched over 10 x 10).

#include <QByteArray>

namespace rt::mf {

[[nodiscard]] QByteArray warmUpWmf();
[[nodiscard]] QByteArray warmUpEmf();

} // namespace rt::mf
