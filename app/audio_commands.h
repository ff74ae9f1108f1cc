// The audio side of a run: /wav, and the built-in synthesizer as a live
// output.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "play/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// /wav: renders `passage` of `song` with the built-in synthesizer into a
/// WAV file beside the image (output_name_for ".WAV"), streamed and
/// atomically. A passage too long for a WAV file is refused before anything
/// is written. False, with a message on `err`.
bool write_wav(const RunPlan& plan, const Song& song, const play::Passage& passage, std::ostream& err);

}  // namespace zirvon
