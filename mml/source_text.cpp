#include "mml/source_text.h"

#include <cstring>

#include "tape/input_file.h"

namespace zirvon {

SourceText::SourceText(std::string bytes) : text_(std::move(bytes)) { index_lines(); }

bool SourceText::load(const std::string& path, std::string& error) {
    std::string bytes;
    if (!read_whole_file(path, kMaxSourceSize, bytes, error)) return false;
    if (bytes.size() > kMaxSourceSize) {
        error = "cannot read '" + path + "': it is larger than " +
                std::to_string(kMaxSourceSize >> 20) + " MiB, too large for an MML source";
        return false;
    }
    *this = SourceText(std::move(bytes));
    return true;
}

void SourceText::index_lines() {
    if (text_.empty() || text_.back() != '\n') text_ += "\r\n";
    starts_.clear();
    ends_.clear();
    const char* const base = text_.data();
    const std::size_t n = text_.size();
    std::size_t start = 0;
    // Every line ends at an LF, which the text always ends with; a CR just
    // before that LF belongs to the terminator.
    while (start < n) {
        const void* lf = std::memchr(base + start, '\n', n - start);
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
        const std::size_t end = (at > start && base[at - 1] == '\r') ? at - 1 : at;
        starts_.push_back(start);
        ends_.push_back(end);
        start = at + 1;
    }
}

std::string_view SourceText::line(int k) const {
    if (k < 0 || k >= count_lines()) return {};
    return std::string_view(text_).substr(starts_[k], ends_[k] - starts_[k]);
}

}  // namespace zirvon
