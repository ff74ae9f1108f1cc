// The steps of an import that decide what is kept: where notes are too
// many at once, where bars hold together, what a tempo map may hold.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "mml/song_checks.h"
#include "smf/midi_import_test.h"

namespace zirvon::smf {
namespace {

/// Notes are left out only where more than eight sound at once, and then
/// never the highest or lowest of that moment. At division 96 and 120 a
/// quarter, 4 file ticks round to one 20 ms tick.
TEST(MidiImport, OnlyANinthNoteAtOnceIsLeftOut) {
    using Note = std::array<int, 4>;  // line, start, end, key
    struct Case {
        const char* what;
        std::vector<Note> notes;
        std::set<int> left_out;  // keys
    };
    std::vector<Note> held;  // seven notes under it all
    for (int i = 0; i < 7; ++i) held.push_back({i, 0, 384, 40 + i});
    const auto with_held = [&held](std::vector<Note> more) {
        more.insert(more.end(), held.begin(), held.end());
        return more;
    };
    std::vector<Note> rolled;  // nine notes a tick apart, the top last
    for (int i = 0; i < 9; ++i) rolled.push_back({i, 4 * i, 192, 48 + 3 * i});
    const Case cases[] = {
        // A note of one tick, then one on its tick: eight sound at once.
        {"one tick, then another", with_held({{7, 96, 100, 80}, {8, 100, 300, 81}}), {}},
        {"rolled up", rolled, {48 + 3 * 7}},
        {"nine at once", with_held({{7, 96, 200, 80}, {8, 100, 300, 60}}), {60}},
    };
    for (const Case& c : cases) {
        FileMaker f(96, 10);
        for (const auto& [line, start, end, key] : c.notes) f.note(line + 1, 0, start, end, key);
        const ImportedSong imported = import_and_check(f.bytes(), c.what);
        const ImportSummary& s = imported.summary;
        EXPECT_EQ(s.dropped_crowded, c.left_out.size()) << c.what;
        EXPECT_EQ(s.dropped_no_room, 0u) << c.what;
        std::set<int> left_out;
        for (const Note& n : c.notes) left_out.insert(n[3]);
        for (const ImportedNote& n : imported.notes) left_out.erase(n.pitch + kPitchToMidi);
        EXPECT_EQ(left_out, c.left_out) << c.what;
    }
}

/// Songs whose bars all hold together: a note held under the whole song,
/// music a half bar off its time signature, or a tick ahead of it. Each
/// keeps its notes in blocks of four bars at most; one too long for an image
/// is cut after a bar.
TEST(MidiImport, NotesHeldOverEveryBarLineAreStruckAgain) {
    // Eighths of a tune, a note held under all of it or not, and where it starts.
    struct Case {
        const char* what;
        int notes;
        bool drone;
        std::uint64_t off;
        bool empty_bar = false;  // a time signature of 0/4 first: bar lines at tick 0
    };
    const Case cases[] = {
        {"drone, cut to fit", 30'000, true, 0},
        {"drone", 64, true, 0},
        {"half a bar off", 64, false, 192},
        {"a tick before each bar", 64, false, 380},
        {"drone after bars of nothing", 64, true, 0, true},
    };
    for (const Case& c : cases) {
        FileMaker f(96);
        const std::uint64_t end = c.off + static_cast<std::uint64_t>(c.notes) * 48;
        if (c.empty_bar) {
            f.meter(0, 0, 2);
            f.meter(1, 4, 2);
        }
        if (c.drone) f.note(1, 1, 0, end, 36);
        for (int i = 0; i < c.notes; ++i) {
            // Off the beat, each bar's last note is tied over its bar line.
            const std::uint64_t at = c.off + static_cast<std::uint64_t>(i) * 48;
            f.note(1, 0, at, at + (c.drone ? 48 : 384), 60 + i % 12);
        }
        const ImportedSong imported = import_and_check(f.bytes(), c.what);
        const ImportSummary& s = imported.summary;
        EXPECT_GT(s.kept, 0u) << c.what;
        EXPECT_GT(s.restruck_at_bars, 0u) << c.what;
        // At 120 a quarter, a bar of 4/4 is 100 ticks.
        for (std::size_t j = 1; j < imported.block_starts.size(); ++j) {
            EXPECT_LE(imported.block_starts[j] - imported.block_starts[j - 1], 400u) << c.what;
        }
        if (s.dropped_past_end) {
            EXPECT_EQ(s.length_ticks, s.cut_after_bar * 100) << c.what;
            EXPECT_LE(imported.song.event_count() * 3, kMaxLoadableData) << c.what;
            const std::string cut = "(the song ends after bar " + std::to_string(s.cut_after_bar);
            std::string text;
            for (const std::string& line : summary_lines(s, "x.mid")) text += line + '\n';
            EXPECT_NE(text.find(cut + ")\n"), std::string::npos) << text;
        } else {
            EXPECT_EQ(s.kept, static_cast<std::size_t>(c.notes + c.drone)) << c.what;
        }
    }
}

/// A tempo of 0 is left out with a warning; counts are written one way.
TEST(MidiImport, ATempoOfZeroIsWarnedAboutAndCountsHaveCommas) {
    FileMaker f(96);
    f.tempo(0, 0);
    for (int i = 0; i < 1'200; ++i) f.note(1, i % 2 ? 0 : 9, i * 24, i * 24 + 24, 60);
    const std::vector<std::string> lines =
        summary_lines(import_and_check(f.bytes(), "zero").summary, "z.mid");
    EXPECT_EQ(lines.front(),
              "z.mid: 600 of 1,200 notes kept on 1 track, 75 bars in 75 blocks, 2:30.00");
    EXPECT_EQ(lines.back(),
              "warning: 'z.mid' sets a tempo of 0 (no time passes) once: ignored, the tempo before "
              "it goes on");
}

}  // namespace
}  // namespace zirvon::smf
