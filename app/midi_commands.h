// /ports: the MIDI output ports and the built-in synthesizer, then the MIDI
// input ports that keyboard entry listens to.
#pragma once

#include <ostream>

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them,
/// and last the built-in synthesizer; then, under a heading of their own,
/// the input ports, numbered as keyboard entry's port choice counts them.
int list_midi_ports(std::ostream& out, std::ostream& err);

}  // namespace zirvon
