// TickTimer on a thread of its own that sleeps until each absolute deadline.
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "system/thread_priority.h"
#include "system/tick_timer.h"

namespace zirvon {

struct TickTimer::Service {
    void run(Clock::time_point epoch, Clock::duration period);

    Callback callback;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};

TickTimer::TickTimer() : service_(std::make_unique<Service>()) {}

TickTimer::~TickTimer() {
    stop();
}

bool TickTimer::running() const {
    return service_->thread.joinable();
}

bool TickTimer::start(Clock::duration period, Callback callback) {
    stop();
    if (period <= Clock::duration::zero() || !callback) return false;
    Service& s = *service_;
    s.callback = std::move(callback);
    s.stopping = false;
    epoch_ = Clock::now();
    try {
        s.thread = std::thread(&Service::run, &s, epoch_, period);
    } catch (const std::system_error&) {
        s.callback = nullptr;
        return false;
    }
    return true;
}

void TickTimer::stop() {
    Service& s = *service_;
    if (!s.thread.joinable()) return;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.wake.notify_all();
    s.thread.join();
    s.callback = nullptr;
}

void TickTimer::Service::run(Clock::time_point epoch, Clock::duration period) {
    // Where allowed, wake-ups then come on time even with every core busy.
    raise_thread_priority();
    std::unique_lock lock(mutex);
    for (std::uint64_t n = 0;; ++n) {
        const Clock::time_point deadline = epoch + period * static_cast<Clock::rep>(n);
        if (wake.wait_until(lock, deadline, [this] { return stopping; })) return;
        // The callback runs unlocked so that stop() is never held up by more
        // than the callback that is already running.
        lock.unlock();
        callback(n);
        lock.lock();
        if (stopping) return;
    }
}

}  // namespace zirvon
