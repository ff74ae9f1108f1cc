// Ticks of note lengths and gates: the length table, dots and gate ratios.
#include <algorithm>

#include "mml/compiler.h"

namespace zirvon {
namespace {

/// Ticks of a note-length number without dots; 0 when it is not in the table.
int table_ticks(const MmlNumber& number) {
    if (number.huge) return 0;
    switch (number.low) {
        case 1: return 96;
        case 2: return 48;
        case 4: return 24;
        case 8: return 12;
        case 16: return 6;
        case 32: return 3;
        default: return 0;
    }
}

}  // namespace

int length_ticks(const MmlNumber& number, std::uint64_t dots) {
    int total = table_ticks(number);
    for (int half = total; dots > 0 && half > 1; --dots) {
        half /= 2;
        total += half;
    }
    return total;
}

MmlNumber gate_ticks(const MmlNumber& ticks, const MmlNumber& ratio) {
    if (ticks.is_zero() || ratio.is_zero()) return MmlNumber::of(1);
    std::uint64_t product;
    if (ticks.huge || ratio.huge || __builtin_mul_overflow(ticks.low, ratio.low, &product)) {
        // The product is 2^64 or more; its low 64 bits are exact, which gives
        // the low 61 bits of the gate, more than the 8 that are kept.
        return {(ticks.low * ratio.low) >> 3, true};
    }
    return MmlNumber::of(std::max<std::uint64_t>(product / 8, 1));
}

}  // namespace zirvon
