#pragma once
// The classic timer control: an enabled flag and a period in milliseconds. It ticks at
// the period while enabled; a period of 0 never ticks. A tick never runs inside another:
// while a tick handler is still running (waiting in a message box, say), further ticks
// are dropped, not queued.

#include <QObject>
#include <QTimer>

#include <functional>

namespace rt {

class Timer final : public QObject {
public:
    explicit Timer(QObject* parent = nullptr);

    void setEnabled(bool enabled);
    [[nodiscard]] bool enabled() const { return enabled_; }
    // Period in milliseconds; 0 (or less) stops the ticks until a positive period is set.
    void setInterval(int ms);
    [[nodiscard]] int interval() const { return interval_; }
    // The tick handler.
    void onTick(std::function<void()> handler) { handler_ = std::move(handler); }

private:
    void apply();
    void fire();

    QTimer timer_;
    std::function<void()> handler_;
    bool enabled_ = false;
    int interval_ = 0;
    bool inTick_ = false;
};

} // namespace rt
