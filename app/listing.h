// The /list output: every track's events, readable.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "song/song.h"
#include "tape/tape_header.h"

namespace zirvon {

/// Scientific name of a pitch code: 36 is C4, 37 C#4, 0 C1.
std::string note_name(std::uint8_t pitch);

void print_listing(std::ostream& out, const Song& song);

/// The header of a tape image, then a blank line: what /list of an image
/// starts with.
void print_tape_header(std::ostream& out, const TapeHeaderFields& header);

}  // namespace zirvon
