// The MIDI side of a run: /ports, /midi and /play.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "play/live_output.h"
#include "song/song.h"

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them,
/// and last the built-in synthesizer, "synth".
int list_midi_ports(std::ostream& out, std::ostream& err);

/// The MIDI file beside the image: song.MZT gives song.MID.
std::string midi_file_name(const std::string& output_name);

/// One warning for the notes that MIDI cannot carry, if the song has any.
void warn_about_left_out_notes(const Song& song, std::ostream& err);

/// /midi: writes the preview of `song` as a Standard MIDI File, atomically.
bool write_midi(const RunPlan& plan, const Song& song, std::ostream& err);

/// /play: previews `song` on the chosen MIDI port, or through the built-in
/// synthesizer when the choice is "synth", the synthesizer's number, or the
/// default with no MIDI port to take. See play_on.
int play_song(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err);

/// Previews `song` on `output`, an open port. An image loaded from `path` is
/// written back there, its header rebuilt with this run's tape name, only
/// once the preview has played to its end.
int play_on(const RunPlan& plan, const std::string& path, const Song& song,
            play::LiveOutput& output, std::ostream& err);

}  // namespace zirvon
