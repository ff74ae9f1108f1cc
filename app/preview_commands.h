// /play: choosing what a preview plays into, and playing.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "play/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// /play: previews `passage` of `song` (whose blocks `map` gives), read from
/// `path`, on the chosen output. Writes no file; the exit status of the
/// preview (kExitSuccess once it has played to its end).
int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err);

}  // namespace zirvon
