#include "play/preview.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "play/interrupt.h"
#include "play/player.h"
#include "play/progress.h"

namespace zirvon::play {
namespace {

using namespace std::chrono_literals;

/// How often the main thread looks for the end, an interrupt or a lost output.
constexpr auto kPoll = 10ms;
/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = 250ms;

}  // namespace

PreviewResult play_live(const Song& song, LiveOutput& output, const PreviewOptions& options) {
    InterruptWatch interrupt;
    if (interrupt.requested()) return {PreviewOutcome::interrupted, {}};

    // The player belongs to the output's clock thread until it stops; the
    // two atomics are all that the main thread reads meanwhile.
    Player player(song);
    std::atomic<bool> done = false;
    std::atomic<std::uint64_t> position = 0;
    std::string error;
    const bool started = output.start(
        [&](std::uint64_t, MidiSink& sink) {
            if (done.load(std::memory_order_relaxed)) return;
            player.tick(sink);
            position.store(player.ticks(), std::memory_order_relaxed);
            if (player.done()) done.store(true, std::memory_order_release);
        },
        error);
    if (!started) return {PreviewOutcome::failed, error};

    // The song's length takes a dry run through it: done here, while the
    // clock already plays, so that it never delays the first note.
    std::optional<ProgressLine> progress;
    if (options.show_progress) {
        progress.emplace(stderr, options.title + " on " + output.name(),
                         play_through(song, nullptr).done_tick);
    }
    auto next_progress = std::chrono::steady_clock::now();
    std::string why;
    bool lost = false;
    while (!done.load(std::memory_order_acquire) && !interrupt.requested()) {
        if (output.lost(why)) {
            lost = true;
            break;
        }
        if (progress && std::chrono::steady_clock::now() >= next_progress) {
            progress->show(position.load(std::memory_order_relaxed));
            next_progress += kProgressEvery;
        }
        std::this_thread::sleep_for(kPoll);
    }
    output.stop();
    if (progress) progress->clear();

    if (lost) {
        output.silence();
        return {PreviewOutcome::lost, why};
    }
    if (!done.load(std::memory_order_acquire)) {
        output.silence();
        return {PreviewOutcome::interrupted, {}};
    }
    return {PreviewOutcome::finished, {}};
}

}  // namespace zirvon::play
