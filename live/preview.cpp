#include "live/preview.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "system/interrupt.h"
#include "live/live_loop.h"
#include "live/live_session.h"
#include "live/progress.h"

namespace zirvon::live {
namespace {

using namespace std::chrono_literals;

/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = 250ms;

}  // namespace

ProgressText progress_text(const std::string& title, const play::SongMap& map, const play::Passage& passage,
                           std::uint64_t ticks, std::uint64_t song_tick) {
    // At the end the clock stands on the passage's end, which is the next
    // block's start: the block shown is the last one played.
    const std::uint64_t last = passage.end > passage.start ? passage.end - 1 : passage.start;
    return format_progress(title, map.block_of(std::min(song_tick, last)), map.block_count(),
                           std::min(ticks, passage.length()), passage.length());
}

PreviewResult play_live(const Song& song, const play::SongMap& map, const play::Passage& passage,
                        play::LiveOutput& output, const PreviewOptions& options) {
    InterruptWatch interrupt;
    if (interrupt.requested()) return {PreviewOutcome::interrupted, {}};

    LiveSession session(output);
    std::string error;
    if (!session.start(error)) return {PreviewOutcome::failed, error};
    // The caller keeps the song alive for the whole preview.
    session.play(std::shared_ptr<const Song>(&song, [](const Song*) {}), passage, options.loop);

    std::optional<ProgressLine> progress;
    if (options.show_progress) progress.emplace(stderr);
    const std::string title = options.title + " on " + output.name();
    const auto text = [&] {
        const LiveSession::Position at = session.position();
        return at.serial == 0 ? ProgressText{} : progress_text(title, map, passage, at.ticks, at.song_tick);
    };
    LoopHooks hooks;
    hooks.step = [&](LoopHooks::Clock::time_point) {
        const LiveSession::Position at = session.position();
        return at.serial == 0 || at.state == LiveSession::State::playing;
    };
    hooks.progress = text;
    hooks.progress_every = kProgressEvery;
    std::string why;
    const LoopEnd end = run_live_loop(interrupt, &session, progress ? &*progress : nullptr, hooks, why);
    session.stop();
    if (progress) {
        // The last position first, as a finished preview shows its length.
        if (end == LoopEnd::finished) progress->show(text());
        progress->clear();
    }
    switch (end) {
        case LoopEnd::lost:
            return {PreviewOutcome::lost, why};
        case LoopEnd::interrupted:
            return {PreviewOutcome::interrupted, {}};
        case LoopEnd::finished:
            break;
    }
    return {PreviewOutcome::finished, {}};
}

}  // namespace zirvon::live
