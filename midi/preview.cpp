#include "midi/preview.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "midi/interrupt.h"
#include "midi/midi_port.h"
#include "midi/player.h"
#include "midi/progress.h"
#include "midi/tick_timer.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::microseconds kTick{kTickMicroseconds};
/// How often the main thread looks for the end or an interrupt.
constexpr auto kPoll = 10ms;
/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = 250ms;

class PortSink : public MidiSink {
public:
    explicit PortSink(MidiPort& port) : port_(port) {}
    void send(const MidiMessage& m) override { port_.send(m.status, m.data1, m.data2); }

private:
    MidiPort& port_;
};

/// Resets and closes the port on every way out.
class OpenPort {
public:
    bool open(std::string_view choice, std::string& error) { return port_.open(choice, error); }
    MidiPort& get() { return port_; }
    ~OpenPort() {
        if (!port_.is_open()) return;
        port_.reset_channels();
        port_.close();
    }

private:
    MidiPort port_;
};

}  // namespace

PreviewResult play_live(const Song& song, const PreviewOptions& options) {
    // Watched from before the port opens, so no Ctrl+C can leave it open.
    InterruptWatch interrupt;
    OpenPort port;
    std::string error;
    if (!port.open(options.port_choice, error)) return {PreviewOutcome::failed, error};
    port.get().reset_channels();

    // The player belongs to the timer thread until the timer stops; the two
    // atomics are all that the main thread reads meanwhile.
    Player player(song);
    PortSink sink(port.get());
    std::atomic<bool> done = false;
    std::atomic<std::uint64_t> position = 0;
    TickTimer timer;
    const bool started = !interrupt.requested() && timer.start(kTick, [&](std::uint64_t) {
        if (done.load(std::memory_order_relaxed)) return;
        player.tick(sink);
        position.store(player.ticks(), std::memory_order_relaxed);
        if (player.done()) done.store(true, std::memory_order_release);
    });
    if (!started && !interrupt.requested()) {
        return {PreviewOutcome::failed, "cannot start the preview's timer thread"};
    }

    // The song's length takes a dry run through it: done here, while the
    // timer thread already plays, so that it never delays the first note.
    std::optional<ProgressLine> progress;
    if (started && options.show_progress) {
        progress.emplace(stderr, options.title, play_through(song, nullptr).done_tick);
    }
    auto next_progress = std::chrono::steady_clock::now();
    while (started && !done.load(std::memory_order_acquire) && !interrupt.requested()) {
        if (progress && std::chrono::steady_clock::now() >= next_progress) {
            progress->show(position.load(std::memory_order_relaxed));
            next_progress += kProgressEvery;
        }
        std::this_thread::sleep_for(kPoll);
    }
    timer.stop();
    if (progress) progress->clear();

    if (!done.load(std::memory_order_acquire)) {
        // Interrupted: silence every channel at once, then the usual reset
        // and close as the port goes.
        port.get().all_notes_off();
        return {PreviewOutcome::interrupted, {}};
    }
    return {PreviewOutcome::finished, {}};
}

}  // namespace zirvon::midi
