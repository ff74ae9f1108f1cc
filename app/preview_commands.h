// /play: choosing what a preview plays into, and playing.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "live/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// The output a preview plays into, opened and ready: the MIDI port that
/// /port= or the environment picks, or the built-in synthesizer when the
/// choice is "synth" (any case), the synthesizer's number in /ports, or the
/// default with no MIDI port to take; that last is said in one line on
/// `err`. Nothing, with a message, when there is none.
std::unique_ptr<live::LiveOutput> open_live_output(const RunPlan& plan, std::string& error,
                                                   std::ostream& err);

/// /play: previews `passage` of `song` (whose blocks `map` gives), read from
/// `path`, on the chosen output. Writes no file; the exit status of the
/// preview (kExitSuccess once it has played to its end).
int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err);

}  // namespace zirvon
