#include "play/player.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>
#include "tests/songs.h"

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

using testing_support::make_song;

constexpr TrackEvent E = kEndEvent;

Stamped on(std::uint64_t tick, int track, int note) {
    return {tick, {std::uint8_t(0x90 + track), std::uint8_t(note), 127}};
}
Stamped off(std::uint64_t tick, int track, int note) {
    return {tick, {std::uint8_t(0x80 + track), std::uint8_t(note), 127}};
}

// Each event read on tick t with length L and gate G: note-on on t, note-off
// on t + G, next event on t + L + 1; marks take one tick. The MIDI file model
// test plays random songs; these are the corners it seldom or never makes.
TEST(Player, SendsTheMessagesOfEachEventOnItsTicks) {
    const struct {
        const char* name;
        std::map<int, std::vector<TrackEvent>> tracks;
        std::vector<Stamped> expected;
        std::uint64_t done_tick;
        int left_out = 0;
    } cases[] = {
        {"the highest note sent is 127",
         {{1, {{103, 1, 1}, {104, 1, 1}, {252, 1, 1}, {0, 1, 1}, E}}},
         {on(0, 1, 127), off(1, 1, 127), on(6, 1, 24), off(7, 1, 24)}, 9, 2},
        {"a mark ends the note; byte 255 takes one tick",
         {{1, {{36, 2, 9}, {255, 0, 0}, {38, 0, 1}, E}}},
         {on(0, 1, 60), off(3, 1, 60), on(4, 1, 62), off(5, 1, 62)}, 6},
        {"the longest event", {{8, {{36, 255, 255}, E}}}, {on(0, 8, 60), off(255, 8, 60)}, 257},
        {"a track without its end mark ends after its last event", {{1, {{36, 2, 1}}}},
         {on(0, 1, 60), off(1, 1, 60)}, 4},
        {"an empty song", {}, {}, 1},
    };
    for (const auto& c : cases) {
        std::vector<Stamped> got;
        const Song song = make_song(c.tracks);
        const PlayThrough run = play_through(song, [&](std::uint64_t tick, const MidiMessage& m) {
            got.push_back({tick, m});
        });
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(run.done_tick, c.done_tick) << c.name;
        EXPECT_EQ(run.left_out_notes, c.left_out) << c.name;
    }
}

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
