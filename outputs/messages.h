// Messages about what a run plays and writes, in the words every front end
// gives them: the command line, /watch and the browser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zirvon {

/// The warning about notes of a passage that lie above MIDI note 127 and
/// are left out; empty when `count` is 0.
std::string left_out_notes_warning(int count);

/// Whether a passage that is done on tick `done_tick` fits a WAV file.
bool fits_wav_file(std::uint64_t done_tick);

/// Why the WAV file `name` of a passage that is done on tick `done_tick`
/// cannot be written (see fits_wav_file); `passage` says whether it is a
/// part of the song rather than the whole.
std::string wav_too_long_error(std::string_view name, bool passage, std::uint64_t done_tick);

}  // namespace zirvon
