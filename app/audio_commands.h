// The audio side of a run: /wav, and /play through the built-in synthesizer.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "song/song.h"

namespace zirvon {

/// The WAV file beside the image: song.MZT gives song.WAV.
std::string wav_file_name(const std::string& output_name);

/// /wav: renders the preview of `song` with the built-in synthesizer into a
/// WAV file, streamed and atomically. A song too long for a WAV file is
/// refused before anything is written.
bool write_wav(const RunPlan& plan, const Song& song, std::ostream& err);

/// Whether a port choice names the built-in synthesizer: "synth", in any case.
bool is_synth_choice(std::string_view choice);

/// /play through the built-in synthesizer on the default audio output.
/// `instead_of_midi`: chosen because there is no MIDI port, which is said on
/// `err` in one line.
int play_with_synth(const RunPlan& plan, const std::string& path, const Song& song,
                    std::ostream& err, bool instead_of_midi);

}  // namespace zirvon
