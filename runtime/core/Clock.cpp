// The machine's clocks: the only place the program reads them.

#include "Clock.h"

#include <QTime>

#include <thread>

namespace rt {

double SystemClock::secondsSinceMidnight() const {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

std::chrono::nanoseconds SystemClock::monotonic() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void SystemClock::sleepUntil(std::chrono::nanoseconds at) {
    using Steady = std::chrono::steady_clock;
    std::this_thread::sleep_until(
        Steady::time_point(std::chrono::duration_cast<Steady::duration>(at)));
}

} // namespace rt
