#include "lsp/protocol.h"

#include "text/utf8.h"

namespace zirvon::lsp {
namespace {

// A byte that is not UTF-8 is carried through the parser as a character of
// plane 16's private use area, U+10FF00 + byte, and made a byte again after.
// Only when the payload has such bytes: then a real U+10FF80..U+10FFFF in the
// same message would come out as a byte too, a price paid for bytes that no
// JSON may hold.
constexpr unsigned char kCarrier[] = {0xF4, 0x8F, 0xBC};

void restore_bytes(std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto* u = reinterpret_cast<const unsigned char*>(s.data() + i);
        if (i + 3 < s.size() && u[0] == kCarrier[0] && u[1] == kCarrier[1] && (u[2] & 0xFE) == 0xBE) {
            out += static_cast<char>(0x80 | ((u[2] & 1) << 6) | (u[3] & 0x3F));
            i += 3;
        } else {
            out += s[i];
        }
    }
    s = std::move(out);
}

void restore_strings(json& value) {
    if (value.is_string()) {
        restore_bytes(value.get_ref<std::string&>());
    } else if (value.is_structured()) {
        for (json& item : value) restore_strings(item);
    }
}

}  // namespace

std::int64_t whole_number(const json& value) {
    // JSON reads a number too large for 64 bits as a fraction, which no
    // integer can hold.
    if (!value.is_number_integer()) throw json::type_error::create(302, "a whole number was expected", nullptr);
    return value.get<std::int64_t>();
}

Position position_from(const json& value) {
    return {whole_number(value.at("line")), whole_number(value.at("character"))};
}

json parse_message(std::string_view payload) {
    json message = json::parse(payload, nullptr, false);
    if (!message.is_discarded()) return message;
    std::string carried;
    bool changed = false;
    for (std::size_t i = 0; i < payload.size();) {
        const std::size_t n = decode_utf8(payload, i).length;
        if (n > 0) {
            carried.append(payload.substr(i, n));
            i += n;
            continue;
        }
        // U+10FF80 + (byte - 0x80): F4 8F BE/BF xx.
        const auto b = static_cast<unsigned char>(payload[i]);
        carried += static_cast<char>(kCarrier[0]);
        carried += static_cast<char>(kCarrier[1]);
        carried += static_cast<char>(0xBE | ((b >> 6) & 1));
        carried += static_cast<char>(0x80 | (b & 0x3F));
        changed = true;
        ++i;
    }
    if (!changed) return message;
    message = json::parse(carried, nullptr, false);
    if (!message.is_discarded()) restore_strings(message);
    return message;
}

std::string dump_message(const json& message) {
    return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace zirvon::lsp
