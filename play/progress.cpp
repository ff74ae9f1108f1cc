#include "play/progress.h"

#include <algorithm>

#include "play/player.h"

namespace zirvon::play {

std::string format_play_time(std::uint64_t ticks) {
    const std::uint64_t seconds = ticks * kTickMicroseconds / 1'000'000;
    const std::uint64_t s = seconds % 60;
    return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

std::string format_progress(std::string_view title, std::uint64_t ticks,
                            std::uint64_t total_ticks) {
    return "Playing " + std::string(title) + "  " + format_play_time(ticks) + " / " +
           format_play_time(total_ticks);
}

ProgressLine::ProgressLine(std::FILE* out, std::string title, std::uint64_t total_ticks)
    : out_(out), title_(std::move(title)), total_ticks_(total_ticks) {}

void ProgressLine::show(std::uint64_t ticks) {
    // The position only grows, so a new text is never shorter than the last.
    std::string text = format_progress(title_, std::min(ticks, total_ticks_), total_ticks_);
    if (text == shown_) return;
    std::fprintf(out_, "\r%s", text.c_str());
    std::fflush(out_);
    shown_ = std::move(text);
}

void ProgressLine::clear() {
    if (shown_.empty()) return;
    std::fprintf(out_, "\r%s\r", std::string(shown_.size(), ' ').c_str());
    std::fflush(out_);
    shown_.clear();
}

}  // namespace zirvon::play
