// Ticks of note lengths and gates: the length table, dots and gate ratios.
// Inline, since the compiler asks them of every note it reads.
#pragma once

#include <algorithm>
#include <cstdint>

#include "mml/mml_number.h"

namespace zirvon {

/// Ticks of a note-length number with `dots` dots: 0 for a number that is not
/// in the length table (1, 2, 4, 8, 16, 32 give 96 down to 3). Each dot adds
/// half of what the dot before it added, in whole ticks.
inline int length_ticks(const MmlNumber& number, std::uint64_t dots) {
    if (number.huge) return 0;
    int total = 0;
    switch (number.low) {
        case 1: total = 96; break;
        case 2: total = 48; break;
        case 4: total = 24; break;
        case 8: total = 12; break;
        case 16: total = 6; break;
        case 32: total = 3; break;
        default: return 0;
    }
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
