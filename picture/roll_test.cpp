#include "picture/roll.h"

#include <gtest/gtest.h>

#include <vector>

#include "mml/compiler.h"
#include "outputs/analysis.h"

namespace zirvon::picture {
namespace {

struct Event {
    int track;
    TrackEvent event;
    std::uint32_t line;
};

/// A song of tracks 1 to 8 from events with their source lines; every
/// track gets its end mark.
Song make_song(const std::vector<Event>& events) {
    Song song;
    for (const Event& e : events) song.tracks[e.track].append_event(e.event, {e.line, 1, 2});
    for (Track& t : song.tracks) t.append_event(kEndEvent);
    return song;
}

Roll roll_of(const Song& song, std::uint64_t start, std::uint64_t end) {
    const play::SongMap map = play::map_song(song);
    return collect_roll(song, map, {start, end == 0 ? map.done_tick : end, play::kAllPlayedTracks});
}

// The reference model test checks the notes, block lines and left-out marks
// of the pictures of random passages; these are the source places and blocks
// each note is said to come from, and the lines of each block.
TEST(Roll, NotesOfAPassageOnItsOwnTimelineWithTheirLinesAndBlocks) {
    // Track 1: C2 read on 0 (off 42), D on 49 (off 70), a sync mark on 74,
    // released on 75: E (off 96). From tick 10 to 80, C is held across the
    // start and E is cut by the end.
    const SourceAnalysis a = analyze_source("1[C2 D]\n1[E]\n", "t.mml");
    ASSERT_TRUE(a.ok());
    const Roll roll = roll_of(a.song, 10, 80);
    const std::vector<RollNote> notes = {
        {1, 0, 32, 60, 1, {1, 3, 5}}, {1, 39, 60, 62, 1, {1, 6, 7}}, {1, 65, 70, 64, 2, {2, 3, 4}}};
    EXPECT_EQ(roll.notes, notes);
    EXPECT_EQ(roll.block_lines, (std::vector<BlockLine>{{2, 65}}));
    EXPECT_EQ(roll.length, 70u);
    EXPECT_EQ(roll.first_block, 1u);
    EXPECT_EQ(roll.last_block, 2u);
    EXPECT_EQ(roll.song_blocks, 2u);
    EXPECT_EQ(roll.block_sources, (std::vector<SourceLines>{{1, 1}, {2, 2}}));
    EXPECT_FALSE(roll.whole_song);
    EXPECT_TRUE(roll_of(a.song, 0, 0).whole_song);
}

TEST(Roll, NoteEndedOnTheFirstTickIsNotDrawn) {
    // C sounds on past the next read (gate 20, length 5): D ends it on tick
    // 6. A passage from tick 6 does not start C, whose sound ends there.
    const Song song = make_song({{1, {36, 5, 20}, 7}, {1, {38, 24, 21}, 8}});
    const Roll roll = roll_of(song, 6, 0);
    const std::vector<RollNote> notes = {{1, 0, 21, 62, 1, {8, 1, 2}}};
    EXPECT_EQ(roll.notes, notes);
}

}  // namespace
}  // namespace zirvon::picture
