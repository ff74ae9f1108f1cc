// UTF-8 as the program meets it: sources, names and messages are bytes,
// mostly UTF-8, sometimes not (sources written in Shift JIS). Whoever shows
// them, draws them or points into them reads them here.
#pragma once

#include <cstddef>
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

/// Whether byte `at` of `text` continues a character rather than starting one.
bool continues_utf8(std::string_view text, std::size_t at);

}  // namespace zirvon
