// The MML writer: a song (ten tracks of events) back to MML text that
// compiles to exactly those events, written as a person would write it.
//
// Each line holds one block: the group `n[ ... ]` of every track that has
// one, side by side, and at its end a comment with the block's number and
// the time it starts (`; block 12  0:23.40`); a block whose groups would
// make a line too long is written one group a line under a comment line.
// Octave, default length and gate ratio are followed per track as the
// compiler follows them, so `O`, `L` and `Q` stand only where they change.
// Lengths are written as note lengths with dots where that is exact, `%n`
// otherwise; a full-length gate that the ratio does not give is a tie `&`.
//
// Every event the compiler can make is written exactly, the odd ones too:
// lengths and gates of 0, or cut to 8 bits, come back through the same
// warnings that made them. What no MML gives (a note code above 252, a mark
// with a length, a gate no ratio reaches) is written as the closest MML, and
// each such event is reported.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "song/song.h"

namespace zirvon {

/// An event that the written MML does not give back as it is.
struct MmlChange {
    int track = 0;
    std::size_t index = 0;  ///< in the track, from 0
    std::string what;       ///< "gate 5 becomes 6"
};

struct WrittenMml {
    std::string text;
    std::vector<MmlChange> changes;
};

/// Writes `song` as MML. `header` lines come first, each as a comment (a
/// line of its own that starts with `;`, its control bytes shown as '?');
/// lines end with LF.
WrittenMml write_mml(const Song& song, const std::vector<std::string>& header = {});

/// The gate byte the compiler gives a note of `ticks` ticks (before the
/// length is cut to 8 bits) with gate ratio `ratio`, tied or not.
int compiled_gate(std::uint64_t ticks, std::uint64_t ratio, bool tie);

}  // namespace zirvon
