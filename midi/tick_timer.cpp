#include "midi/tick_timer.h"

#include <system_error>

#include "midi/thread_priority.h"

namespace zirvon::midi {

bool TickTimer::start(Clock::duration period, Callback callback) {
    stop();
    if (period <= Clock::duration::zero() || !callback) return false;
    callback_ = std::move(callback);
    stopping_ = false;
    epoch_ = Clock::now();
    try {
        thread_ = std::thread(&TickTimer::run, this, period);
    } catch (const std::system_error&) {
        callback_ = nullptr;
        return false;
    }
    return true;
}

void TickTimer::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    callback_ = nullptr;
}

void TickTimer::run(Clock::duration period) {
    // Where allowed, wake-ups then come on time even with every core busy.
    raise_thread_priority();
    std::unique_lock lock(mutex_);
    for (std::uint64_t n = 0;; ++n) {
        const Clock::time_point deadline = epoch_ + period * static_cast<Clock::rep>(n);
        if (wake_.wait_until(lock, deadline, [this] { return stopping_; })) return;
        // The callback runs unlocked so that stop() is never held up by more
        // than the callback that is already running.
        lock.unlock();
        callback_(n);
        lock.lock();
        if (stopping_) return;
    }
}

}  // namespace zirvon::midi
