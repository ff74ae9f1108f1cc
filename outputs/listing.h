// The /list output: every track's events, readable, and an image's header.
#pragma once

#include <cstdint>
#include <string>

#include "play/passage.h"
#include "song/song.h"
#include "tape/tape_header.h"

namespace zirvon {

/// Scientific name of a pitch code: 36 is C4, 37 C#4, 0 C1.
std::string note_name(std::uint8_t pitch);

/// Every event of the tracks in `tracks` (bit k for track k; all ten by
/// default); for tracks 1 to 8 also the block each event is read in and the
/// tick it is read on, which `map` gives.
std::string listing_text(const Song& song, const play::SongMap& map, std::uint16_t tracks = 0x3FF);

/// The header of a tape image, then a blank line: what /list of an image
/// starts with.
std::string tape_header_text(const TapeHeaderFields& header);

}  // namespace zirvon
