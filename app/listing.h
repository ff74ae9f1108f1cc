// The /list output: every track's events, readable.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "play/passage.h"
#include "song/song.h"
#include "tape/tape_header.h"

namespace zirvon {

/// Scientific name of a pitch code: 36 is C4, 37 C#4, 0 C1.
std::string note_name(std::uint8_t pitch);

/// Every event of every track; for tracks 1 to 8 also the block each event
/// is read in and the tick it is read on, which `map` gives.
void print_listing(std::ostream& out, const Song& song, const play::SongMap& map);

/// The header of a tape image, then a blank line: what /list of an image
/// starts with.
void print_tape_header(std::ostream& out, const TapeHeaderFields& header);

}  // namespace zirvon
