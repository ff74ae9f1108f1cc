#include "picture/xml_text.h"

#include <cstdint>

#include "text/utf8.h"

namespace zirvon::picture {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool xml_can_hold(std::uint32_t code) {
    return code >= 0x20 && !(code >= 0x7F && code <= 0x9F) && code != 0xFFFE && code != 0xFFFF;
}

}  // namespace

void append_xml_text(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const Utf8Char c = decode_utf8(text, 0);
        const std::uint32_t code = c.code;
        const std::size_t n = c.length;
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
