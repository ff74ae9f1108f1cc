// Where a recorded tape signal goes up and where it goes down: the first
// step of reading a recording, and the only one that looks at samples.
#pragma once

#include <span>
#include <vector>

namespace zirvon::cassette {

/// Edge times in frames, with fractions, in order.
struct TapeEdges {
    std::vector<double> rising;
    std::vector<double> falling;
};

/// How edges are told: by the level, for square waves and the spikes a deck
/// makes of their edges; by the slope, for waves whose level droops and
/// swings back within a pulse; by the level of the wave with a deck's
/// high-pass undone. Each reads some recordings the others do not.
enum class EdgeMethod { Level, Slope, Restored };

/// Finds the edges of the pulses in `samples` taken at `sample_rate`. DC,
/// hum and the low rumble of a deck are filtered out first; a Schmitt
/// trigger whose thresholds follow the signal's level then turns both clean
/// square waves and the spikes a deck makes of their edges into the same
/// edges. The signal upside down has the same edges, rising for falling.
TapeEdges find_tape_edges(std::span<const float> samples, int sample_rate, EdgeMethod method);

}  // namespace zirvon::cassette
