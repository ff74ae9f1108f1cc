// /cassette /play: a tape image sent as sound through the audio output, for
// the machine's tape input, with a progress line that says which part of the
// recording is going out and how long is left.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cassette/cassette_format.h"
#include "cassette/cassette_writer.h"
#include "live/preview.h"

namespace zirvon::live {

/// The progress line's text `sent` frames into `signal`: what is being
/// sent ("header copy") and the time left.
ProgressText signal_progress_text(const std::string& title, const cassette::CassetteSignal& signal,
                                  std::uint64_t sent);

/// Sends `image` in `format` (its rate is the device's) on the first audio
/// output that opens, until it has all gone out, Ctrl+C stops it or the
/// output goes away. `title` names it on the progress line, kept on stderr
/// when `show_progress`.
PreviewResult play_signal(std::span<const std::uint8_t> image, const cassette::CassetteFormat& format,
                          const std::string& title, bool show_progress);

}  // namespace zirvon::live
