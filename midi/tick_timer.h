// A periodic timer on a thread of its own, for the preview's 20 ms clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace zirvon::midi {

/// Calls a function every period on its own thread. Deadlines are absolute
/// (epoch + n x period on the steady clock), so a late tick never shifts the
/// ones after it: ticks missed while the thread could not run are made up at
/// once, in order. The thread runs at real-time priority where the host
/// allows it.
class TickTimer {
public:
    using Clock = std::chrono::steady_clock;
    /// Gets the number of the tick, counted from 0.
    using Callback = std::function<void(std::uint64_t)>;

    TickTimer() = default;
    ~TickTimer() { stop(); }
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    /// Stops a running timer, then calls `callback` at epoch, epoch + period,
    /// ... where epoch is now. False when the thread cannot be started.
    bool start(Clock::duration period, Callback callback);
    /// Stops the timer and waits for a running callback to return; no
    /// callback runs after this returns. Safe to call when not running.
    void stop();
    bool running() const { return thread_.joinable(); }
    /// Ideal time of tick 0 of the last start.
    Clock::time_point epoch() const { return epoch_; }

private:
    void run(Clock::duration period);

    Callback callback_;
    Clock::time_point epoch_{};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zirvon::midi
