// The timer control: a period in milliseconds, 0 never ticking, ticks never nested.

#include "Timer.h"

namespace rt {

Timer::Timer(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { fire(); });
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

void Timer::setInterval(int ms) {
    interval_ = ms;
    apply();
}

void Timer::apply() {
    if (enabled_ && interval_ > 0) {
        // Setting the same period again keeps the running count, as the classic control does.
        if (!timer_.isActive() || timer_.interval() != interval_) timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

void Timer::fire() {
    if (inTick_ || !handler_) return;
    inTick_ = true;
    handler_();
    inTick_ = false;
}

} // namespace rt
