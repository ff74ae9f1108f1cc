// The one line that shows how far a preview has come:
// "Playing song.MML  0:12 / 1:05".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zirvon::play {

/// Minutes and seconds of a number of preview ticks, as "m:ss".
std::string format_play_time(std::uint64_t ticks);

/// The text of the progress line.
std::string format_progress(std::string_view title, std::uint64_t ticks,
                            std::uint64_t total_ticks);

/// Keeps the progress line on one terminal line, rewriting it in place.
class ProgressLine {
public:
    ProgressLine(std::FILE* out, std::string title, std::uint64_t total_ticks);
    /// Shows the position; writes only when the text changes.
    void show(std::uint64_t ticks);
    /// Blanks the line and leaves the cursor at its start.
    void clear();

private:
    std::FILE* out_;
    std::string title_;
    std::uint64_t total_ticks_;
    std::string shown_;
};

}  // namespace zirvon::play
