// The texts the program shows about itself.
#pragma once

#include <string_view>

namespace zirvon {

/// The usage text, byte for byte as the program has always shown it; its last
/// line joins "Play MML" and "MZT file" with the Shift_JIS ideographic comma.
inline constexpr std::string_view kUsageText =
    "CMU800 MML compiler 'ZIRVON.EXE' Ver.1.00 ALPHA-2\n"
    "Usage :\n"
    "ZIRVON [MML file] [TAPE filename]\n"
    "\n"
    "Option     ?      Display HELP\n"
    "           PLAY   Play MML"
    "\x81\x41"
    "MZT file\n";

inline constexpr std::string_view kVersionLine = "zirvon " ZIRVON_VERSION "\n";

}  // namespace zirvon
