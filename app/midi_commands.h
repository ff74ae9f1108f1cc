// The MIDI side of a run: /ports and /midi.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them,
/// and last the built-in synthesizer.
int list_midi_ports(std::ostream& out, std::ostream& err);

/// One warning for the notes that MIDI cannot carry, if there are any.
void warn_about_left_out_notes(int count, std::ostream& err);

/// /midi: writes the preview of `passage` as a Standard MIDI File beside the
/// image (output_name_for ".MID"), atomically, named after `tape_name`; its
/// size goes to `size` when given. False, with a message.
bool write_midi(const RunPlan& plan, const Song& song, const play::Passage& passage, std::string_view tape_name,
                std::string& error, std::size_t* size = nullptr);

}  // namespace zirvon
