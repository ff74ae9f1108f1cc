// /cassette /play on the command line, which sends the recording through
// the audio output.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "cassette/cassette_format.h"

namespace zirvon {

/// /cassette /play: sends `image` through the audio output, named `path`
/// on the progress line. The exit status (0 once all of it went out).
int play_cassette(const std::string& path, std::span<const std::uint8_t> image,
                  const cassette::CassetteFormat& format, std::ostream& err);

}  // namespace zirvon
