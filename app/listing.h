// The /list output: every track's events, readable.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "song/song.h"

namespace zirvon {

/// Scientific name of a pitch code: 36 is C4, 37 C#4, 0 C1.
std::string note_name(std::uint8_t pitch);

void print_listing(std::ostream& out, const Song& song);

}  // namespace zirvon
