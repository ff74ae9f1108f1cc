#include "smf/midi_import_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "mml/mml_writer.h"
#include "outputs/analysis.h"
#include "play/passage.h"
#include "play/player.h"
#include "smf/wide_number.h"

namespace zirvon::smf {
namespace {

struct Played {
    std::uint64_t on = 0;
    std::uint64_t off = 0;
    int key = 0;
};

}  // namespace

ImportedSong import_and_check(const Bytes& bytes, const std::string& what) {
    ImportedSong imported;
    std::string error;
    EXPECT_TRUE(import_midi(bytes, imported, error)) << what << ": " << error;
    const Song& song = imported.song;
    const WrittenMml mml = write_mml(song, {"imported"});
    EXPECT_TRUE(mml.changes.empty()) << what;
    const SourceAnalysis a = analyze_source(mml.text, "t.mml");
    EXPECT_EQ(a.counts.errors, 0) << what;
    const bool any_note = !imported.notes.empty();
    EXPECT_EQ(a.counts.warnings, any_note ? 0 : 1) << what << "\n" << mml.text;
    for (int k = 0; k < kTrackCount; ++k) {
        EXPECT_EQ(a.song.tracks[k].events(), song.tracks[k].events()) << what << " track " << k;
    }

    // Every note-on and note-off the player sends, by track.
    std::array<std::vector<Played>, kTrackCount> played;
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        auto& notes = played[m.status & 0x0F];
        if ((m.status & 0xF0) == 0x90) {
            notes.push_back({tick, 0, m.data1});
        } else {
            EXPECT_FALSE(notes.empty());
            if (!notes.empty()) notes.back().off = tick;
        }
    });
    std::array<std::vector<const ImportedNote*>, kTrackCount> expected;
    for (const ImportedNote& n : imported.notes) expected[n.track].push_back(&n);
    for (int k = 0; k < kTrackCount; ++k) {
        std::sort(expected[k].begin(), expected[k].end(),
                  [](const ImportedNote* x, const ImportedNote* y) { return x->on < y->on; });
        // A note held past 255 ticks is struck again: its parts are one note.
        std::vector<Played> merged;
        for (const Played& p : played[k]) {
            if (!merged.empty() && merged.back().key == p.key && merged.back().off + 1 == p.on &&
                std::none_of(expected[k].begin(), expected[k].end(),
                             [&](const ImportedNote* n) { return n->on == p.on; })) {
                merged.back().off = p.off;
            } else {
                merged.push_back(p);
            }
        }
        EXPECT_EQ(merged.size(), expected[k].size()) << what << " track " << k;
        if (merged.size() != expected[k].size()) continue;
        for (std::size_t i = 0; i < merged.size(); ++i) {
            const ImportedNote& n = *expected[k][i];
            EXPECT_EQ(merged[i].key, n.pitch + kPitchToMidi) << what;
            EXPECT_EQ(merged[i].on, n.on) << what << " track " << k << " note " << i;
            EXPECT_EQ(merged[i].off, n.release) << what << " track " << k << " note " << i;
            if (!n.moved) {
                EXPECT_EQ(n.on, n.start) << what;
                EXPECT_TRUE(n.release == n.end || n.release + 1 == n.end) << what;
            }
        }
    }

    // Blocks: each starts on the same tick on every track that plays.
    const play::SongMap map = play::map_song(song);
    if (any_note) {
        EXPECT_EQ(map.releases.size() + 1, imported.block_starts.size()) << what;
        for (std::size_t j = 0; j < map.releases.size() && j + 1 < imported.block_starts.size();
             ++j) {
            EXPECT_EQ(map.releases[j], imported.block_starts[j + 1]) << what;
        }
        for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
            const auto& events = song.tracks[k].events();
            std::size_t block = 0;
            for (std::size_t i = 0; i + 1 < events.size(); ++i) {
                if (events[i].note != SyncMark) continue;
                ++block;
                // The event after the sync mark is read as the block starts.
                if (block < imported.block_starts.size()) {
                    EXPECT_EQ(map.read_ticks[k][i + 1], imported.block_starts[block])
                        << what << " track " << k;
                }
            }
        }
    }

    // The counts add up.
    const ImportSummary& s = imported.summary;
    EXPECT_EQ(
        s.kept + s.dropped_crowded + s.dropped_no_room + s.dropped_percussion + s.dropped_past_end,
        s.notes_in_file)
        << what;
    // A note struck again at bar lines comes in parts, moved if one is.
    std::size_t parts = 0;
    std::size_t moved = 0;
    for (std::size_t i = 0, any = 0; i < imported.notes.size(); ++i) {
        const auto& n = imported.notes;
        parts += n[i].continued;
        any = n[i].moved || (n[i].continued && any);
        if (i + 1 == n.size() || !n[i + 1].continued) moved += any;
    }
    EXPECT_EQ(s.kept + parts, imported.notes.size()) << what;
    EXPECT_EQ(s.restruck_at_bars, parts) << what;
    EXPECT_EQ(s.moved, moved) << what;
    // Only kept notes are counted as changed.
    EXPECT_LE(s.shorter_than_a_tick + s.moved_at_bar_lines, s.moved) << what;
    EXPECT_LE(std::max(s.raised, s.restruck), s.kept) << what;
    return imported;
}

