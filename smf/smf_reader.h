// Reading Standard MIDI Files: the notes, the tempo map and the time
// signatures of a format 0 or format 1 file, and a count of everything else
// it holds. A file that is not one, or is damaged, is refused with one
// sentence; the reader never reads past its input and takes time in
// proportion to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zirvon::smf {

/// A note from its note-on to its note-off, in file ticks.
struct SmfNote {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint8_t key = 0;
    std::uint8_t channel = 0;  ///< 0-15; 9 is General MIDI's percussion
    std::uint8_t velocity = 0;
    std::uint16_t track = 0;  ///< the file's track, from 0
};

/// A tempo change: microseconds per quarter note from `tick` on.
struct SmfTempo {
    std::uint64_t tick = 0;
    std::uint32_t microseconds = 500'000;
};

/// A time signature from `tick` on: `numerator` / 2^`denominator_power`.
struct SmfMeter {
    std::uint64_t tick = 0;
    std::uint8_t numerator = 4;
    std::uint8_t denominator_power = 2;
};

struct SmfFile {
    int format = 0;
    /// Ticks per quarter note; with SMPTE timing, ticks per second is
    /// frames x ticks_per_frame (frames 29 meaning 29.97) and tempo is moot.
    std::uint32_t division = 0;
    bool smpte = false;
    int frames = 0;
    int ticks_per_frame = 0;

    /// Every note, ordered by start, then track, channel and key.
    std::vector<SmfNote> notes;
    /// In the order of their ticks; a file without any plays at 120 beats a minute.
    std::vector<SmfTempo> tempos;
    /// Tempo changes to 0 microseconds a quarter note, which no time can
    /// follow: left out of `tempos`, so the tempo before each goes on.
    std::uint64_t zero_tempos = 0;
    std::vector<SmfMeter> meters;

    /// What the file holds that notes, tempos and meters do not carry.
    std::uint64_t controllers = 0;
    std::uint64_t program_changes = 0;
    std::uint64_t pitch_bends = 0;
    std::uint64_t aftertouches = 0;
    std::uint64_t system_exclusives = 0;
    std::uint8_t lowest_velocity = 127;
    std::uint8_t highest_velocity = 0;
};

/// Reads `bytes` into `file`; false with a message ("not a MIDI file: ...",
/// "damaged MIDI file: ...") when they are not a format 0 or 1 file.
bool read_smf(std::span<const std::uint8_t> bytes, SmfFile& file, std::string& error);

}  // namespace zirvon::smf
