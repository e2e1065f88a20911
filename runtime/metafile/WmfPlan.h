#pragma once
// A Windows metafile's records checked before the player sees them: every record within the
// file, bounded work, object use the player can follow; and the mapping in force when
// drawing starts, worked out as the player does, for the picture's frame.

#include "MetafileCommon.h"

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <optional>

namespace rt::wmf {

enum MapMode {
    Text = 1,
    LoMetric,
    HiMetric,
    LoEnglish,
    HiEnglish,
    Twips,
    Isotropic,
    Anisotropic,
    Placeable = 100
};

// The mapping state of the player: logical units to its device units.
struct Mapping {
    int mode = Text;
    QPoint windowOrg;
    QPoint windowExt{1024, 1024};
    QPoint viewportExt{1024, 1024};
    QPointF viewportOrg; // in device units
    bool windowOrgSet = false, windowExtSet = false;
    int inch = 1440; // placeable files: logical units per inch

    // Device units per logical unit, signed as the player signs them.
    [[nodiscard]] std::optional<QPointF> unit() const {
        const auto fixed = [&](double u) {
            return QPointF(windowExt.x() < 0 ? -u : u, windowExt.y() < 0 ? -u : u);
        };
        switch (mode) {
        case Text:
            return fixed(1.0);
        case LoMetric:
            return fixed(72.0 * 0.1 / 25.4);
        case HiMetric:
            return fixed(72.0 * 0.01 / 25.4);
        case LoEnglish:
            return fixed(0.72);
        case HiEnglish:
            return fixed(0.072);
        case Twips:
            return fixed(0.05);
        case Isotropic:
        case Anisotropic:
            if (windowExt.x() == 0 || windowExt.y() == 0 || viewportExt.x() == 0 ||
                viewportExt.y() == 0)
                return std::nullopt;
            return QPointF(double(viewportExt.x()) / windowExt.x(),
                           double(viewportExt.y()) / windowExt.y());
        case Placeable:
            return fixed(72.0 / inch);
        default:
            return std::nullopt;
        }
    }
    // Logical units per inch, for the natural size; 1440 when the mode has no physical unit.
    [[nodiscard]] double unitsPerInch() const {
        switch (mode) {
        case Text:
            return 96.0; // device pixels, taken at 96 dpi
        case LoMetric:
            return 254.0;
        case HiMetric:
            return 2540.0;
        case LoEnglish:
            return 100.0;
        case HiEnglish:
            return 1000.0;
        case Twips:
            return 1440.0;
        case Placeable:
            return inch;
        default:
            return 1440.0;
        }
    }
    [[nodiscard]] std::optional<QPointF> toDevice(QPointF logical) const {
        const auto u = unit();
        if (!u) return std::nullopt;
        return QPointF((logical.x() - windowOrg.x()) * u->x() - viewportOrg.x(),
                       (logical.y() - windowOrg.y()) * u->y() - viewportOrg.y());
    }
};

// What checking a file found: where its headers are, the mapping in force when drawing
// starts, its largest record and its end.
struct CheckedWmf {
    bool placeable = false;
    QRect box;             // placeable header: the frame in logical units
    int headerAt = 0;      // offset of the standard header
    Mapping mapping;       // in force when drawing starts
    quint32 maxRecord = 3; // words
    qsizetype end = 0;     // bytes up to and including the end record
};

[[nodiscard]] Result<CheckedWmf> checkWmf(const QByteArray& bytes);
// The frame in logical units when the file gives one, and in the player's device units.
[[nodiscard]] std::optional<QRectF> logicalFrame(const CheckedWmf& checked);
[[nodiscard]] std::optional<QRectF> deviceFrame(const CheckedWmf& checked);
// The file with only what the player should read, its largest record size made true.
[[nodiscard]] QByteArray bytesForPlayer(const QByteArray& bytes, const CheckedWmf& checked);

} // namespace rt::wmf
