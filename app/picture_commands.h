// The picture side of a run: /svg.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "song/song.h"

namespace zirvon {

/// The piano roll beside the image: song.MZT gives song.SVG.
std::string svg_file_name(const std::string& output_name);

/// /svg: draws the piano roll of `song`, read from `path`, and writes it
/// atomically.
bool write_svg(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err);

}  // namespace zirvon
