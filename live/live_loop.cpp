#include "live/live_loop.h"

#include <thread>

namespace zirvon::live {
namespace {

/// How often the loop looks: well within a tick.
constexpr auto kLook = std::chrono::milliseconds(10);

}  // namespace

LoopEnd run_live_loop(const InterruptWatch& interrupt, LiveSession* session, ProgressLine* line,
                      const LoopHooks& hooks, std::string& why) {
    auto next_progress = LoopHooks::Clock::now();
    LoopEnd end = LoopEnd::interrupted;
    while (!interrupt.requested()) {
        const auto now = LoopHooks::Clock::now();
        if (hooks.step && !hooks.step(now)) {
            end = LoopEnd::finished;
            break;
        }
        if (session != nullptr && session->lost(why)) {
            end = LoopEnd::lost;
            break;
        }
        if (line != nullptr && hooks.progress && now >= next_progress) {
            if (const ProgressText text = hooks.progress(); !text.empty()) line->show(text);
            next_progress = now + hooks.progress_every;
        }
        std::this_thread::sleep_for(kLook);
    }
    if (end != LoopEnd::finished && session != nullptr) {
        session->stop();
        session->silence();
    }
    return end;
}

}  // namespace zirvon::live
