// Numbers of MML text. They never wrap: a number past 64 bits is marked huge,
// while its low 64 bits stay exact, which is all that 8-bit lengths and gates
// need of it.
#pragma once

#include <cstdint>
#include <string>

namespace zirvon {

struct MmlNumber {
    std::uint64_t low = 0;  ///< the value modulo 2^64
    bool huge = false;      ///< the value is 2^64 or more

    static constexpr MmlNumber of(std::uint64_t v) { return {v, false}; }

    void push_digit(unsigned digit) {
        std::uint64_t next;
        if (__builtin_mul_overflow(low, std::uint64_t{10}, &next) ||
            __builtin_add_overflow(next, std::uint64_t{digit}, &next)) {
            huge = true;
        }
        low = low * 10 + digit;
    }
    bool is_zero() const { return !huge && low == 0; }
    /// True when the value is at most `limit`.
    bool at_most(std::uint64_t limit) const { return !huge && low <= limit; }
    std::uint8_t byte() const { return static_cast<std::uint8_t>(low & 0xFF); }
    /// The value in decimal, or a word for one too large to show.
    std::string text() const { return huge ? std::string("(too large)") : std::to_string(low); }
};

}  // namespace zirvon
