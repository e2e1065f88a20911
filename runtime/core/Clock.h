#pragma once
// The program's one clock: the time of day (the show's seed and colours) and a monotonic
// count for every length of time the program measures or waits out (display frames, the
// metafile helper's deadlines, the timing log). Nothing else in the program reads a clock.

#include <chrono>

namespace rt {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since midnight, with fraction.
    [[nodiscard]] virtual double secondsSinceMidnight() const = 0;
    // The time since a start of the clock's choosing; it never goes back, whatever the
    // time of day does.
    [[nodiscard]] virtual std::chrono::nanoseconds monotonic() const = 0;
    // Returns once monotonic() has reached `at` (at once when it has).
    virtual void sleepUntil(std::chrono::nanoseconds at) = 0;
};

// The machine's clocks: the local time of day, and the steady clock.
class SystemClock final : public Clock {
public:
    [[nodiscard]] double secondsSinceMidnight() const override;
    [[nodiscard]] std::chrono::nanoseconds monotonic() const override;
    void sleepUntil(std::chrono::nanoseconds at) override;
};

} // namespace rt
