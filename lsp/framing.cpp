#include "lsp/framing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "text/words.h"

namespace zirvon::lsp {
namespace {

constexpr std::string_view kLengthField = "content-length";
/// A header block longer than this is garbage: real ones are two lines.
constexpr std::size_t kMaxHeader = 4096;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

/// The Content-Length of a header block (without its blank line), or
/// nothing when a line is not "Name: value" or the length is missing or no
/// number.
std::optional<std::uint64_t> content_length(std::string_view header) {
    std::optional<std::uint64_t> length;
    while (!header.empty()) {
        const std::size_t end = std::min(header.find("\r\n"), header.size());
        const std::string_view line = header.substr(0, end);
        header.remove_prefix(std::min(end + 2, header.size()));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return std::nullopt;
        if (!same_letters(trimmed(line.substr(0, colon)), kLengthField)) continue;
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (value.empty() || value.size() > 12) return std::nullopt;
        std::uint64_t n = 0;  // twelve digits fit, whatever size_t is
        for (char c : value) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        }
        length = n;
    }
    return length;
}

/// Where the next "Content-Length" starts at or after `from`, any case.
std::size_t find_length_field(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i + kLengthField.size() <= text.size(); ++i) {
        if (same_letters(text.substr(i, kLengthField.size()), kLengthField)) return i;
    }
    return std::string_view::npos;
}

}  // namespace

void FrameReader::feed(std::string_view bytes) { buffer_.append(bytes); }

void FrameReader::compact() {
    if (start_ > 0 && start_ * 2 >= buffer_.size()) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
}

std::optional<std::string> FrameReader::next(std::string& skipped) {
    skipped.clear();
    std::size_t thrown = 0;
    const auto result = [&](std::optional<std::string> payload) {
        if (thrown > 0) skipped = "skipped " + std::to_string(thrown) + " bytes that were not a message";
        compact();
        return payload;
    };
    const std::string_view text(buffer_);
    while (!length_) {
        const std::size_t end = text.find("\r\n\r\n", start_);
        if (end == std::string_view::npos) {
            if (text.size() - start_ <= kMaxHeader) return result(std::nullopt);
            // No header ends anywhere near: keep only a tail that may still
            // begin one.
            std::size_t at = find_length_field(text, start_ + 1);
            if (at == std::string_view::npos) at = text.size() - std::min(text.size() - start_, kLengthField.size());
            thrown += at - start_;
            start_ = at;
            if (text.size() - start_ > kMaxHeader) continue;
            return result(std::nullopt);
        }
        const auto length = end - start_ <= kMaxHeader ? content_length(text.substr(start_, end - start_))
                                                       : std::nullopt;
        if (length && *length <= kMaxPayload) {
            length_ = static_cast<std::size_t>(*length);
            start_ = end + 4;
            break;
        }
        // Not a header: resume at the next field that may start one.
        std::size_t at = find_length_field(text, start_ + 1);
        if (at == std::string_view::npos) at = end + 4;
        thrown += at - start_;
        start_ = at;
    }
    if (text.size() - start_ < *length_) return result(std::nullopt);
    std::string payload(text.substr(start_, *length_));
    start_ += *length_;
    length_.reset();
    return result(std::move(payload));
}

std::string frame(std::string_view payload) {
    std::string out = "Content-Length: " + std::to_string(payload.size()) + "\r\n\r\n";
    out.append(payload);
    return out;
}

}  // namespace zirvon::lsp
