#include "system/tick_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using Clock = TickTimer::Clock;

/// Collects what the timer thread reports, for the test thread to read.
struct Log {
    void add(std::uint64_t tick) {
        std::lock_guard lock(mutex);
        ticks.push_back(tick);
        times.push_back(Clock::now());
        threads.push_back(std::this_thread::get_id());
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return ticks.size();
    }
    void wait_for(std::size_t count) {
        while (size() < count) std::this_thread::sleep_for(1ms);
    }
    std::mutex mutex;
    std::vector<std::uint64_t> ticks;
    std::vector<Clock::time_point> times;
    std::vector<std::thread::id> threads;
};

TEST(TickTimer, NumbersTicksFromZeroOnItsOwnThreadAndNeverBeforeTheirDeadlines) {
    Log log;
    TickTimer timer;
    const auto period = 3ms;
    ASSERT_TRUE(timer.start(period, [&](std::uint64_t n) {
        log.add(n);
        // A callback that overruns its tick must not pull later ticks forward
        // of their own deadlines either.
        if (n == 2) std::this_thread::sleep_for(4 * period);
    }));
    log.wait_for(12);
    timer.stop();
    for (std::size_t i = 0; i < log.ticks.size(); ++i) {
        EXPECT_EQ(log.ticks[i], i);
        EXPECT_NE(log.threads[i], std::this_thread::get_id());
        EXPECT_GE(log.times[i], timer.epoch() + period * static_cast<int>(i)) << "tick " << i;
    }
}

TEST(TickTimer, RefusesAnEmptyPeriodOrCallbackRestartsAtOnceAndCallsNothingOnceStopped) {
    TickTimer timer;
    EXPECT_FALSE(timer.start(0ms, [](std::uint64_t) {}));
    EXPECT_FALSE(timer.start(1ms, nullptr));
    EXPECT_FALSE(timer.running());
    timer.stop();  // harmless when nothing runs
    // With an hour's period, a stop that waited for the deadline would hang;
    // a restart stops the old ticks and counts from zero again.
    Log log, again;
    ASSERT_TRUE(timer.start(1h, [&](std::uint64_t n) { log.add(n); }));
    log.wait_for(1);
    std::atomic<bool> stopped = false;
    std::atomic<bool> late_call = false;
    ASSERT_TRUE(timer.start(1ms, [&](std::uint64_t n) {
        if (stopped) late_call = true;
        again.add(n);
        std::this_thread::sleep_for(2ms);  // stop() comes mostly mid-callback
    }));
    again.wait_for(5);
    timer.stop();
    stopped = true;
    const std::size_t at_stop = again.size();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(again.ticks.front(), 0u);
    // No callback runs once stop() has returned.
    EXPECT_EQ(again.size(), at_stop);
    EXPECT_FALSE(late_call);
    EXPECT_FALSE(timer.running());
}

}  // namespace
}  // namespace zirvon
