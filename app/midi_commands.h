// The MIDI side of a run: /ports, /midi and /play.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "play/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// /ports: the host's MIDI output ports, numbered as /port=N counts them.
int list_midi_ports(std::ostream& out, std::ostream& err);

/// One warning for the notes that MIDI cannot carry, if there are any.
void warn_about_left_out_notes(int count, std::ostream& err);

/// /midi: writes the preview of `passage` as a Standard MIDI File beside the
/// image (output_name_for ".MID"), atomically; its size goes to `size` when
/// given. False, with a message.
bool write_midi(const RunPlan& plan, const Song& song, const play::Passage& passage, std::string& error,
                std::size_t* size = nullptr);

/// The output a preview plays into: the MIDI port that /port= or the
/// environment picks, opened and reset. Nothing, with a message, when there
/// is none.
std::unique_ptr<play::LiveOutput> open_live_output(const RunPlan& plan, std::string& error);

/// /play: previews `passage` of `song` (whose blocks `map` gives), read from
/// `path`, on the chosen output. Writes no file; the exit status of the
/// preview (kExitSuccess once it has played to its end).
int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err);

}  // namespace zirvon
