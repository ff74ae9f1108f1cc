#include "text/utf8.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace zirvon {

Utf8Char decode_utf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t n = 0;
    char32_t code = 0;
    char32_t lowest = 0;  // the smallest code point of that length: no overlong forms
    if ((lead & 0xE0) == 0xC0) {
        n = 2;
        code = lead & 0x1Fu;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3;
        code = lead & 0x0Fu;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4;
        code = lead & 0x07u;
        lowest = 0x10000;
    } else {
        return {};
    }
    if (text.size() - at < n) return {};
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, n};
}

std::size_t display_width(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

namespace {

/// The bytes and columns of the character at `at`.
std::pair<std::size_t, std::size_t> glyph(std::string_view text, std::size_t at) {
    const Utf8Char c = decode_utf8(text, at);
    return c.length == 0 ? std::pair<std::size_t, std::size_t>{1, 1} : std::pair{c.length, display_width(c.code)};
}

}  // namespace

std::size_t text_columns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto [bytes, width] = glyph(text, at);
        columns += width;
        at += bytes;
    }
    return columns;
}

std::string fit_in_middle(std::string_view text, std::size_t columns) {
    if (text_columns(text) <= columns) return std::string(text);
    constexpr std::string_view kGap = "...";
    if (columns <= kGap.size()) return std::string(kGap.substr(0, columns));
    // The start gets the larger half of what is left; the end the rest.
    const std::size_t room = columns - kGap.size();
    std::size_t head = 0;
    for (std::size_t used = 0; head < text.size();) {
        const auto [bytes, width] = glyph(text, head);
        if (used + width > room - room / 2) break;
        used += width;
        head += bytes;
    }
    std::vector<std::pair<std::size_t, std::size_t>> glyphs;  // start and width of each character
    for (std::size_t at = head; at < text.size();) {
        const auto [bytes, width] = glyph(text, at);
        glyphs.emplace_back(at, width);
        at += bytes;
    }
    std::size_t tail = text.size();
    for (std::size_t used = 0; !glyphs.empty() && used + glyphs.back().second <= room / 2; glyphs.pop_back()) {
        used += glyphs.back().second;
        tail = glyphs.back().first;
    }
    return std::string(text.substr(0, head)).append(kGap).append(text.substr(tail));
}

bool continues_utf8(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<std::uint8_t>(text[at]) & 0xC0) == 0x80;
}

}  // namespace zirvon
