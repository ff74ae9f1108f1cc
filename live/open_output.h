// Opening what a preview plays into: the MIDI port that a choice names, or
// the built-in synthesizer on the default audio output.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "play/live_output.h"

namespace zirvon::live {

/// Whether a port choice names the built-in synthesizer: "synth", in any case.
bool is_synth_choice(std::string_view choice);

/// The output a preview plays into, opened and ready: the MIDI port that
/// `option` (the value of /port=) or else the environment variable
/// ZIRVON_MIDI_PORT picks, or the built-in synthesizer when the choice is
/// "synth" (any case), the synthesizer's number in /ports, or the default
/// with no MIDI port to take; that last is said in one line on `err`.
/// Nothing, with a message, when there is none.
std::unique_ptr<play::LiveOutput> open_live_output(const std::optional<std::string>& option,
                                                   std::string& error, std::ostream& err);

/// The built-in synthesizer on the default audio output, opened. Nothing,
/// with a message, when there is no audio output; `instead_of_midi` (it was
/// chosen because there is no MIDI port) makes the message say that too;
/// `after_midi` (the MIDI side's client has just closed) lets the output wait
/// a moment for the name that client held.
std::unique_ptr<play::LiveOutput> open_synth_output(bool instead_of_midi, bool after_midi, std::string& error);

}  // namespace zirvon::live
