// The tape image side of a run: the header in /list, and what a played
// image written back changes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "song/song.h"

namespace zirvon {

/// /list of an image: prints its header to `out`, and a warning to `err`
/// for each place where the header disagrees with the data.
void list_tape_header(const std::string& path, const std::vector<std::uint8_t>& image,
                      const Song& song, std::ostream& out, std::ostream& err);

/// The line that says an image read from `path` was written back, in place
/// ("'song.MZT' written back with tape name 'NEW'") or to -o PATH.
std::string written_back_message(const RunPlan& plan, const std::string& path,
                                 const std::vector<std::uint8_t>& image, const Song& song);

}  // namespace zirvon
