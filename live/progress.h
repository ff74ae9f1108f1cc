// The one line that shows how far a preview has come:
// "Playing song.MML  block 3/12  0:12 / 1:05".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zirvon::live {

/// A text for the progress line, with a name in it (a file, a port) that is
/// cut in the middle when the line is too narrow for it.
struct ProgressText {
    std::string head;
    std::string name;
    std::string tail;

    bool empty() const { return head.empty() && name.empty() && tail.empty(); }
};

/// The text of the progress line: the block of the song that plays (left
/// out when the song has no blocks) and the time into the passage against
/// its length.
ProgressText format_progress(std::string_view title, std::size_t block, std::size_t blocks,
                             std::uint64_t ticks, std::uint64_t total_ticks);

/// Keeps a status text on one terminal line, rewriting it in place, and
/// never wider than the terminal, so that it never wraps.
class ProgressLine {
public:
    /// `columns` tells the terminal's width, asked at every show().
    explicit ProgressLine(std::FILE* out, std::size_t (*columns)() = nullptr);
    /// Shows `text`, fitted to the terminal; writes only when it changes,
    /// and blanks what a longer text before it leaves.
    void show(const ProgressText& text);
    /// Blanks the line and leaves the cursor at its start, so that other
    /// lines can be written; the next show() writes again.
    void clear();

private:
    std::FILE* out_;
    std::size_t (*columns_)();
    std::string shown_;
};

}  // namespace zirvon::live
