// The files in a train of pulses, read as the machine's monitor reads them:
// a gap, a tape mark, a block and its checksum, the copy when the block
// fails; then the data block the header announces.
#pragma once

#include <span>

#include "cassette/cassette_reader.h"

namespace zirvon::cassette {

/// Reads the files from the times (in frames) of the edges that start each
/// pulse. `inverted` is only passed on to the files found.
CassetteReading read_tape_pulses(std::span<const double> edges, int sample_rate, bool inverted);

/// How many blocks of `reading` were read with a checksum that held: what
/// tells the channel and the polarity that decode from those that do not.
int blocks_read(const CassetteReading& reading);

}  // namespace zirvon::cassette
