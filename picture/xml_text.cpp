#include "picture/xml_text.h"

#include <cstdint>

namespace zirvon::picture {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

/// Length of the well-formed UTF-8 sequence at the start of `text` and its
/// code point; 0 when the first byte does not start one.
std::size_t decode(std::string_view text, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t b0 = byte(0);
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    std::size_t n = 0;
    std::uint32_t low = 0;  // the smallest code point of that length: no overlong forms
    if ((b0 & 0xE0) == 0xC0) {
        n = 2;
        code = b0 & 0x1Fu;
        low = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3;
        code = b0 & 0x0Fu;
        low = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4;
        code = b0 & 0x07u;
        low = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

bool xml_can_hold(std::uint32_t code) {
    return code >= 0x20 && !(code >= 0x7F && code <= 0x9F) && code != 0xFFFE && code != 0xFFFF;
}

}  // namespace

void append_xml_text(std::string& out, std::string_view text) {
    while (!text.empty()) {
        std::uint32_t code = 0;
        const std::size_t n = decode(text, code);
        if (n == 0 || !xml_can_hold(code)) {
            out += kReplacement;
            text.remove_prefix(n == 0 ? 1 : n);
            continue;
        }
        switch (code) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += text.substr(0, n);
        }
        text.remove_prefix(n);
    }
}

std::string xml_text(std::string_view text) {
    std::string out;
    append_xml_text(out, text);
    return out;
}

}  // namespace zirvon::picture
