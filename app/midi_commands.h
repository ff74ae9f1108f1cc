// The MIDI side of a run: /ports, /midi and /play.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "song/song.h"

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them.
int list_midi_ports(std::ostream& out, std::ostream& err);

/// One warning for the notes that MIDI cannot carry, if the song has any.
void warn_about_left_out_notes(const Song& song, std::ostream& err);

/// /midi: writes the preview of `song` as a Standard MIDI File beside the
/// image (output_name_for ".MID"), atomically.
bool write_midi(const RunPlan& plan, const Song& song, std::ostream& err);

/// /play: previews `song`, read from `path`, on the chosen MIDI port. Writes
/// no file; the exit status of the preview (kExitSuccess once it has played
/// to its end).
int play_song(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err);

}  // namespace zirvon
