// The picture side of a run: /svg.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// /svg: draws the piano roll of `passage` of `song` (whose blocks `map`
/// gives), read from `path`, and writes it atomically beside the image
/// (output_name_for ".SVG"). `tape_name` is the name the title shows.
bool write_svg(const RunPlan& plan, const std::string& path, const std::string& tape_name,
               const Song& song, const play::SongMap& map, const play::Passage& passage,
               std::ostream& err);

}  // namespace zirvon
