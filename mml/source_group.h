// A block of one track as the source writes it, `n[ ... ]`, on one line:
// what the compiler hands the whole-song checks and the front ends.
#pragma once

#include <cstddef>

#include "song/song.h"

namespace zirvon {

struct SourceGroup {
    int track = 0;
    EventPlace open;   ///< the `[`
    EventPlace close;  ///< the `]`; all 0 when the group was not closed
    /// Its events in the track: [first_event, end_event), the sync mark of
    /// its `]` included.
    std::size_t first_event = 0;
    std::size_t end_event = 0;
};

}  // namespace zirvon
