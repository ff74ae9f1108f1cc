#include "play/player.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zirvon::play {
namespace {

struct Stamped {
    std::uint64_t tick;
    MidiMessage message;

    friend bool operator==(const Stamped&, const Stamped&) = default;
};

void PrintTo(const Stamped& s, std::ostream* os) {
    *os << "tick " << s.tick << ": " << std::hex << int(s.message.status) << ' ' << std::dec
        << int(s.message.data1) << ' ' << int(s.message.data2);
}

Song make_song(const std::map<int, std::vector<TrackEvent>>& tracks) {
    Song song;
    for (const auto& [number, events] : tracks) {
        for (const TrackEvent& e : events) song.tracks[number].append_event(e);
    }
    return song;
}

constexpr TrackEvent S = kSyncEvent;
constexpr TrackEvent E = kEndEvent;

Stamped on(std::uint64_t tick, int track, int note) {
    return {tick, {std::uint8_t(0x90 + track), std::uint8_t(note), 127}};
}
Stamped off(std::uint64_t tick, int track, int note) {
    return {tick, {std::uint8_t(0x80 + track), std::uint8_t(note), 127}};
}

struct Case {
    std::string name;
    std::map<int, std::vector<TrackEvent>> tracks;
    std::vector<Stamped> expected;
    std::uint64_t done_tick;
    int left_out = 0;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Each event read on tick t with length L and gate G: note-on on t, note-off
// on t + G, next event on t + L + 1; marks take one tick.
const std::vector<Case> kCases = {
    {"OneQuarterNote", {{1, {{36, 24, 21}, S, E}}}, {on(0, 1, 60), off(21, 1, 60)}, 27},
    {"FasterTrackWaitsAtBarrier",
     {{1, {{36, 24, 21}, S, {38, 0, 1}, E}}, {2, {{36, 48, 42}, S, E}}},
     {on(0, 1, 60), on(0, 2, 60), off(21, 1, 60), off(42, 2, 60), on(50, 1, 62), off(51, 1, 62)},
     52},
    {"TracksZeroAndNineAreSilentAndNeverHoldTheBarrier",
     {{0, {{36, 24, 21}, S, E}}, {9, {{36, 24, 21}, S, E}}, {1, {{36, 2, 1}, S, {38, 2, 1}, E}}},
     {on(0, 1, 60), off(1, 1, 60), on(4, 1, 62), off(5, 1, 62)}, 8},
    {"EndedTrackDoesNotHoldTheBarrier", {{1, {E}}, {2, {{36, 2, 1}, S, {38, 2, 1}, E}}},
     {on(0, 2, 60), off(1, 2, 60), on(4, 2, 62), off(5, 2, 62)}, 8},
    {"TieLeavesOneSilentTick", {{3, {{36, 4, 4}, {36, 4, 4}, E}}},
     {on(0, 3, 60), off(4, 3, 60), on(5, 3, 60), off(9, 3, 60)}, 11},
    {"RestAndSilentNoteSendNothing", {{1, {{0, 3, 0}, {36, 3, 0}, {36, 0, 1}, E}}},
     {on(8, 1, 60), off(9, 1, 60)}, 10},
    {"HighestSentNoteIs127", {{1, {{103, 1, 1}, {104, 1, 1}, {252, 1, 1}, {0, 1, 1}, E}}},
     {on(0, 1, 127), off(1, 1, 127), on(6, 1, 24), off(7, 1, 24)}, 9, 2},
    {"NewNoteEndsTheOneStillSounding", {{1, {{36, 2, 5}, {38, 2, 2}, E}}},
     {on(0, 1, 60), off(3, 1, 60), on(3, 1, 62), off(5, 1, 62)}, 7},
    {"LeftOutNoteStillEndsTheOneSounding", {{1, {{36, 2, 9}, {110, 2, 9}, E}}},
     {on(0, 1, 60), off(3, 1, 60)}, 7, 1},
    {"RestCutsALongGate", {{1, {{36, 2, 9}, {0, 2, 0}, E}}}, {on(0, 1, 60), off(3, 1, 60)}, 7},
    {"MarkEndsTheNoteAndByte255TakesOneTick", {{1, {{36, 2, 9}, {255, 0, 0}, {38, 0, 1}, E}}},
     {on(0, 1, 60), off(3, 1, 60), on(4, 1, 62), off(5, 1, 62)}, 6},
    {"SyncMarkEndsALongGate", {{1, {{36, 2, 9}, S, E}}}, {on(0, 1, 60), off(3, 1, 60)}, 5},
    {"LongestEvent", {{8, {{36, 255, 255}, E}}}, {on(0, 8, 60), off(255, 8, 60)}, 257},
    {"TrackWithoutEndMarkEndsAfterItsLastEvent", {{1, {{36, 2, 1}}}},
     {on(0, 1, 60), off(1, 1, 60)}, 4},
    {"EmptySong", {}, {}, 1},
    {"BarrierReleasesAllWaitingTracksTogether",
     {{1, {{36, 0, 1}, S, {40, 0, 1}, E}},
      {2, {{38, 4, 1}, S, {41, 0, 1}, E}},
      {5, {S, {43, 0, 1}, E}}},
     {on(0, 1, 60), on(0, 2, 62), off(1, 1, 60), off(1, 2, 62), on(6, 1, 64), on(6, 2, 65),
      on(6, 5, 67), off(7, 1, 64), off(7, 2, 65), off(7, 5, 67)},
     8},
};

class PlayerCase : public testing::TestWithParam<Case> {};

TEST_P(PlayerCase, SendsExpectedMessagesAtTheirTicks) {
    const Case& c = GetParam();
    const Song song = make_song(c.tracks);
    std::vector<Stamped> got;
    const PlayThrough run = play_through(song, [&](std::uint64_t tick, const MidiMessage& m) {
        got.push_back({tick, m});
    });
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(run.done_tick, c.done_tick);
    EXPECT_EQ(run.left_out_notes, c.left_out);
}

INSTANTIATE_TEST_SUITE_P(Player, PlayerCase, testing::ValuesIn(kCases),
                         [](const auto& p) { return p.param.name; });

class Recorder : public MidiSink {
public:
    void send(const MidiMessage& m) override { messages.push_back(m); }
    std::vector<MidiMessage> messages;
};

TEST(Player, ReleaseAllEndsSoundingNotesOnce) {
    const Song song = make_song({{1, {{36, 9, 9}, E}}, {4, {{50, 9, 9}, E}}});
    Player player(song);
    Recorder sink;
    player.tick(sink);
    sink.messages.clear();
    player.release_all(sink);
    player.release_all(sink);
    const std::vector<MidiMessage> expected = {{0x81, 60, 127}, {0x84, 74, 127}};
    EXPECT_EQ(sink.messages, expected);
}

}  // namespace
}  // namespace zirvon::play
