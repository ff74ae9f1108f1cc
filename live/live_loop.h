// The loop that waits on the main thread while a live output plays, or
// while /watch waits for a save: every 10 ms it looks for Ctrl+C, for an
// output that went away and for what the caller has to do, and keeps the
// progress line up to date. The preview and /watch both run it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "live/live_session.h"
#include "live/progress.h"
#include "system/interrupt.h"

namespace zirvon::live {

enum class LoopEnd {
    finished,     ///< the caller's step said so
    interrupted,  ///< Ctrl+C or SIGTERM
    lost,         ///< the session's output went away
};

struct LoopHooks {
    using Clock = std::chrono::steady_clock;
    /// Called at every look: false ends the loop as finished.
    std::function<bool(Clock::time_point now)> step;
    /// The progress line's text, asked for every `progress_every`; empty
    /// leaves the line as it is.
    std::function<ProgressText()> progress;
    std::chrono::milliseconds progress_every{250};
};

/// Runs until the step ends it, an interrupt comes (as `interrupt` sees it)
/// or the output of `session` goes away (`why` then says so). `session`
/// may be null (/watch without /play); `line`, null when no one watches a
/// terminal. When the loop ends by an interrupt or a lost output the
/// session is stopped and its notes silenced; a finished one is left to
/// the caller.
LoopEnd run_live_loop(const InterruptWatch& interrupt, LiveSession* session, ProgressLine* line,
                      const LoopHooks& hooks, std::string& why);

}  // namespace zirvon::live
