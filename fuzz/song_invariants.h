// What every song the compiler or the tape reader hands out must satisfy.
#pragma once

#include "fuzz/fuzz_check.h"
#include "song/song.h"

namespace zirvon {

/// Each track ends with exactly one EndMark and holds at most its capacity.
inline void check_tracks_end_once(const Song& song) {
    for (const Track& track : song.tracks) {
        const auto& events = track.events();
        FUZZ_CHECK(!events.empty() && events.size() <= kTrackCapacity);
        FUZZ_CHECK(events.back().note == EndMark);
        for (std::size_t i = 0; i + 1 < events.size(); ++i) FUZZ_CHECK(events[i].note != EndMark);
    }
}

}  // namespace zirvon
