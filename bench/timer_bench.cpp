// Accuracy of the preview's tick timer, against two baselines.
//
// Each loop runs for the given time (60 s, 3,000 ticks of 20 ms, by default)
// and records when each tick began against its ideal time, start + n x 20 ms:
//   - tick timer: the TickTimer of the live preview, running the player's tick
//     plus a fixed piece of work standing for a slow MIDI driver;
//   - naive loop: sleep_for(20 ms), then the same work, over and over;
//   - bare loop: sleep_until(start + n x 20 ms) and nothing else, the best a
//     thread can do on this machine, once at ordinary priority and once at
//     the real-time priority the tick timer asks for.
// It reports p50, p99 and max of the error and the drift (least-squares slope
// of the error over the run, in ms per minute), once with the machine idle and
// once with a thread keeping another core busy.
//
// Usage: zirvon_timer_bench [seconds per loop]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "play/player.h"
#include "system/thread_priority.h"
#include "system/tick_timer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using zirvon::play::MidiMessage;
using zirvon::play::MidiSink;
using zirvon::play::Player;
using zirvon::TickTimer;

constexpr auto kPeriod = 20ms;
/// Work done on every tick besides the player, as a slow MIDI driver would.
constexpr auto kWork = 500us;

void spin_for(Clock::duration d) {
    const auto until = Clock::now() + d;
    while (Clock::now() < until) {
    }
}

/// Eight tracks of short notes, so that the player sends on most ticks.
zirvon::Song busy_song() {
    zirvon::Song song;
    for (int k = 1; k <= 8; ++k) {
        for (int i = 0; i < 5000; ++i) {
            song.tracks[k].append_event({static_cast<std::uint8_t>(36 + (i + k) % 24), 1, 1});
        }
        song.tracks[k].append_event(zirvon::kEndEvent);
    }
    return song;
}

class CountingSink : public MidiSink {
public:
    void send(const MidiMessage& m) override { sum += m.data1; }
    unsigned long sum = 0;
};

struct Stats {
    double p50, p99, max, drift_per_minute;
};

/// `errors[n]` is tick n's lateness in ms.
Stats summarize(std::vector<double> errors) {
    const std::size_t n = errors.size();
    // Drift: slope of error against ideal time, by least squares.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) * 20.0 / 1000.0;  // seconds
        sx += x;
        sy += errors[i];
        sxx += x * x;
        sxy += x * errors[i];
    }
    const double dn = static_cast<double>(n);
    const double slope = (dn * sxy - sx * sy) / (dn * sxx - sx * sx);  // ms per second
    std::sort(errors.begin(), errors.end());
    auto at = [&](double q) { return errors[static_cast<std::size_t>(q * static_cast<double>(n - 1))]; };
    return {at(0.50), at(0.99), errors.back(), slope * 60.0};
}

std::vector<double> run_tick_timer(int ticks) {
    const zirvon::Song song = busy_song();
    Player player(song);
    CountingSink sink;
    std::vector<Clock::time_point> times(static_cast<std::size_t>(ticks));
    std::atomic<int> seen = 0;
    TickTimer timer;
    timer.start(kPeriod, [&](std::uint64_t n) {
        if (n >= times.size()) return;
        times[n] = Clock::now();
        player.tick(sink);
        spin_for(kWork);
        seen.store(static_cast<int>(n) + 1, std::memory_order_release);
    });
    while (seen.load(std::memory_order_acquire) < ticks) std::this_thread::sleep_for(10ms);
    timer.stop();
    std::vector<double> errors;
    for (int n = 0; n < ticks; ++n) {
        const auto ideal = timer.epoch() + kPeriod * n;
        errors.push_back(std::chrono::duration<double, std::milli>(times[n] - ideal).count());
    }
    return errors;
}

std::vector<double> run_naive(int ticks) {
    const zirvon::Song song = busy_song();
    Player player(song);
    CountingSink sink;
    std::vector<double> errors;
    const auto start = Clock::now();
    for (int n = 1; n <= ticks; ++n) {
        std::this_thread::sleep_for(kPeriod);
        const auto now = Clock::now();
        errors.push_back(std::chrono::duration<double, std::milli>(now - (start + kPeriod * n)).count());
        player.tick(sink);
        spin_for(kWork);
    }
    return errors;
}

std::vector<double> run_bare(int ticks, bool realtime) {
    std::vector<double> errors;
    std::thread loop([&] {
        if (realtime) zirvon::raise_thread_priority();
        const auto start = Clock::now();
        for (int n = 0; n < ticks; ++n) {
            const auto ideal = start + kPeriod * n;
            std::this_thread::sleep_until(ideal);
            errors.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - ideal).count());
        }
    });
    loop.join();
    return errors;
}

bool realtime_allowed() {
    bool allowed = false;
    std::thread probe([&] { allowed = zirvon::raise_thread_priority(); });
    probe.join();
    return allowed;
}

std::string machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string model = "unknown CPU";
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

void row(const char* condition, const char* loop, const Stats& s) {
    std::printf("| %-5s | %-35s | %6.3f | %6.3f | %7.3f | %12.3f |\n", condition, loop, s.p50,
                s.p99, s.max, s.drift_per_minute);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int ticks = seconds * 50;
    std::printf("Tick timer accuracy: %d ticks of 20 ms per loop; work per tick: player tick + "
                "%lld us\nMachine: %s; real-time priority %s\n\n",
                ticks, static_cast<long long>(std::chrono::microseconds(kWork).count()),
                machine().c_str(), realtime_allowed() ? "granted" : "refused");
    std::printf("| load  | loop                                | p50 ms | p99 ms |  max ms | "
                "drift ms/min |\n");
    std::printf("|-------|-------------------------------------|-------:|-------:|--------:|"
                "-------------:|\n");
    for (const bool busy : {false, true}) {
        std::atomic<bool> stop = false;
        std::thread burner;
        if (busy) {
            burner = std::thread([&] {
                while (!stop.load(std::memory_order_relaxed)) {
                }
            });
        }
        const char* load = busy ? "busy" : "idle";
        row(load, "tick timer (absolute deadlines)", summarize(run_tick_timer(ticks)));
        row(load, "naive sleep_for(20 ms) + work", summarize(run_naive(ticks)));
        row(load, "bare absolute-deadline loop", summarize(run_bare(ticks, false)));
        row(load, "bare loop, real-time priority", summarize(run_bare(ticks, true)));
        stop = true;
        if (burner.joinable()) burner.join();
    }
    return 0;
}
