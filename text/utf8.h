// UTF-8 as the program meets it: sources, names and messages are bytes,
// mostly UTF-8, sometimes not (sources written in Shift JIS). Whoever shows
// them, draws them or points into them reads them here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zirvon {

/// One character read from UTF-8 text.
struct Utf8Char {
    char32_t code = 0;
    /// Its bytes; 0 when no well-formed character starts there: an overlong
    /// form, a surrogate, a code point past U+10FFFF, a sequence cut short
    /// or a stray continuation byte. Such a byte stands for itself.
    std::size_t length = 0;
};

/// The character that starts at byte `at` of `text` (which must be inside it).
Utf8Char decode_utf8(std::string_view text, std::size_t at);

/// Columns a terminal draws the character in: 2 for the East Asian wide
/// and full-width ranges, 1 for the others.
std::size_t display_width(char32_t code);

/// Columns `text` takes on a terminal; a byte that starts no character
/// takes one, as a terminal shows it as one replacement character.
std::size_t text_columns(std::string_view text);

/// `text` fitted into `columns`: as it is when it fits, else cut in the
/// middle, between characters, where "..." stands for what is left out.
std::string fit_in_middle(std::string_view text, std::size_t columns);

/// Whether byte `at` of `text` continues a character rather than starting one.
bool continues_utf8(std::string_view text, std::size_t at);

/// Whether `lead` then `trail` form a double-byte Shift-JIS character, whose
/// second byte may be ASCII: `[` or a letter among others. Ask only where no
/// UTF-8 character starts at `lead`, as the ranges overlap.
constexpr bool is_shift_jis_pair(unsigned char lead, unsigned char trail) {
    const bool is_lead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return is_lead && trail >= 0x40 && trail != 0x7F && trail <= 0xFC;
}

}  // namespace zirvon
