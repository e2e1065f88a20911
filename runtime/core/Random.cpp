// The pseudo-random generator the forms reseed from the clock.

#include "Platform.h"

#include <bit>
#include <cstdint>

namespace rt {

namespace {
// SplitMix64: small, fast and well mixed, so nearby seeds (two ticks a few seconds
// apart) still give unrelated draws.
std::uint64_t splitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}
} // namespace

void Random::seed(double seed) {
    state_ = std::bit_cast<std::uint64_t>(seed);
}

double Random::next() {
    // The top 53 bits give a uniform double in [0, 1).
    return static_cast<double>(splitMix(state_) >> 11) * 0x1.0p-53;
}

} // namespace rt
