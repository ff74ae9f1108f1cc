// A Standard MIDI File made into a song, and the MML that writes it.
//
// Time: every time of the file goes through its tempo map and is rounded to
// the nearest 20 ms tick. Each note starts on its tick. It is released on its
// tick too, or the tick before when the next event of its track starts right
// there (a zirvon note at full length, Q8, ends a tick before the next one:
// every event lasts its length plus one tick).
//
// Bars: a sync mark ends every bar (from the file's time signatures, 4/4
// without one), so every block is a bar, or several bars where a note is held
// across a bar line; never more than four, where a line can be had: at the
// line of four that fewest are held across, those are struck again. The sync
// mark takes the bar's last tick: a note that runs up to the bar line is
// released a tick earlier, and counted as moved.
//
// Voices: tracks 1 to 8 play one note at a time each. Each line of the file
// (a channel of a track) keeps its own zirvon track while it plays one note
// at a time; the other notes of its chords, and notes that overlap, go to
// free tracks. Where more than eight notes would sound at once, the ones kept
// are chosen in this order: the highest and the lowest note of each such
// moment, then the longer, then the earlier. A note that ends on a tick
// leaves its track free on it, but a note of one tick needs its track for
// two (an event's gate is at most its length): it, or the note after it,
// starts a tick off where that makes room. Percussion (channel 10) is
// left out: the unit's voices are pitched. Velocities, controllers, program
// changes and pitch bends have no place in the format and are left out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/song.h"

namespace zirvon::smf {

/// What an import kept, changed and left out.
struct ImportSummary {
    std::size_t notes_in_file = 0;
    std::size_t kept = 0;
    /// Left out: more than eight at once (and the bars, from 1, where),
    /// percussion on channel 10, past what a tape image holds.
    std::size_t dropped_crowded = 0;
    std::vector<std::size_t> crowded_bars;
    /// Left out although eight or fewer sound: a note of one tick needs
    /// its track for the tick after it too, and eight others held it.
    std::size_t dropped_no_room = 0;
    std::size_t dropped_percussion = 0;
    std::size_t dropped_past_end = 0;
    /// Bar (from 1) after which the song was cut to fit an image; 0: not cut.
    std::size_t cut_after_bar = 0;
    /// Kept notes that start or are released off their rounded tick, and
    /// of those, the ones released a tick early for a bar's sync mark.
    std::size_t moved = 0;
    std::size_t moved_at_bar_lines = 0;
    /// Kept notes shorter than a tick, which last one tick.
    std::size_t shorter_than_a_tick = 0;
    /// Kept notes below MIDI note 24, raised by octaves.
    std::size_t raised = 0;
    /// Kept notes longer than an event holds, struck again every 256 ticks.
    std::size_t restruck = 0;
    /// Times notes held over the bar lines of four bars were struck again
    /// at one of them, so that no block is longer than four bars.
    std::size_t restruck_at_bars = 0;
    int tracks_used = 0;
    std::size_t bars = 0;
    std::size_t blocks = 0;
    std::uint64_t length_ticks = 0;
    /// The largest distance, in microseconds, between a kept note's start
    /// (or release) in the file and in the song.
    std::uint64_t largest_start_change = 0;
    std::uint64_t largest_end_change = 0;
    /// "velocities (40 to 100), 12 controller changes": what the file held
    /// that the song cannot; empty when nothing.
    std::vector<std::string> not_kept;
    /// Tempo changes to 0 the file holds, ignored.
    std::uint64_t zero_tempos = 0;
};

/// What a kept note became: for tests and for the curious.
struct ImportedNote {
    int track = 0;
    std::uint8_t pitch = 0;     ///< pitch code
    std::uint64_t start = 0;    ///< the rounded tick it should start on
    std::uint64_t end = 0;      ///< the rounded tick it should end on
    std::uint64_t on = 0;       ///< the tick its note-on is sent
    std::uint64_t release = 0;  ///< the tick its note-off is sent
    /// Its on is not its start, or its release neither its end nor the
    /// tick before.
    bool moved = false;
    /// The rest of the note before it, struck again at a bar line.
    bool continued = false;
};

struct ImportedSong {
    Song song;
    /// By the file's notes; a note struck again at bar lines in parts.
    std::vector<ImportedNote> notes;
    /// Tick on which each block starts, the song's end last.
    std::vector<std::uint64_t> block_starts;
    ImportSummary summary;
};

/// The comment that opens the MML of an imported file, `base_name` the
/// file's name without its folder.
std::string import_comment(std::string_view base_name);

/// Imports the bytes of a MIDI file; false with a message when it is not a
/// format 0 or 1 MIDI file, or is damaged.
bool import_midi(std::span<const std::uint8_t> bytes, ImportedSong& imported, std::string& error);

/// The summary as lines for the user, the first naming `name`.
std::vector<std::string> summary_lines(const ImportSummary& summary, const std::string& name);

}  // namespace zirvon::smf
