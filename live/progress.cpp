#include "live/progress.h"

#include "system/terminal.h"
#include "text/format.h"
#include "text/utf8.h"

#include "play/player.h"

namespace zirvon::live {

ProgressText format_progress(std::string_view title, std::size_t block, std::size_t blocks,
                             std::uint64_t ticks, std::uint64_t total_ticks) {
    std::string tail = "  ";
    if (blocks != 0) tail += "block " + std::to_string(block) + "/" + std::to_string(blocks) + "  ";
    return {"Playing ", std::string(title), tail + minutes_seconds(ticks) + " / " + minutes_seconds(total_ticks)};
}

ProgressLine::ProgressLine(std::FILE* out, std::size_t (*columns)())
    : out_(out), columns_(columns != nullptr ? columns : stderr_columns) {}

void ProgressLine::show(const ProgressText& parts) {
    // The last column stays free: a line that fills it wraps on some terminals.
    const std::size_t columns = columns_();
    const std::size_t width = columns > 1 ? columns - 1 : 1;
    const std::size_t around = text_columns(parts.head) + text_columns(parts.tail);
    std::string text = parts.head + fit_in_middle(parts.name, width > around ? width - around : 0) + parts.tail;
    if (text_columns(text) > width) text = fit_in_middle(text, width);
    if (text == shown_) return;
    std::string line = "\r" + text;
    if (text_columns(text) < text_columns(shown_)) {
        // Blank the rest of the longer text, then come back to its end.
        const std::size_t extra = text_columns(shown_) - text_columns(text);
        line.append(extra, ' ');
        line.append(extra, '\b');
    }
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    shown_ = text;
}

void ProgressLine::clear() {
    if (shown_.empty()) return;
    std::fprintf(out_, "\r%s\r", std::string(text_columns(shown_), ' ').c_str());
    std::fflush(out_);
    shown_.clear();
}

}  // namespace zirvon::live
