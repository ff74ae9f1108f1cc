// Numbers, counts, lists and times as the program's messages write them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon {

/// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t n);

/// "1 error", "2 errors": `n` and the noun, with the plural that `many`
/// gives, or `one` + "s" when `many` is empty.
std::string counted(std::uint64_t n, std::string_view one, std::string_view many = {});

/// counted() with the number as with_commas() writes it: "20,658 notes".
std::string counted_with_commas(std::uint64_t n, std::string_view one, std::string_view many = {});

/// "a", "a and b", "a, b and c"; with `last` "or": "a, b or c".
std::string joined(const std::vector<std::string>& items, std::string_view last = "and");

/// "0x315A": `value` in upper-case hexadecimal, at least `digits` digits.
std::string hex(std::uint64_t value, int digits);

/// Minutes and seconds of a number of 20 ms ticks: "m:ss".
std::string minutes_seconds(std::uint64_t ticks);

/// "m:ss.cc" of a number of hundredths of a second; the hundredths are
/// left out when they are 0 and `always_hundredths` is false.
std::string minutes_hundredths(std::uint64_t hundredths, bool always_hundredths = true);

/// "h:mm:ss" of a number of seconds.
std::string hours_minutes_seconds(std::uint64_t seconds);

/// `text` shown as the bytes it is, on one line: bytes below a space, and
/// DEL, as '?', so that no control byte reaches a terminal or ends a comment.
std::string printable(std::string_view text);

}  // namespace zirvon
