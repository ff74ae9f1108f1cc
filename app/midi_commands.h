// /ports: the MIDI output ports, and the built-in synthesizer.
#pragma once

#include <ostream>

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them,
/// and last the built-in synthesizer.
int list_midi_ports(std::ostream& out, std::ostream& err);

}  // namespace zirvon
