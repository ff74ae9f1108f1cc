#include "live/preview.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "system/interrupt.h"
#include "live/live_session.h"
#include "live/progress.h"

namespace zirvon::live {
namespace {

using namespace std::chrono_literals;

/// How often the main thread looks for the end, an interrupt or a lost output.
constexpr auto kPoll = 10ms;
/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = 250ms;

}  // namespace

std::string progress_text(const std::string& title, const play::SongMap& map, const play::Passage& passage,
                          std::uint64_t ticks, std::uint64_t song_tick) {
    return format_progress(title, map.block_of(song_tick), map.block_count(), std::min(ticks, passage.length()),
                           passage.length());
}

PreviewResult play_live(const Song& song, const play::SongMap& map, const play::Passage& passage, play::LiveOutput& output,
                        const PreviewOptions& options) {
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
    auto next_progress = std::chrono::steady_clock::now();
    std::string why;
    bool lost = false;
    bool ended = false;
    while (!interrupt.requested()) {
        const LiveSession::Position at = session.position();
        if (at.serial != 0 && at.state != LiveSession::State::playing) {
            ended = true;
            break;
        }
        if (output.lost(why)) {
            lost = true;
            break;
        }
        if (progress && at.serial != 0 && std::chrono::steady_clock::now() >= next_progress) {
            progress->show(progress_text(title, map, passage, at.ticks, at.song_tick));
            next_progress += kProgressEvery;
        }
        std::this_thread::sleep_for(kPoll);
    }
    session.stop();
    if (progress) {
        // The last position first, as a finished preview shows its length.
        if (ended) {
            const LiveSession::Position at = session.position();
            progress->show(progress_text(title, map, passage, at.ticks, at.song_tick));
        }
        progress->clear();
    }

    if (lost) {
        session.silence();
        return {PreviewOutcome::lost, why};
    }
    if (!ended) {
        session.silence();
        return {PreviewOutcome::interrupted, {}};
    }
    return {PreviewOutcome::finished, {}};
}

}  // namespace zirvon::live