namespace {

TEST(MidiImport, AScaleAtTheUnitsOwnTempoIsPlainMml) {
    FileMaker f(96);
    const int keys[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < 8; ++i) f.note(1, 0, i * 96, i * 96 + 96, keys[i]);
    const ImportedSong imported = import_and_check(f.bytes(), "scale");
    EXPECT_EQ(write_mml(imported.song).text,
              "1[Q8 C D E F%23]  ; block 1  0:00.00\n"
              "1[G A B >C%23]    ; block 2  0:02.00\n");
    const ImportSummary& s = imported.summary;
    EXPECT_EQ(
        summary_lines(s, "scale.mid"),
        (std::vector<std::string>{
            "scale.mid: 8 of 8 notes kept on 1 track, 2 bars in 2 blocks, 0:04.00",
            "  moved: 2 notes (2 released a tick early: a bar's sync mark takes its last tick)",
            "  largest timing change: 0.0 ms at a start, 40.0 ms at a release",
            "  not kept: velocities (all 100)"}));
}

TEST(MidiImport, ChordsSpreadOverTracksAndTheNinthNoteIsLeftOut) {
    FileMaker f(96);
    // Nine notes at once: the middle one, and the shortest of the rest, goes.
    const int keys[] = {48, 52, 55, 60, 64, 67, 72, 76, 79};
    for (int i = 0; i < 9; ++i) f.note(1, 0, 0, i == 4 ? 96 : 192, keys[i]);
    f.note(1, 9, 0, 48, 36);     // percussion
    f.note(1, 0, 400, 500, 12);  // below MIDI 24: up two octaves
    const ImportedSong imported = import_and_check(f.bytes(), "chord");
    const ImportSummary& s = imported.summary;
    EXPECT_EQ(s.dropped_crowded, 1u);
    EXPECT_EQ(s.crowded_bars, std::vector<std::size_t>{1});
    EXPECT_EQ(s.dropped_percussion, 1u);
    EXPECT_EQ(s.raised, 1u);
    EXPECT_EQ(s.tracks_used, 8);
    EXPECT_TRUE(std::none_of(imported.notes.begin(), imported.notes.end(),
                             [](const ImportedNote& n) { return n.pitch == 64 - 24; }));
    EXPECT_TRUE(std::any_of(imported.notes.begin(), imported.notes.end(),
                            [](const ImportedNote& n) { return n.pitch == 0; }));
}

TEST(MidiImport, LongNotesAreStruckAgain) {
    FileMaker f(96);
    f.note(1, 0, 0, 96 * 40, 60);  // 20 s
    EXPECT_EQ(import_and_check(f.bytes(), "held").summary.restruck, 1u);
}

TEST(MidiImport, AFileWithoutNotesIsAnEmptySong) {
    FileMaker f(96);
    f.tempo(0, 400'000);
    const ImportedSong imported = import_and_check(f.bytes(), "empty");
    EXPECT_EQ(imported.song.event_count(), static_cast<std::size_t>(kTrackCount));
    EXPECT_EQ(imported.summary.notes_in_file, 0u);
}

TEST(MidiImport, RandomFilesKeepEveryNoteOnItsTick) {
    std::mt19937 rng(20240521);
    const auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    for (int round = 0; round < 150; ++round) {
        const int division = pick(0, 3) == 0 ? pick(1, 30) : 24 * pick(1, 40);
        const int tracks = pick(1, 5);
        FileMaker f(division, tracks + 1);
        const std::uint64_t span = static_cast<std::uint64_t>(division) * pick(4, 64);
        for (int t = pick(0, 6); t > 0; --t) {
            f.tempo(pick(0, 3) ? static_cast<std::uint64_t>(pick(0, static_cast<int>(span))) : 0,
                    static_cast<std::uint32_t>(pick(150'000, 2'000'000)));
        }
        for (int m = pick(0, 3); m > 0; --m) {
            f.meter(static_cast<std::uint64_t>(pick(0, static_cast<int>(span))), pick(1, 13),
                    pick(0, 4));
        }
        for (int n = pick(0, 120); n > 0; --n) {
            const std::uint64_t start = static_cast<std::uint64_t>(pick(0, static_cast<int>(span)));
            // Some shorter than a tick, some chords, some long.
            const int roll = pick(0, 9);
            const std::uint64_t length =
                roll == 0   ? 0
                : roll == 1 ? 1
                            : static_cast<std::uint64_t>(pick(1, division * (roll == 2 ? 16 : 2)));
            const int channel = pick(0, 10) == 0 ? 9 : pick(0, 3);
            const int key = pick(0, 9) == 0 ? pick(0, 30) : pick(36, 96);
            f.note(pick(1, tracks), channel, start, start + length, key, pick(1, 127));
            if (pick(0, 3) == 0)
                f.note(pick(1, tracks), channel, start, start + length, key + pick(1, 12));
        }
        import_and_check(f.bytes(), "random file " + std::to_string(round));
        if (testing::Test::HasFailure()) break;
    }
}

Bytes read_music(const std::string& name) {
    std::ifstream in(std::string(ZIRVON_MUSIC_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct MusicCase {
    const char* file;
    std::size_t kept;
    std::size_t dropped;
    std::size_t bars;
    std::size_t blocks;
};

/// Music that LilyPond wrote: a chorale in four voices, a dance with a
/// pickup, triplets, ties over the bar line and drums, a tune whose tempo
/// changes bar after bar and ends on a nine-note chord.
TEST(MidiImport, RealMusicWrittenWithLilyPond) {
    const MusicCase cases[] = {
        {"chorale.mid", 139, 0, 10, 10},
        {"folk.mid", 54, 32, 8, 3},
        {"tempo.mid", 116, 1, 21, 21},
    };
    for (const MusicCase& c : cases) {
        const Bytes bytes = read_music(c.file);
        ASSERT_FALSE(bytes.empty()) << c.file;
        const ImportedSong imported = import_and_check(bytes, c.file);
        const ImportSummary& s = imported.summary;
        EXPECT_EQ(s.kept, c.kept) << c.file;
        EXPECT_EQ(s.dropped_crowded + s.dropped_no_room + s.dropped_percussion + s.dropped_past_end,
                  c.dropped)
            << c.file;
        EXPECT_EQ(s.bars, c.bars) << c.file;
        EXPECT_EQ(s.blocks, c.blocks) << c.file;
        // Rounding moves a start by half a tick at most.
        EXPECT_LE(s.largest_start_change, 10'000u) << c.file;
        for (const std::string& line : summary_lines(s, c.file)) std::printf("%s\n", line.c_str());
    }
}

}  // namespace
}  // namespace zirvon::smf

namespace zirvon::smf::import {
namespace {

// The tempo map's 128-bit arithmetic, which 32-bit builds cannot leave to
// the compiler: products past 64 bits, carries, and quotients that do not fit.
TEST(Wide, ProductsSumsAndQuotientsAreExact) {
    const std::uint64_t max = UINT64_MAX;
    const Wide square = Wide::product(max, max);  // 2^128 - 2^65 + 1
    EXPECT_EQ(square.high, max - 1);
    EXPECT_EQ(square.low, 1u);
    const Wide carried = Wide{0, max} + Wide{0, 1};
    EXPECT_EQ(carried.high, 1u);
    EXPECT_EQ(carried.low, 0u);
    EXPECT_EQ(Wide::product(1'001'000'000, 3'000'000'000'000).divided_by(3'000'000'000'000), 1'001'000'000u);
    EXPECT_EQ((Wide::product(max, 7) + Wide{0, 5}).divided_by(7), max);
    EXPECT_EQ(Wide::product(max, 8).divided_by(7), max);  // past 64 bits: the largest
    EXPECT_EQ(Wide::product(123'456'789'012, 987'654'321).divided_by(1'000), 121'932'631'124'487'120u);
}

}  // namespace
}  // namespace zirvon::smf::import
