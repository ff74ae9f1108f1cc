// Shift-JIS, the encoding of many older MML files: a character of two bytes
// whose second byte may be ASCII, `[` or a letter among them. The compiler
// reads such text byte by byte, as it always has, and says where that reads
// as MML; the caret display shows such characters as one `?`.
#pragma once

namespace zirvon {

/// Whether `lead` then `trail` form a double-byte Shift-JIS character. Ask
/// only where no UTF-8 character starts at `lead`: the ranges overlap.
constexpr bool is_shift_jis_pair(unsigned char lead, unsigned char trail) {
    const bool is_lead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return is_lead && trail >= 0x40 && trail != 0x7F && trail <= 0xFC;
}

}  // namespace zirvon
