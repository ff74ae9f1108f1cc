// The tape image side of a run: what a played image written back changes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "song/song.h"

namespace zirvon {

/// The line that says an image read from `path` was written back, in place
/// ("'song.MZT' written back with tape name 'NEW'") or to -o PATH.
std::string written_back_message(const RunPlan& plan, const std::string& path,
                                 const std::vector<std::uint8_t>& image, const Song& song);

}  // namespace zirvon
