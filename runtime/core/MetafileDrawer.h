#pragma once
// Measuring and drawing Windows metafiles (WMF, EMF), a service the picture loader is
// handed through the platform: in the program, the confined helper process made in `main`
// (MetafileHelper.h); in the tests, a helper over a stand-in or the real one.

#include "Result.h"

#include <QByteArray>
#include <QSize>

#include <cstdint>

class QImage;

namespace rt {

// Numbered as the helper's messages number them (MetafileProtocol.h).
enum class MetafileKind : std::uint32_t { Wmf = 1, Emf = 2 };

class MetafileDrawer {
public:
    virtual ~MetafileDrawer() = default;
    // The natural size of a metafile in pixels at 96 dpi.
    [[nodiscard]] virtual Result<QSize> size(MetafileKind kind, const QByteArray& bytes) = 0;
    // The metafile drawn into `size` device pixels on a transparent background.
    [[nodiscard]] virtual Result<QImage> render(MetafileKind kind, const QByteArray& bytes,
                                                QSize size) = 0;
};

} // namespace rt
