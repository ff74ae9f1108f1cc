#include "lsp/line_index.h"

#include <algorithm>

#include "text/utf8.h"

namespace zirvon::lsp {
namespace {

/// Bytes of the character that starts at text[i] when it is valid UTF-8
/// (1 to 4), or 0 for a byte that starts none.
std::size_t utf8_length(std::string_view text, std::size_t i) { return decode_utf8(text, i).length; }

/// Whether a line ends at byte t: LF, or a CR not followed by LF.
bool ends_line(std::string_view text, std::size_t t) {
    return text[t] == '\n' || (text[t] == '\r' && (t + 1 == text.size() || text[t + 1] != '\n'));
}

}  // namespace

LineIndex::LineIndex(std::string text) : text_(std::move(text)) {
    starts_.push_back(0);
    for (std::size_t t = 0; t < text_.size(); ++t) {
        if (ends_line(text_, t)) starts_.push_back(t + 1);
    }
}

std::size_t LineIndex::line_of(std::size_t offset) const {
    return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
}

std::string_view LineIndex::line_text(std::size_t line) const {
    const std::size_t from = starts_[line];
    std::size_t to = line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
    if (to > from && text_[to - 1] == '\n') --to;
    if (to > from && text_[to - 1] == '\r') --to;
    return std::string_view(text_).substr(from, to - from);
}

std::size_t LineIndex::offset_of(Position position) const {
    if (position.line < 0) return 0;
    if (static_cast<std::uint64_t>(position.line) >= starts_.size()) return text_.size();
    const auto line = static_cast<std::size_t>(position.line);
    const std::string_view bytes = line_text(line);
    std::int64_t units = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = utf8_length(bytes, i);
        const std::int64_t width = n == 4 ? 2 : 1;
        if (units + width > position.character) break;
        units += width;
        i += n == 0 ? 1 : n;
    }
    return starts_[line] + i;
}

Position LineIndex::position_of(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const std::size_t line = line_of(offset);
    const std::string_view bytes = line_text(line);
    const std::size_t within = std::min(offset - starts_[line], bytes.size());
    std::int64_t units = 0;
    for (std::size_t i = 0; i < within;) {
        const std::size_t n = utf8_length(bytes, i);
        if (n > 1 && i + n > within) break;  // the offset is inside this character
        units += n == 4 ? 2 : 1;
        i += n == 0 ? 1 : n;
    }
    return {static_cast<std::int64_t>(line), units};
}

void LineIndex::replace(std::size_t from, std::size_t to, std::string_view with) {
    from = std::min(from, text_.size());
    to = std::clamp(to, from, text_.size());
    text_.replace(from, to - from, with);
    const std::size_t new_to = from + with.size();
    const std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(with.size()) - static_cast<std::ptrdiff_t>(to - from);
    // Only a terminator within [from - 1, new_to] can have changed: a CR
    // just before the edit may now be followed by an LF, and the byte just
    // after it may now follow a CR. Starts before and after stay, shifted.
    const auto keep_end = std::lower_bound(starts_.begin() + 1, starts_.end(), from);
    const auto tail = std::lower_bound(keep_end, starts_.end(), to + 2);
    std::vector<std::size_t> middle;
    for (std::size_t t = from == 0 ? 0 : from - 1; t <= new_to && t < text_.size(); ++t) {
        if (ends_line(text_, t)) middle.push_back(t + 1);
    }
    std::vector<std::size_t> after(tail, starts_.end());
    for (std::size_t& s : after) s = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(s) + delta);
    starts_.erase(keep_end, starts_.end());
    starts_.insert(starts_.end(), middle.begin(), middle.end());
    starts_.insert(starts_.end(), after.begin(), after.end());
}

CompilerLines::CompilerLines(std::string_view text) : size_(text.size()) {
    starts_.push_back(0);
    for (std::size_t t = 0; t < text.size(); ++t) {
        if (text[t] == '\n') starts_.push_back(t + 1);
    }
}

std::size_t CompilerLines::offset_of(Place place) const {
    if (place.line == 0) return 0;
    if (place.line > starts_.size()) return size_;
    const std::size_t start = starts_[place.line - 1];
    const std::size_t end = place.line < starts_.size() ? starts_[place.line] : size_;
    return std::min(start + (place.column == 0 ? 0 : place.column - 1), end);
}

Place CompilerLines::place_of(std::size_t offset) const {
    offset = std::min(offset, size_);
    const auto line = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin());
    return {static_cast<std::uint32_t>(line), static_cast<std::uint32_t>(offset - starts_[line - 1] + 1)};
}

}  // namespace zirvon::lsp
