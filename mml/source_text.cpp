#include "mml/source_text.h"

#include <algorithm>
#include <cstring>

#include "song/song.h"
#include "tape/tape_image.h"


namespace zirvon {

SourceText::SourceText(std::string bytes) : text_(std::move(bytes)) { index_lines(); }

void SourceText::index_lines() {
    starts_.assign(1, 0);
    const char* const base = text_.data();
    const std::size_t n = text_.size();
    for (const char* lf = static_cast<const char*>(std::memchr(base, '\n', n)); lf != nullptr;
         lf = static_cast<const char*>(std::memchr(lf + 1, '\n', n - static_cast<std::size_t>(lf + 1 - base)))) {
        starts_.push_back(static_cast<std::uint32_t>(lf + 1 - base));
    }
    ends_with_lf_ = n > 0 && text_.back() == '\n';
}

std::size_t SourceText::line_index_of(std::size_t offset) const {
    return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
}

std::size_t SourceText::offset_of(std::uint32_t line, std::uint32_t column) const {
    if (line == 0) return 0;
    if (line > starts_.size()) return text_.size();
    const std::size_t start = starts_[line - 1];
    const std::size_t end = line_start(line);
    return std::min<std::size_t>(start + (column == 0 ? 0 : column - 1), end);
}

std::pair<std::uint32_t, std::uint32_t> SourceText::place_of(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const std::size_t k = line_index_of(offset);
    return {static_cast<std::uint32_t>(k + 1), static_cast<std::uint32_t>(offset - starts_[k] + 1)};
}

std::string why_not_text(std::string_view bytes) {
    if (starts_as_tape_image(bytes)) return "it is a tape image; use /play, /list or /mml";
    // Every source passes here before it is compiled, so the bytes are
    // counted in pieces of 240, each into an 8-bit sum with no branch, which
    // the compiler turns into a loop over 16 bytes at a time.
    std::size_t control = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t left = bytes.size(); left > 0;) {
        const std::size_t piece = std::min<std::size_t>(left, 240);
        unsigned char in_piece = 0;
        for (std::size_t i = 0; i < piece; ++i) {
            const unsigned char b = p[i];
            const unsigned char low = b < 0x20 ? 1 : 0;
            const unsigned char allowed = (b == '\t' ? 1 : 0) | (b == '\r' ? 1 : 0) | (b == '\n' ? 1 : 0) |
                                          (b == 0x1A ? 1 : 0);
            in_piece += static_cast<unsigned char>((low & ~allowed & 1) | (b == 0x7F ? 1 : 0));
        }
        control += in_piece;
        p += piece;
        left -= piece;
    }
    if (control * 2 > bytes.size()) {
        return "most of its bytes are control bytes, as in a binary file rather than text";
    }
    return {};
}

std::string_view SourceText::line(int k) const {
    if (k < 0 || k >= count_lines()) return {};
    const std::size_t start = starts_[k];
    std::size_t end = line_start(static_cast<std::size_t>(k) + 1);
    if (end > start && text_[end - 1] == '\n') {
        --end;
        // A CR just before the LF belongs to the terminator.
        if (end > start && text_[end - 1] == '\r') --end;
    }
    return std::string_view(text_).substr(start, end - start);
}

}  // namespace zirvon
