// /cassette on the command line: the line that says what was written, and
// /cassette /play, which sends the recording through the audio output.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "cassette/cassette_format.h"

namespace zirvon {

/// The line after a recording of `image` was written to `file`: its
/// length, how it was made and what the machine shows as it loads it.
std::string cassette_written_message(const std::string& file, std::span<const std::uint8_t> image,
                                     const cassette::CassetteFormat& format);

/// /cassette /play: sends `image` through the audio output, named `path`
/// on the progress line. The exit status (0 once all of it went out).
int play_cassette(const std::string& path, std::span<const std::uint8_t> image,
                  const cassette::CassetteFormat& format, std::ostream& err);

}  // namespace zirvon
