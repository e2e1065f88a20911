#pragma once
// Number conversions of the classic runtime the program was designed on.

#include <cmath>
#include <cstdint>
#include <optional>

namespace rt {

// Round to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
[[nodiscard]] inline double roundHalfEven(double v) {
    const double r = std::round(v); // halves away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5) return 2.0 * std::round(v / 2.0);
    return r;
}

// The value rounded half-even, when it fits a signed 16-bit field.
[[nodiscard]] inline std::optional<std::int16_t> toInt16(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double r = roundHalfEven(v);
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(r);
}

// a \ 2 : round a half-even to a 32-bit integer, then halve truncating toward zero.
[[nodiscard]] inline std::int32_t halfOf(double a) {
    return static_cast<std::int32_t>(roundHalfEven(a)) / 2;
}

} // namespace rt
