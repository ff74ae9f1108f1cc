// An unsigned number of 128 bits, for the products of a MIDI file's tempo
// map (ticks x microseconds x frames), exact on every target: 32-bit ones
// have no such built-in type, and every build must import a file alike.
// Private to smf/.
#pragma once

#include <cstdint>

namespace zirvon::smf::import {

struct Wide {
    std::uint64_t high = 0;
    std::uint64_t low = 0;

    /// a x b, exactly.
    static constexpr Wide product(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t a0 = a & 0xFFFF'FFFFu, a1 = a >> 32;
        const std::uint64_t b0 = b & 0xFFFF'FFFFu, b1 = b >> 32;
        const std::uint64_t low_low = a0 * b0;
        const std::uint64_t middle1 = a1 * b0 + (low_low >> 32);
        const std::uint64_t middle2 = a0 * b1 + (middle1 & 0xFFFF'FFFFu);
        return {a1 * b1 + (middle1 >> 32) + (middle2 >> 32), (middle2 << 32) | (low_low & 0xFFFF'FFFFu)};
    }
    constexpr Wide operator+(Wide other) const {
        const std::uint64_t sum = low + other.low;
        return {high + other.high + (sum < low ? 1u : 0u), sum};
    }
    /// The quotient by `divisor` (not 0), or the largest 64-bit number when
    /// it does not fit in 64 bits.
    constexpr std::uint64_t divided_by(std::uint64_t divisor) const {
        if (high >= divisor) return UINT64_MAX;
        std::uint64_t remainder = high;
        std::uint64_t quotient = 0;
        for (int bit = 63; bit >= 0; --bit) {
            const bool carry = (remainder >> 63) != 0;
            remainder = (remainder << 1) | ((low >> bit) & 1u);
            quotient <<= 1;
            if (carry || remainder >= divisor) {
                remainder -= divisor;
                quotient |= 1u;
            }
        }
        return quotient;
    }
};

}  // namespace zirvon::smf::import
