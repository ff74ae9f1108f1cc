// The files in a recording, read as the machine's monitor reads them: a gap,
// a tape mark, a block and its checksum, the copy when the block fails;
// then the data block the header announces.
#pragma once

#include <span>
#include <vector>

#include "cassette/cassette_reader.h"

namespace zirvon::cassette {

/// Reads the files from the pulses of one recording as found by several
/// edge finders: each list holds the frames of the edges that start the
/// pulses. A block that fails in one list is read again in the others.
/// `inverted` is only passed on to the files found.
CassetteReading read_tape_pulses(std::span<const std::vector<double>> edge_lists, int sample_rate,
                                 bool inverted);

/// Whether `a` is a better reading of a recording than `b`: more blocks
/// whose checksums held, then no error, then fewer warnings. What tells the
/// channel, the polarity and the edge finder that decode from the others.
bool better_reading(const CassetteReading& a, const CassetteReading& b);

}  // namespace zirvon::cassette
