#include "mml/source_text.h"

#include <cstring>

#include "song/song.h"
#include "tape/tape_image.h"


namespace zirvon {

SourceText::SourceText(std::string bytes) : text_(std::move(bytes)) { index_lines(); }

void SourceText::index_lines() {
    if (text_.empty() || text_.back() != '\n') text_ += "\r\n";
    starts_.clear();
    const char* const base = text_.data();
    const std::size_t n = text_.size();
    // Every line ends at an LF, which the text always ends with.
    for (std::size_t start = 0; start < n;) {
        starts_.push_back(static_cast<std::uint32_t>(start));
        const void* lf = std::memchr(base + start, '\n', n - start);
        start = static_cast<std::size_t>(static_cast<const char*>(lf) - base) + 1;
    }
}

std::string why_not_text(std::string_view bytes) {
    if (starts_as_tape_image(bytes)) return "it is a tape image; use /play, /list or /mml";
    std::size_t control = 0;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != 0x1A) || b == 0x7F) ++control;
    }
    if (control * 2 > bytes.size()) {
        return "most of its bytes are control bytes, as in a binary file rather than text";
    }
    return {};
}

std::string_view SourceText::line(int k) const {
    if (k < 0 || k >= count_lines()) return {};
    const std::size_t start = starts_[k];
    const std::size_t next = k + 1 < count_lines() ? starts_[k + 1] : text_.size();
    std::size_t end = next - 1;  // the LF
    // A CR just before the LF belongs to the terminator.
    if (end > start && text_[end - 1] == '\r') --end;
    return std::string_view(text_).substr(start, end - start);
}

}  // namespace zirvon
