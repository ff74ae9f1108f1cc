// Ticks of note lengths and gates: the length table, dots and gate ratios.
// Inline, since the compiler asks them of every note it reads.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "mml/mml_number.h"

namespace zirvon {

/// Ticks of a note-length number with `dots` dots: 0 for a number that is not
/// in the length table (1, 2, 4, 8, 16, 32 give 96 down to 3). Each dot adds
/// half of what the dot before it added, in whole ticks.
inline int length_ticks(const MmlNumber& number, std::uint64_t dots) {
    // A table rather than a switch: the switch jumps through a table of its
    // own, a jump that guesses wrong whenever the lengths change.
    static constexpr std::array<std::uint8_t, 33> kTicks{0,  96, 48, 0, 24, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 6,
                                                         0,  0,  0,  0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 3};
    if (number.huge || number.low >= kTicks.size()) return 0;
    int total = kTicks[static_cast<std::size_t>(number.low)];
    for (int half = total; dots > 0 && half > 1; --dots) {
        half /= 2;
        total += half;
    }
    return total;
}

/// Gate ticks: ticks x ratio / 8, truncated, at least 1.
inline MmlNumber gate_ticks(const MmlNumber& ticks, const MmlNumber& ratio) {
    if (ticks.is_zero() || ratio.is_zero()) return MmlNumber::of(1);
    std::uint64_t product;
    if (ticks.huge || ratio.huge || __builtin_mul_overflow(ticks.low, ratio.low, &product)) [[unlikely]] {
        // The product is 2^64 or more; its low 64 bits are exact, which gives
        // the low 61 bits of the gate, more than the 8 that are kept.
        return {(ticks.low * ratio.low) >> 3, true};
    }
    return MmlNumber::of(std::max<std::uint64_t>(product / 8, 1));
}

}  // namespace zirvon
