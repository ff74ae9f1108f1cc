// A periodic timer, for the preview's 20 ms clock. Each platform has its own
// tick_timer_<service>.cpp: a thread of the timer's own where the host wakes
// threads on time (tick_timer_thread.cpp), the multimedia timer service on
// Windows (tick_timer_winmm.cpp).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace zirvon {

/// Calls a function every period on a thread other than the caller's.
/// Deadlines are absolute (epoch + n x period on the steady clock), so a late
/// tick never shifts the ones after it: ticks missed while the thread could
/// not run are made up at once, in order. The thread runs at real-time
/// priority where the host allows it.
class TickTimer {
public:
    using Clock = std::chrono::steady_clock;
    /// Gets the number of the tick, counted from 0.
    using Callback = std::function<void(std::uint64_t)>;

    TickTimer();
    ~TickTimer();
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    /// Stops a running timer, then calls `callback` at epoch, epoch + period,
    /// ... where epoch is now. False when the timer cannot be started.
    bool start(Clock::duration period, Callback callback);
    /// Stops the timer and waits for a running callback to return; no
    /// callback runs after this returns. Safe to call when not running.
    void stop();
    bool running() const;
    /// Ideal time of tick 0 of the last start.
    Clock::time_point epoch() const { return epoch_; }

private:
    struct Service;  ///< the platform's part: what calls the callback, when

    Clock::time_point epoch_{};
    std::unique_ptr<Service> service_;
};

}  // namespace zirvon
