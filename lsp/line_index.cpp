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

std::size_t utf16_offset(std::string_view line, std::int64_t character) {
    std::int64_t units = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t n = utf8_length(line, i);
        const std::int64_t width = n == 4 ? 2 : 1;
        if (units + width > character) break;
        units += width;
        i += n == 0 ? 1 : n;
    }
    return i;
}

std::int64_t utf16_column(std::string_view line, std::size_t within) {
    within = std::min(within, line.size());
    std::int64_t units = 0;
    for (std::size_t i = 0; i < within;) {
        const std::size_t n = utf8_length(line, i);
        if (n > 1 && i + n > within) break;  // the offset is inside this character
        units += n == 4 ? 2 : 1;
        i += n == 0 ? 1 : n;
    }
    return units;
}

std::size_t LineIndex::offset_of(Position position) const {
    if (position.line < 0) return 0;
    if (static_cast<std::uint64_t>(position.line) >= starts_.size()) return text_.size();
    const auto line = static_cast<std::size_t>(position.line);
    return starts_[line] + utf16_offset(line_text(line), position.character);
}

Position LineIndex::position_of(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const std::size_t line = line_of(offset);
    return {static_cast<std::int64_t>(line), utf16_column(line_text(line), offset - starts_[line])};
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

SourcePositions::SourcePositions(const SourceText& source) : source_(source) {
    const std::string_view text = source.text();
    for (std::size_t t = text.find('\r'); t != std::string_view::npos; t = text.find('\r', t + 1)) {
        if (ends_line(text, t)) lone_crs_.push_back(t);
    }
}

std::size_t SourcePositions::lone_crs_before(std::size_t offset) const {
    return static_cast<std::size_t>(std::lower_bound(lone_crs_.begin(), lone_crs_.end(), offset) - lone_crs_.begin());
}

std::size_t SourcePositions::line_start(std::uint64_t line) const {
    const std::size_t size = source_.text().size();
    if (lone_crs_.empty()) return line >= size + 1 ? size : source_.line_start(static_cast<std::size_t>(line));
    // LSP line `line` starts after the line-th end: an LF or a lone CR.
    // Find the last source line that starts after at most that many, then
    // the lone CRs within it that make up the rest.
    std::size_t low = 0;
    std::size_t high = source_.line_index_of(size);
    while (low < high) {
        const std::size_t mid = low + (high - low + 1) / 2;
        if (mid + lone_crs_before(source_.line_start(mid)) <= line) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    const std::size_t start = source_.line_start(low);
    const std::size_t first_cr = lone_crs_before(start);
    const std::uint64_t rest = line - (low + first_cr);
    if (rest == 0) return start;
    if (first_cr + rest - 1 >= lone_crs_.size()) return size;
    const std::size_t cr = lone_crs_[first_cr + rest - 1];
    return cr < source_.line_start(low + 1) ? cr + 1 : size;
}

std::string_view SourcePositions::line_text(std::size_t start) const {
    const std::string_view text = source_.text();
    std::size_t end = source_.line_start(source_.line_index_of(start) + 1);
    const std::size_t cr = lone_crs_before(start);
    if (cr < lone_crs_.size() && lone_crs_[cr] < end) end = lone_crs_[cr];
    if (end > start && text[end - 1] == '\n') --end;
    if (end > start && text[end - 1] == '\r' && end < text.size() && text[end] == '\n') --end;
    return text.substr(start, end - start);
}

std::size_t SourcePositions::offset_of(Position position) const {
    if (position.line < 0) return 0;
    // Past the last line the start is the end of the text, whose line is empty.
    const std::size_t start = line_start(static_cast<std::uint64_t>(position.line));
    return start + utf16_offset(line_text(start), position.character);
}

Position SourcePositions::position_of(std::size_t offset) const {
    const std::string_view text = source_.text();
    offset = std::min(offset, text.size());
    const std::size_t lf_lines = source_.line_index_of(offset);
    const std::size_t crs = lone_crs_before(offset);
    std::size_t start = source_.line_start(lf_lines);
    if (crs > 0 && lone_crs_[crs - 1] >= start) start = lone_crs_[crs - 1] + 1;
    return {static_cast<std::int64_t>(lf_lines + crs), utf16_column(line_text(start), offset - start)};
}

}  // namespace zirvon::lsp
