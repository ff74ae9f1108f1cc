// Words read from a command line, an option's value or a protocol header:
// compared letter for letter in any case, or read as digits. ASCII only,
// whatever the locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace zirvon {

/// 'A' to 'Z' as 'a' to 'z'; every other byte as it is.
constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// Whether `a` and `b` are the same letters, in any case.
constexpr bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

/// Whether `text` is one or more of the digits 0 to 9.
constexpr bool all_digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace zirvon
