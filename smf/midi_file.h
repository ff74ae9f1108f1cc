// The preview as a Standard MIDI File, for any player or DAW to open.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "play/passage.h"
#include "play/player.h"
#include "song/song.h"

namespace zirvon::smf {

/// File ticks per quarter note; with the tempo below, one file tick lasts one
/// 20 ms preview tick.
inline constexpr std::uint16_t kFileDivision = 25;
/// Microseconds per quarter note.
inline constexpr std::uint32_t kFileTempo = 500'000;
static_assert(kFileTempo / kFileDivision == kTickMicroseconds);

struct MidiFileBytes {
    std::vector<std::uint8_t> bytes;
    /// The run of the passage that the file records.
    play::PassageRun run;
};

/// A message with the passage tick it is sent on.
struct TimedMessage {
    std::uint64_t tick = 0;
    play::MidiMessage message;
};

/// The messages of `passage` that a file of it holds, in the order a MIDI
/// output is sent them: on tick 0 the program change of every track (1 to
/// 8) that sends anything, on channel k for track k, the General MIDI sound
/// nearest the built-in synthesizer's voice for it; then the player's
/// messages as the live preview sends them. `run` gets what the run found.
std::vector<TimedMessage> passage_messages(const Song& song, const play::Passage& passage, play::PassageRun& run);

/// Builds a format 1 file of a passage: a tempo track named after the tape
/// name (its sequence name; none when the name is empty), then one track
/// named "Track k" for each of tracks 1 to 8 that sends anything: the
/// program of the built-in synthesizer's voice for track k (see
/// synth::Timbre), then exactly the note-ons and note-offs the live preview
/// of the passage sends on channel k, each at the tick the preview sends it
/// (file tick 0 is the passage's first tick). Every track ends on the
/// passage's closing tick.
MidiFileBytes build_midi_file(const Song& song, const play::Passage& passage, std::string_view tape_name);

/// The same for the whole song with every track.
MidiFileBytes build_midi_file(const Song& song, std::string_view tape_name);

}  // namespace zirvon::smf
