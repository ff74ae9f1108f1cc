#include "mml/mml_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "outputs/analysis.h"

namespace zirvon {
namespace {

Song compile(const std::string& text, bool* ok = nullptr) {
    SourceAnalysis a = analyze_source(text, "t.mml");
    if (ok) *ok = a.ok();
    return std::move(a.song);
}

Song song_of(std::vector<std::vector<TrackEvent>> tracks) {
    Song song;
    tracks.resize(kTrackCount);
    for (int k = 0; k < kTrackCount; ++k) {
        for (const TrackEvent& e : tracks[k]) song.tracks[k].append_event(e);
        song.tracks[k].append_event(kEndEvent);
    }
    return song;
}

void expect_same(const Song& a, const Song& b, const std::string& text) {
    for (int k = 0; k < kTrackCount; ++k) {
        ASSERT_EQ(a.tracks[k].events(), b.tracks[k].events()) << "track " << k << "\n" << text;
    }
}

/// Whether some MML gives a note of length byte `length` the gate byte
/// `gate`: every gate, but for lengths with 16 as a factor (whose ticks
/// times a ratio, over 8, are even, or multiples of 4, 8 or 16), where only
/// those, a ratio of 0 (gate 1) and a tie (the full length) are left.
bool reachable(int length, int gate) {
    if (length == 0) return gate <= 1 || gate % 32 == 0;
    int factor = 1;
    while (length % (factor * 2) == 0) factor *= 2;
    const int step = factor >= 16 ? factor / 8 : 1;
    return gate % step == 0 || gate == 1 || gate == length;
}

TEST(MmlWriter, EveryLengthAndGateComesBackOrIsReported) {
    for (int length = 0; length < 256; ++length) {
        std::vector<TrackEvent> events;
        for (int gate = 0; gate < 256; ++gate) {
            const int note = (length * 7 + gate) % (kHighestPitch + 1);
            events.push_back({static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(length),
                              static_cast<std::uint8_t>(gate)});
        }
        const Song song = song_of({{}, events});
        const WrittenMml mml = write_mml(song);
        bool ok = false;
        const Song back = compile(mml.text, &ok);
        ASSERT_TRUE(ok) << mml.text;
        std::set<std::size_t> reported;
        for (const MmlChange& c : mml.changes) reported.insert(c.index);
        const auto& got = back.tracks[1].events();
        ASSERT_EQ(got.size(), events.size() + 1);
        for (int gate = 0; gate < 256; ++gate) {
            const auto i = static_cast<std::size_t>(gate);
            const bool rest = events[i].note == 0 && gate == 0;
            const bool expected = reachable(length, gate) || rest;
            EXPECT_EQ(reported.count(i) == 0, expected) << "length " << length << " gate " << gate;
            if (expected) {
                EXPECT_EQ(got[i], events[i]) << "length " << length << " gate " << gate;
            } else {
                EXPECT_EQ(got[i].note, events[i].note);
                EXPECT_EQ(got[i].length, events[i].length);
            }
        }
    }
}

TEST(MmlWriter, EveryPitchCodeOnEveryTrack) {
    std::vector<std::vector<TrackEvent>> tracks(kTrackCount);
    for (int k = 0; k < kTrackCount; ++k) {
        for (int p = 0; p <= kHighestPitch; ++p) {
            // Up, down and in jumps, so that O, > and < all come up.
            const int note = k % 2 ? kHighestPitch - p : (p * 37 + k) % (kHighestPitch + 1);
            tracks[k].push_back({static_cast<std::uint8_t>(note), 24, 21});
            if (p % 50 == 49) tracks[k].push_back(kSyncEvent);
        }
    }
    const Song song = song_of(tracks);
    const WrittenMml mml = write_mml(song);
    EXPECT_TRUE(mml.changes.empty());
    expect_same(compile(mml.text), song, mml.text);
}

/// Sources whose songs hold the corners of the dialect: each compiles, is
/// written, and the writing compiles to the same song.
TEST(MmlWriter, OddCornersOfSourcesComeBack) {
    const std::vector<std::string> sources = {
        "1[C D E F G A B]",
        "1[O1 C] 2[O22 C] 0[C D] 9[E F]",
        "1[C3 &C3 R3 C64]",                          // lengths of 0 ticks
        "1[C%256 &C%256 Q0 C%256 Q3 C%512 R%256]",   // lengths cut to 8 bits
        "1[Q0 C Q1 C Q9 C Q2048 C%24 Q100000 C%7]",  // gates past the length, cut gates
        "1[L0 C L1 C L64 C L4 C. C.. C...]",         // default lengths and dots
        "1[&C &C16 Q8 C &R4 C%1 C%255 &C%255]",
        "1[C D\n1[E F]\n1[G",        // blocks left open
        "1[] 2[] 3[C]\n1[C] 2[]\n",  // empty blocks
        "5[C]\n5[D]\n5[E]\n0[]\n9[]\n9[]",
        "1[O4 C+ D- E# F-- B+ C++++ >C <<C]",
        "1[L8 C D E F G A B > C] 2[L16 Q4 CCCCCCCC CCCCCCCC]",
    };
    for (const std::string& source : sources) {
        const Song song = compile(source);
        const WrittenMml mml = write_mml(song);
        EXPECT_TRUE(mml.changes.empty()) << source;
        expect_same(compile(mml.text), song, source + "\n" + mml.text);
    }
}

TEST(MmlWriter, AFullTrackComesBack) {
    std::vector<TrackEvent> events(kTrackCapacity - 1, TrackEvent{36, 12, 10});
    for (std::size_t i = 99; i < events.size(); i += 100) events[i] = kSyncEvent;
    const Song song = song_of({{}, {}, {}, events});
    const WrittenMml mml = write_mml(song);
    EXPECT_TRUE(mml.changes.empty());
    bool ok = false;
    expect_same(compile(mml.text, &ok), song, "");
    EXPECT_TRUE(ok);
}

TEST(MmlWriter, MarksNoMmlGivesAreReported) {
    Song song = song_of({{}, {{36, 24, 21}, {SyncMark, 3, 4}, {255, 24, 21}, {40, 24, 21}}});
    const WrittenMml mml = write_mml(song);
    ASSERT_EQ(mml.changes.size(), 2u);
    EXPECT_EQ(mml.changes[0].track, 1);
    EXPECT_EQ(mml.changes[0].index, 1u);
    EXPECT_EQ(mml.changes[0].what, "the sync mark's length and gate become 0");
    EXPECT_EQ(mml.changes[1].index, 2u);
    EXPECT_EQ(mml.changes[1].what,
              "note code 255 (which only ends the sounding note) becomes a rest of 0 ticks");
    const Song back = compile(mml.text);
    EXPECT_EQ(back.tracks[1].events()[1], kSyncEvent);
    EXPECT_EQ(back.tracks[1].events()[2], (TrackEvent{0, 0, 0}));
}

TEST(MmlWriter, ReadsAsAPersonWouldWriteIt) {
    const Song song = compile(
        "1[O4 L4 Q7 G A B G]  2[O3 L4 Q6 R1]  3[O2 Q8 G2 D2]\n"
        "1[A8 B8 >C< B G]     2[G A B G]      3[G2 D2]\n"
        "1[G2 &G4 R4]         2[G%7 F#16.]\n");
    // A control byte in a header line (a file name with a line break) stays in its comment.
    const WrittenMml mml = write_mml(song, {"tape name CANON", "from a\nb"});
    EXPECT_EQ(mml.text,
              "; tape name CANON\n"
              "; from a?b\n"
              "1[G A B G]        2[R1]           3[L2 Q8 <<G D]  ; block 1  0:00.00\n"
              "1[A8 B8 >C <B G]  2[Q6 <G A B G]  3[G D]          ; block 2  0:02.02\n"
              "1[G2 &G R]        2[G%7 F#16.]                    ; block 3  0:04.06\n");
}

}  // namespace
}  // namespace zirvon
