// Passages of a song: the blocks the sync marks cut it into, a stretch of it
// from one tick to another, and which tracks sound. Everything that plays or
// draws a song plays a passage; the whole song is the passage from tick 0 to
// its end with every track.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "play/player.h"
#include "song/song.h"

namespace zirvon::play {

/// Where the song's blocks start and where each event is read, from one
/// silent run of the player. A block starts on tick 0 and on every tick on
/// which the barrier lets waiting tracks go on (a release); the last release
/// starts a block only when a note or rest is read on or after it.
struct SongMap {
    /// Tick each block starts on; block 1 is at index 0. Empty when tracks
    /// 1 to 8 hold nothing to play.
    std::vector<std::uint64_t> block_starts;
    /// Tick of every release, in order.
    std::vector<std::uint64_t> releases;
    /// The tick on which the player finds itself done: the song's length.
    std::uint64_t done_tick = 0;
    /// Tick on which each event of tracks 1 to 8 is read (tracks 0 and 9
    /// stay empty).
    std::array<std::vector<std::uint64_t>, kTrackCount> read_ticks;

    std::size_t block_count() const { return block_starts.size(); }
    /// Block (from 1) that tick `tick` lies in; the ticks after the last
    /// block starts belong to it. 0 when the song has no blocks.
    std::size_t block_of(std::uint64_t tick) const;
    /// First tick after block `block` (from 1): the next block's start, or
    /// the song's end for the last block.
    std::uint64_t block_end(std::size_t block) const;
};

SongMap map_song(const Song& song);

/// One end of a passage as the command line gives it.
struct Bound {
    /// A block; a time; the blocks of a source line; or a place in the
    /// source, where the note, rest or `]` at it (or the first one after
    /// it) is read, or ends.
    enum class Kind { block, time, line, position };
    Kind kind = Kind::block;
    /// A block number (from 1), a time in hundredths of a second, or a
    /// source line number (from 1). Saturates rather than overflows.
    std::uint64_t value = 0;
    /// The value as the user wrote it, for messages (a saturated value
    /// would misquote it); made from `value` when empty.
    std::string text;
    /// The byte column (from 1) of a position.
    std::uint64_t column = 0;
};

/// What the user asked for: /from, /to, /solo or /mute.
struct PassageRequest {
    std::optional<Bound> from;
    std::optional<Bound> to;
    TrackMask audible = kAllPlayedTracks;
};

/// A stretch of the song, in song ticks: passage tick 0 is song tick
/// `start`; on song tick `end` nothing runs but the closing note-offs.
struct Passage {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    TrackMask audible = kAllPlayedTracks;

    std::uint64_t length() const { return end - start; }
};

/// The whole song with every track.
Passage whole_song(const SongMap& map);

/// Notes of the passage that are left out because their MIDI number would
/// pass 127, counted from the map without playing the passage.
int left_out_notes(const Song& song, const SongMap& map, const Passage& passage);

/// Whether a note of the tracks the passage sounds is heard in it: one that
/// starts in it, or is still sounding at its start. Notes above MIDI 127
/// are not heard.
bool passage_sounds(const Song& song, const SongMap& map, const Passage& passage);

/// Works out the ticks of `request` on the song that `map` describes.
/// Nothing, with a message for the user, when a bound does not exist in the
/// song or the passage would be empty. Line and position bounds need a song
/// compiled from MML, whose events know their places.
std::optional<Passage> resolve_passage(const PassageRequest& request, const Song& song,
                                       const SongMap& map, std::string& error);

/// Plays a passage tick by tick: first runs the song silently up to its
/// start, then on passage tick 0 sends a note-on for every note still
/// sounding there (and not ending on that tick) before the tick itself runs;
/// on the passage's end it sends
/// a note-off for every sounding note and is done.
class PassagePlayer {
public:
    PassagePlayer(const Song& song, const Passage& passage);

    /// Runs one passage tick.
    void tick(MidiSink& sink);
    /// True once the closing tick has run.
    bool done() const { return done_; }
    /// Passage ticks run so far.
    std::uint64_t ticks() const { return ticks_; }
    /// The song tick that the next tick() runs.
    std::uint64_t song_tick() const { return passage_.start + ticks_; }
    /// Back to passage tick 0, for a loop: the next tick() is the first
    /// tick of a new turn.
    void restart();
    /// Sends a note-off for every sounding note (after an interrupt).
    void release_all(MidiSink& sink) { player_.release_all(sink); }
    const Passage& passage() const { return passage_; }
    /// Notes of the passage left out because their MIDI number would pass 127.
    int left_out_notes() const { return player_.left_out_notes() - at_start_.left_out_notes(); }

private:
    void first_tick(MidiSink& sink);

    Passage passage_;
    Player at_start_;  ///< the player as it stands on the passage's first tick
    Player player_;
    std::uint64_t ticks_ = 0;
    bool done_ = false;
};

/// What an offline run of a passage found.
struct PassageRun {
    /// The passage tick of the closing note-offs: the passage's length.
    std::uint64_t done_tick = 0;
    int left_out_notes = 0;
};

/// Plays a passage with no clock: `emit` gets every message with the
/// passage tick on which the live preview would send it.
PassageRun play_passage(const Song& song, const Passage& passage, const StampedEmit& emit);

}  // namespace zirvon::play
