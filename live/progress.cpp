#include "live/progress.h"

#include "text/format.h"

#include "play/player.h"

namespace zirvon::live {

std::string format_progress(std::string_view title, std::size_t block, std::size_t blocks,
                            std::uint64_t ticks, std::uint64_t total_ticks) {
    std::string text = "Playing " + std::string(title) + "  ";
    if (blocks != 0) text += "block " + std::to_string(block) + "/" + std::to_string(blocks) + "  ";
    return text + minutes_seconds(ticks) + " / " + minutes_seconds(total_ticks);
}

void ProgressLine::show(const std::string& text) {
    if (text == shown_) return;
    std::string line = "\r" + text;
    if (text.size() < shown_.size()) {
        // Blank the rest of the longer text, then come back to its end.
        const std::size_t extra = shown_.size() - text.size();
        line.append(extra, ' ');
        line.append(extra, '\b');
    }
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    shown_ = text;
}

void ProgressLine::clear() {
    if (shown_.empty()) return;
    std::fprintf(out_, "\r%s\r", std::string(shown_.size(), ' ').c_str());
    std::fflush(out_);
    shown_.clear();
}

}  // namespace zirvon::live
