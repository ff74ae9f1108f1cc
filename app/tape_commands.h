// The tape image side of a run: the header in /list, and writing a played
// image back.
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

/// After a preview of the image `image`, read from `path`: writes it back
/// with its header rebuilt (under this run's tape name if one was given,
/// else its own name field), in place or to -o PATH. Nothing is written when
/// that changes no byte; a write in place says so in one line. False, with
/// the message printed, when the write fails.
bool write_back_image(const RunPlan& plan, const std::string& path,
                      const std::vector<std::uint8_t>& image, const Song& song, std::ostream& err);

}  // namespace zirvon
