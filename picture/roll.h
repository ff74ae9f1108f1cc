// What a piano roll shows of a passage: its notes as the player sends them,
// the notes the preview leaves out, and where the blocks start, all on the
// passage's own timeline (tick 0 = its start).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "play/passage.h"
#include "song/song.h"

namespace zirvon::picture {

/// One note: from its note-on tick to its note-off tick, in passage ticks.
struct RollNote {
    int track = 0;
    std::uint64_t on = 0;
    std::uint64_t off = 0;
    int midi = 0;
    /// Song block (from 1) the note starts in.
    std::size_t block = 0;
    /// Where in the source the event that starts it stands; all 0 when the
    /// song has no source.
    EventPlace place;

    friend bool operator==(const RollNote&, const RollNote&) = default;
};

/// A block start inside the passage (never on its first tick or its end).
struct BlockLine {
    std::size_t block = 0;
    std::uint64_t tick = 0;

    friend bool operator==(const BlockLine&, const BlockLine&) = default;
};

/// The first and last source line of what a block plays; 0 when it has none.
struct SourceLines {
    std::uint32_t first = 0;
    std::uint32_t last = 0;

    friend bool operator==(const SourceLines&, const SourceLines&) = default;
};

struct Roll {
    /// Sounding notes, in the order their note-ons are sent.
    std::vector<RollNote> notes;
    /// Notes above MIDI 127, tracks in order, each where it would have sounded.
    std::vector<RollNote> left_out;
    std::vector<BlockLine> block_lines;
    /// The passage's length in ticks (the tick of its closing note-offs),
    /// and the song tick it starts on.
    std::uint64_t length = 0;
    std::uint64_t song_start = 0;
    /// Song blocks the passage covers, and how many the song has.
    std::size_t first_block = 0;
    std::size_t last_block = 0;
    std::size_t song_blocks = 0;
    /// Where each block of the song (at index block - 1) is written: the
    /// lines of the events of tracks 1 to 8 read in it. Empty when the song
    /// has no source, as an image has not.
    std::vector<SourceLines> block_sources;
    /// Whether the passage is the whole song, and which tracks sound.
    bool whole_song = true;
    play::TrackMask audible = play::kAllPlayedTracks;

    bool empty() const { return notes.empty() && left_out.empty(); }
};

/// Plays `passage` of `song` (which `map` describes) and collects its roll.
Roll collect_roll(const Song& song, const play::SongMap& map, const play::Passage& passage);

}  // namespace zirvon::picture
