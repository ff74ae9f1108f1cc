#include "play/passage.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include "tests/songs.h"

namespace zirvon::play {
namespace {

constexpr TrackEvent S = kSyncEvent;
constexpr TrackEvent E = kEndEvent;
constexpr TrackEvent C{36, 24, 21};

using testing_support::make_song;

struct MapCase {
    const char* name;
    std::map<int, std::vector<TrackEvent>> tracks;
    std::vector<std::uint64_t> block_starts;
    std::uint64_t done_tick;
};

TEST(SongMap, BlocksStartOnTickZeroAndOnReleasesThatPlaySomething) {
    const MapCase cases[] = {
        {"nothing to play", {{0, {C, S, E}}, {1, {E}}}, {}, 1},
        {"one block", {{1, {C, S, E}}}, {0}, 27},
        {"two blocks; the end marks read on the last release", {{1, {C, S, C, S, E}}}, {0, 26}, 53},
        {"notes after the last release", {{1, {C, S, C, E}}}, {0, 26}, 52},
        {"only sync marks: nothing to play", {{1, {S, E}}, {2, {S, S, E}}}, {}, 3},
        {"the slower track sets the release", {{1, {C, S, E}}, {2, {{36, 48, 42}, S, C, E}}}, {0, 50}, 76},
        {"track 9's sync mark holds nothing", {{9, {S, S, E}}, {1, {{36, 2, 1}, E}}}, {0}, 4},
    };
    for (const MapCase& c : cases) {
        const SongMap map = map_song(make_song(c.tracks));
        EXPECT_EQ(map.block_starts, c.block_starts) << c.name;
        EXPECT_EQ(map.done_tick, c.done_tick) << c.name;
    }
}

struct Stamped {
    std::uint64_t tick;
    MidiMessage message;
    friend bool operator==(const Stamped&, const Stamped&) = default;
};

Song random_song(std::mt19937& rng) {
    Song song;
    // Pitches up to 110: some notes pass MIDI note 127 and are left out.
    std::uniform_int_distribution<int> kind(0, 9), pitch(0, 110), length(0, 30);
    for (int k = 0; k < kTrackCount; ++k) {
        const int events = std::uniform_int_distribution<int>(0, 40)(rng);
        for (int i = 0; i < events; ++i) {
            const int what = kind(rng);
            const auto len = static_cast<std::uint8_t>(length(rng));
            if (what == 0) {
                song.tracks[k].append_event(S);
            } else {
                // Gates up to twice the length: some notes overlap the next.
                const auto gate = static_cast<std::uint8_t>(what == 1 ? 0 : std::uniform_int_distribution<int>(0, 2 * len)(rng));
                song.tracks[k].append_event({static_cast<std::uint8_t>(pitch(rng)), len, gate});
            }
        }
        song.tracks[k].append_event(E);
    }
    return song;
}

// The MIDI file model test checks the messages of whole songs and passages
// against the reference player. Here, on random songs with every kind of
// event, the map counts the notes a passage leaves out as playing it does:
// the warning of /midi, /wav and /play comes from the map.
TEST(PassagePlayer, LeavesOutTheNotesTheMapCounts) {
    std::mt19937 rng(20261207);
    for (int n = 0; n < 150; ++n) {
        const Song song = random_song(rng);
        const SongMap map = map_song(song);
        // The whole song, every block, and a random stretch with a random set of tracks.
        std::vector<Passage> passages{whole_song(map)};
        for (std::size_t b = 1; b <= map.block_count(); ++b) {
            passages.push_back({map.block_starts[b - 1], map.block_end(b), kAllPlayedTracks});
        }
        std::uniform_int_distribution<std::uint64_t> at(0, map.done_tick);
        std::uniform_int_distribution<int> tracks(0, 0x3FF);
        const std::uint64_t a = at(rng), b = at(rng);
        passages.push_back({std::min(a, b), std::max(a, b), static_cast<TrackMask>(tracks(rng) & 0x1FE)});
        for (const Passage& p : passages) {
            EXPECT_EQ(play_passage(song, p, nullptr).left_out_notes, left_out_notes(song, map, p))
                << "song " << n << " ticks " << p.start << "-" << p.end;
        }
    }
}

Stamped at(std::uint64_t tick, int status, int note) {
    return {tick, {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(note), 127}};
}

// A note that sounds across the start is started on the first tick; one
// whose sound ends on that tick, by its gate or by the next note, is not.
TEST(PassagePlayer, StartsOnlyTheNotesThatSoundPastTheStart) {
    const std::vector<TrackEvent> gate_ends{{36, 10, 5}, {38, 10, 10}, E}, next_note{{36, 3, 9}, {38, 3, 3}, E};
    const struct {
        const char* name;
        std::vector<TrackEvent> track;
        std::uint64_t start;
        std::vector<Stamped> expected;
    } cases[] = {
        {"its gate ends on the start", gate_ends, 5, {at(6, 0x91, 62), at(16, 0x81, 62)}},
        {"the next note ends it on the start", next_note, 4, {at(0, 0x91, 62), at(3, 0x81, 62)}},
        {"it sounds on", next_note, 3, {at(0, 0x91, 60), at(1, 0x81, 60), at(1, 0x91, 62), at(4, 0x81, 62)}},
    };
    for (const auto& c : cases) {
        const Song song = make_song({{1, c.track}});
        std::vector<Stamped> got;
        play_passage(song, {c.start, map_song(song).done_tick, kAllPlayedTracks},
                     [&](std::uint64_t tick, const MidiMessage& m) { got.push_back({tick, m}); });
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST(PassagePlayer, LoopTurnsRepeatWithoutAGap) {
    // The closing note-offs of one turn and the first tick of the next fall
    // on the same tick. Track 8, the last one played, holds a note across
    // the start and another across the end.
    const Song song = make_song({{8, {{36, 10, 30}, {38, 10, 5}, E}}});
    PassagePlayer player(song, {5, 15, kAllPlayedTracks});
    std::vector<Stamped> turns[2];
    std::uint64_t clock = 0;
    for (auto& turn : turns) {
        StampedEmit emit = [&](std::uint64_t, const MidiMessage& m) { turn.push_back({clock, m}); };
        StampingSink sink(emit);
        if (&turn != &turns[0]) player.restart();
        for (;;) {
            player.tick(sink);
            if (player.done()) break;
            ++clock;
        }
    }
    ASSERT_FALSE(turns[0].empty());
    EXPECT_EQ(turns[0].back().tick, 10u);
    EXPECT_EQ(turns[1].front().tick, 10u);  // the held note starts the next turn at once
    EXPECT_EQ(turns[1].front().message, (MidiMessage{0x98, 60, 127}));
    EXPECT_EQ(turns[1].size(), turns[0].size());
}

}  // namespace
}  // namespace zirvon::play
