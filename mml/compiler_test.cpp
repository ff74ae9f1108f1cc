#include "outputs/analysis.h"
#include "mml/compiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zirvon {

void PrintTo(const Diagnostic& d, std::ostream* os) {
    *os << (d.severity == Severity::error ? "error " : "warning ") << d.line << ':' << d.column
        << " \"" << d.message << '"';
}

namespace {

struct Compiled {
    Song song;
    /// Without their codes, token ends and reaches, which CodesAndSpans checks.
    std::vector<Diagnostic> diagnostics;
    DiagnosticCounts counts;
    bool ok = false;
};

Compiled compile_text(const std::string& text) {
    Compiled c;
    SourceAnalysis a = analyze_source(text, "t.mml");
    c.ok = a.ok();
    c.song = std::move(a.song);
    c.counts = a.counts;
    c.diagnostics = std::move(a.diagnostics);
    for (Diagnostic& d : c.diagnostics) {
        d.code = {};
        d.end_column = 0;
        d.reach_line = d.reach_column = 0;
    }
    return c;
}

struct DiagnosticCase {
    const char* mml;
    std::vector<Diagnostic> expected;
};

class CompilerDiagnostics : public testing::TestWithParam<DiagnosticCase> {};

TEST_P(CompilerDiagnostics, ArePointedAt) {
    const DiagnosticCase& tc = GetParam();
    const Compiled c = compile_text(tc.mml);
    EXPECT_EQ(c.diagnostics, tc.expected) << tc.mml;
    const bool has_error = std::any_of(tc.expected.begin(), tc.expected.end(),
                                       [](const Diagnostic& d) { return d.severity == Severity::error; });
    EXPECT_EQ(c.ok, !has_error);
}

constexpr Severity E = Severity::error;
constexpr Severity W = Severity::warning;
constexpr const char* kOutOfStep1 =
    "track 1 has 0 blocks, track 2 has 1 block: the voices wait for each other at every ']', so "
    "they fall out of step";
constexpr const char* kOverlap =
    "Q9 makes the note sound longer than it lasts (gate 27, length 24), so it overlaps the next "
    "one; Q8 sounds notes their full length";

INSTANTIATE_TEST_SUITE_P(
    Mml, CompilerDiagnostics,
    testing::Values(
        DiagnosticCase{"1[C]\r\n 4294967297[C] 10[D]",
                       {{E, 2, 12, "track number 4294967297 is outside 0-9"},
                        {E, 2, 18, "track number 10 is outside 0-9"}}},
        DiagnosticCase{"99999999999999999999[C]", {{E, 1, 21, "track number is far outside 0-9"}}},
        // An octave slip is one error at the command, however many notes it
        // puts out of range; one that no note uses is silent. O22 C is pitch
        // code 252, the highest, and above MIDI 127.
        DiagnosticCase{"1[O2 < < C D > E < > F]\n2[O22 C B O23 C]",
                       {{E, 1, 8, "octave 0 is below the lowest, O1; the 2 notes after it on track 1 are out of range"},
                        {W, 2, 7, "this note, MIDI 276, is above MIDI 127, the highest that plays; it is kept in "
                                  "the image but not heard"},
                        {E, 2, 9, "note is out of range: pitch code 263 is outside 0-252"},
                        {E, 2, 11, "octave 23 is above the highest, O22; the note after it on track 2 is out of range"}}},
        DiagnosticCase{"1[O10 C D]\n1[E O4 C O10 C] 2[C] 2[D]",
                       {{W, 1, 7, "the 3 notes from here to line 2 are above MIDI 127, the highest that plays; "
                                  "they are kept in the image but not heard"},
                        {W, 2, 14, "this note, MIDI 132, is above MIDI 127, the highest that plays; it is kept in "
                                   "the image but not heard"}}},
        DiagnosticCase{"1[O-1 C L+8 D]",
                       {{W, 1, 4, "'-' after 'O' is ignored: O takes no sign"},
                        {W, 1, 10, "'+' after 'L' is ignored: L takes no sign"}}},
        DiagnosticCase{"1[C5 R0]",
                       {{W, 1, 3, "length 5 is not a note length (1, 2, 4, 8, 16 or 32): it gives 0 ticks"}}},
        DiagnosticCase{"1[C%256 &D%300]",
                       {{W, 1, 3, "length of 256 ticks is cut to 8 bits: 0"},
                        {W, 1, 10, "length of 300 ticks is cut to 8 bits: 44"},
                        {W, 1, 10, "gate of 300 ticks is cut to 8 bits: 44"}}},
        DiagnosticCase{"1[Q80 C1]",
                       {{W, 1, 7, "gate of 960 ticks is cut to 8 bits: 192"},
                        {W, 1, 7,
                         "Q80 makes the note sound longer than it lasts (gate 960, length 96), so it "
                         "overlaps the next one; Q8 sounds notes their full length"}}},
        DiagnosticCase{"1[C V10 @]",
                       {{W, 1, 5, "unknown command 'V' is ignored"},
                        {W, 1, 9, "unknown command '@' is ignored"}}},
        DiagnosticCase{"1[C\x01]", {{W, 1, 4, "unknown command byte 0x01 is ignored"}}},
        DiagnosticCase{"1[R# C#]", {{W, 1, 4, "accidental after a rest is ignored"}}},
        DiagnosticCase{"hello, world! 1[C] ; V X", {}},
        DiagnosticCase{"x 1[C D ;E]",
                       {{W, 1, 4,
                         "block is not closed on this line: its notes are kept, but no sync mark is "
                         "written"}}},
        // Events of a block without a track go nowhere, and raise no more errors.
        DiagnosticCase{"12[O0 C]", {{E, 1, 3, "track number 12 is outside 0-9"}}},
        // Mistakes that would pass without a word, one row each.
        DiagnosticCase{"1[C D 2[E F]",
                       {{W, 1, 8,
                         "'[' inside the block opened at column 2: that block gets no sync mark, so its "
                         "voice falls out of step; close it with ']' first"},
                        {W, 1, 2, kOutOfStep1}}},
        DiagnosticCase{"2[C D E] 3]", {{W, 1, 11, "']' without an open block is ignored"}}},
        DiagnosticCase{"1[V8 A8 V4 b W2 L]",
                       {{W, 1, 3, "unknown command 'V' is ignored; its number 8 goes on to 'A', which becomes "
                                  "A88: not a note length (1, 2, 4, 8, 16 or 32), so it lasts 0 ticks"},
                        {W, 1, 9, "unknown command 'V' is ignored; its number 4 goes on to 'B', which becomes B4 "
                                  "(24 ticks)"},
                        {W, 1, 14, "unknown command 'W' is ignored; its number 2 goes on to 'L', which becomes L2"}}},
        // The second bytes of Shift-JIS characters that read as MML: one
        // warning a line. The first byte of one in a block gets none.
        DiagnosticCase{"1[C \x83\x41 \x83\x43]",
                       {{W, 1, 5, "a Shift-JIS character's second byte is read as 'A', a note, and so is one "
                                  "more on this line; write comments after ';'"}}},
        // A Shift-JIS title: what its long vowel marks' '[' open is not warned about again.
        DiagnosticCase{"\x83\x81\x83\x8D\x83\x66\x83\x42\x81\x5B\x81\x75\x82\xC6\x82\x78\x81\x5B\x81\x76\n1[C V]",
                       {{W, 1, 9, "a Shift-JIS character's second byte is read as '[', which opens a block, and so "
                                  "is one more on this line; write comments after ';'"},
                        {W, 2, 5, "unknown command 'V' is ignored"}}},
        DiagnosticCase{"Tempo 120: 1[C]",
                       {{E, 1, 7,
                         "track number 1201 is outside 0-9; text outside blocks is a comment, but digits "
                         "there join the next block's track number: put them after ';'"}}},
        DiagnosticCase{"", {{W, 0, 0, "nothing to hear: tracks 1 to 8 hold no notes (notes go in blocks such as 1[C D E])"}}},
        DiagnosticCase{"[C] 0[E] 9[D] 1[R]",
                       {{W, 1, 1, "this block has no track number, so it goes to track 0, which is kept in the "
                                  "image but not played"},
                        {W, 0, 0,
                         "nothing to hear: tracks 1 to 8 hold no notes (tracks 0 and 9 are kept in the "
                         "image but not played)"}}},
        DiagnosticCase{"1\xEF\xBC\xBB C \xEF\xBC\xBD",
                       {{W, 0, 0,
                         "nothing to hear: tracks 1 to 8 hold no notes (full-width brackets open no "
                         "block: write n[ ... ] with ASCII brackets)"}}},
        DiagnosticCase{"1[C] 1[D]\n2[E] 2[F]\n3[G]",
                       {{W, 3, 2,
                         "track 3 has 1 block, tracks 1 and 2 have 2 blocks: the voices wait for each "
                         "other at every ']', so they fall out of step"}}},
        // Written side by side, the counts part where a block is missing.
        DiagnosticCase{"1[C] 2[C]\n1[D]\n1[E] 2[E]",
                       {{W, 2, 2,
                         "track 2 has 2 blocks, track 1 has 3 blocks: the voices wait for each other at "
                         "every ']', so they fall out of step; the counts part on this line, where track 2 "
                         "has no block 2"}}},
        DiagnosticCase{"1[Q9 C D] 1[E] 1[Q8 F]",
                       {{W, 1, 6, kOverlap}, {W, 1, 13, kOverlap}}},
        DiagnosticCase{"1[C \xC3\xA9]", {{W, 1, 5, "unknown character '\xC3\xA9' is ignored (MML is written in ASCII)"}}},
        // Characters of three and four bytes; bytes that start none.
        DiagnosticCase{"1[C ! \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x82 \xF5\x80\x80\x80]",
                       {{W, 1, 5, "unknown command '!' is ignored"},
                        {W, 1, 7, "unknown character '\xE2\x82\xAC' is ignored (MML is written in ASCII)"},
                        {W, 1, 11, "unknown character '\xF0\x9F\x98\x80' is ignored (MML is written in ASCII)"},
                        {W, 1, 16, "unknown command byte 0xE2 is ignored"},
                        {W, 1, 17, "unknown command byte 0x82 is ignored"},
                        {W, 1, 19, "unknown command byte 0xF5 is ignored"},
                        {W, 1, 20, "unknown command byte 0x80 is ignored"},
                        {W, 1, 21, "unknown command byte 0x80 is ignored"},
                        {W, 1, 22, "unknown command byte 0x80 is ignored"}}},
        // An empty block is a block too.
        DiagnosticCase{"1[C] 1[D]\n2[]",
                       {{W, 2, 2,
                         "track 2 has 1 block, track 1 has 2 blocks: the voices wait for each other at "
                         "every ']', so they fall out of step"}}},
        DiagnosticCase{"1[C% C%0 C%30.]",
                       {{W, 1, 4,
                         "'%' without a number makes the default length 4 a count of ticks: the note "
                         "lasts 4 ticks"},
                        {W, 1, 7, "'%0' makes the default length 4 a count of ticks: the note lasts 4 ticks"},
                        {W, 1, 14, "a dot does nothing with '%': the note lasts 30 ticks"}}}));

TEST(Compiler, FullTrackIsOneErrorAtTheFirstEventThatDoesNotFit) {
    std::string mml = "1[";
    for (int i = 0; i < 9'998; ++i) mml += 'C';
    mml += "]\r\n1[DE]";  // the SyncMark is the 9,999th event: room for the EndMark only
    const Compiled c = compile_text(mml);
    EXPECT_EQ(c.diagnostics,
              (std::vector<Diagnostic>{
                  {E, 2, 3, "track 1 is full: a track holds at most 10,000 events, its end mark included"}}));
    EXPECT_EQ(c.song.tracks[1].count(), kTrackCapacity);
}

TEST(Compiler, ImageOfMoreThan65535DataBytesIsAnError) {
    // 21,845 events make 65,535 bytes: 10 EndMarks and 21,835 others.
    auto song_of = [](int notes) {
        std::string mml;
        for (int k = 0; notes > 0; ++k) {
            const int here = std::min(notes, 9'999);
            mml += std::to_string(k) + "[" + std::string(static_cast<std::size_t>(here), 'C') + "\r\n";
            notes -= here;
        }
        return compile_text(mml);
    };
    const Compiled fits = song_of(21'835);
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(fits.song.event_count(), 21'845u);
    // Data past 52,902 bytes runs beyond the target's memory when loaded at 0x315A.
    const Diagnostic beyond_memory{W, 0, 0,
                                   "the image holds 52905 bytes of data; loaded at 0x315A, only 52902 "
                                   "fit below the end of the 64 KB address space, so it cannot load "
                                   "on the target"};
    EXPECT_EQ(song_of(17'624).diagnostics.back().line, 2);  // the last line's open block, no more
    EXPECT_EQ(song_of(17'625).diagnostics.back(), beyond_memory);
    const Compiled too_big = song_of(21'836);
    EXPECT_FALSE(too_big.ok);
    ASSERT_FALSE(too_big.diagnostics.empty());
    EXPECT_EQ(too_big.diagnostics.back(),
              (Diagnostic{E, 0, 0,
                          "the tape image would hold 65538 bytes of data; at most 65535 fit in its "
                          "header"}));
}

TEST(Compiler, CountsButDoesNotKeepEndlessDiagnostics) {
    std::string mml;
    for (int i = 0; i < 1500; ++i) mml += "1[V] 12[C]\n";
    const Compiled c = compile_text(mml);
    EXPECT_FALSE(c.ok);
    ASSERT_EQ(c.diagnostics.size(), 2u * Compiler::kMaxShown + 1);
    EXPECT_EQ(c.diagnostics.back(),
              (Diagnostic{Severity::note, 0, 0, "500 more warnings and 500 more errors not shown"}));
    EXPECT_EQ(c.counts.errors, 1500);
    EXPECT_EQ(c.counts.warnings, 1500);
}

// What an editor marks: each kind of message has its code, and a message
// about a command covers the command with its number, dots and accidentals.
TEST(Compiler, CodesAndSpans) {
    struct Case {
        const char* mml;
        std::string_view code;
        int column;
        int end;
    };
    const Case cases[] = {
        {"1[C#8.. D]", "", 0, 0},  // no message: a row to show the rest are exact
        {"1[O22 D+8 C]", "note-range", 7, 10},
        {"1[O1 < C]", "octave-range", 6, 7},
        {"1[O0 C]", "octave-range", 3, 5},
        {"1[O10 C#8]", "above-midi", 7, 10},
        {"x [C]", "no-track-number", 3, 4},
        {"1[\x83\x41]", "shift-jis", 3, 5},
        {"1[O-1 C]", "parameter-sign", 4, 5},
        {"1[C5 D]", "note-length", 3, 5},
        {"1[C5;", "note-length", 3, 5},
        {"1[C5", "note-length", 3, 5},
        {"x 12[C]", "track-number", 5, 6},
        {"T1 2[C]", "track-number", 2, 6},
        {"1[C Ã©]", "unknown-character", 5, 7},
        {"1[C] 1[D]\n2[]", "block-count", 2, 3},
        {"", "nothing-to-hear", 0, 1},
        {"1[C", "unclosed-block", 2, 3},
        {"1[Q9 C%300]", "gate-overlap", 6, 11},
    };
    for (const Case& c : cases) {
        const std::vector<Diagnostic> d = analyze_source(c.mml, "t.mml").diagnostics;
        const auto found = std::find_if(d.begin(), d.end(), [&](const Diagnostic& x) { return x.code == c.code; });
        if (c.code.empty()) {
            EXPECT_TRUE(d.empty()) << c.mml;
            continue;
        }
        ASSERT_NE(found, d.end()) << c.mml;
        EXPECT_EQ(found->column, c.column) << c.mml;
        EXPECT_EQ(found->line == 0, c.column == 0) << c.mml;
        EXPECT_EQ(found->token_end(), c.end) << c.mml;
    }
    // A slipped octave reaches the last note it puts out of range.
    const Diagnostic slip = analyze_source("1[O0 C]\n1[D E]\n1[O4 F]", "t.mml").diagnostics.at(0);
    EXPECT_EQ(std::pair(slip.reach_line, slip.reach_column), std::pair(2, 5));
}

// A compile that skips the places of events gives the same song, problems
// and groups, and no place: sources that warn, fail, and fill a track.
TEST(Analysis, SkippingPlacesChangesNothingElse) {
    const std::vector<std::string> sources{
        "1[C8. R] 2[D]\n; rest\n1[E&F] 0[G]\n2[A",
        "1[O0 C] 12[C] ]\r\n3[L3 C%300 Q9 D]",
        "1[" + std::string(10'001, 'C') + "]\n2[C]",
    };
    for (const std::string& text : sources) {
        const SourceAnalysis kept = analyze_source(text, "t.mml");
        const SourceAnalysis skipped = analyze_source(text, "t.mml", EventPlaces::skipped);
        EXPECT_EQ(skipped.diagnostics, kept.diagnostics) << text;
        EXPECT_EQ(skipped.groups.size(), kept.groups.size()) << text;
        for (std::size_t g = 0; g < kept.groups.size() && g < skipped.groups.size(); ++g) {
            EXPECT_EQ(skipped.groups[g].open, kept.groups[g].open) << text;
            EXPECT_EQ(skipped.groups[g].end_event, kept.groups[g].end_event) << text;
        }
        for (int k = 0; k < kTrackCount; ++k) {
            const Track& t = skipped.song.tracks[k];
            EXPECT_EQ(t.events(), kept.song.tracks[k].events()) << text;
            for (std::size_t i = 0; i < t.count(); ++i) ASSERT_EQ(t.place(i), EventPlace{}) << text;
        }
    }
}

// Every event knows the note, rest or ']' that made it; every group its
// events; every block the lines of its groups.
TEST(Analysis, PlacesGroupsAndBlocks) {
    const SourceAnalysis a = analyze_source("1[C8. R] 2[D]\n; rest\n1[E&F] 0[G]\n2[A", "t.mml");
    const Track& t1 = a.song.tracks[1];
    const std::vector<EventPlace> places = {{1, 3, 6}, {1, 7, 8}, {1, 8, 9}, {3, 3, 4}, {3, 5, 6}, {3, 6, 7}};
    for (std::size_t i = 0; i < places.size(); ++i) EXPECT_EQ(t1.place(i), places[i]) << i;
    EXPECT_EQ(t1.place(places.size()), EventPlace{});  // the end mark
    ASSERT_EQ(a.groups.size(), 5u);
    const SourceGroup& open = a.groups[4];
    EXPECT_EQ(open.track, 2);
    EXPECT_EQ(open.open, (EventPlace{4, 2, 3}));
    EXPECT_EQ(open.close, EventPlace{});
    EXPECT_EQ(open.end_event - open.first_event, 1u);  // A, and no sync mark
    EXPECT_EQ(a.groups[3].track, 0);
    EXPECT_EQ(a.block_of_group(3), 0u);
    const std::vector<SourceBlock> blocks = a.blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].groups, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(blocks[1].groups, (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(blocks[1].first_line, 3u);
    EXPECT_EQ(blocks[1].last_line, 4u);
    EXPECT_EQ(blocks[1].start_tick, a.map().block_starts[1]);
    EXPECT_EQ(blocks[1].end_tick, a.map().done_tick);
}

// A place in the source plays from the tick its note is read on, or to the
// tick it ends on; between notes, the next one counts.
TEST(Analysis, PositionsPickTheTicksOfTheirNotes) {
    // Track 1: C read on 0, D8 on 25, ']' on 38; released on 50 (track 2's
    // C2 lasts 49 ticks), E on 50. Track 2: C2 on 0, ']' on 49, F on 50.
    const SourceAnalysis a = analyze_source("1[C D8] 2[C2]\n1[E] 2[F]", "t.mml");
    struct Case {
        std::uint64_t line, column;
        std::uint64_t from, to;
    };
    const Case cases[] = {
        {1, 3, 0, 25},   // on C
        {1, 5, 25, 38},  // on the D of D8
        {1, 6, 25, 38},  // on its 8
        {1, 4, 25, 38},  // the blank before D: D is next
        {1, 7, 38, 50},  // track 1's ']', which ends on the release
        {1, 8, 0, 49},   // between the groups: track 2's C2 is next
        {2, 1, 50, 75},  // the start of the line: E
        {2, 9, 75, 76},  // track 2's ']' on line 2, read as F ends; its end mark on 76
    };
    for (const Case& c : cases) {
        play::PassageRequest request;
        request.from = play::Bound{play::Bound::Kind::position, c.line, "", c.column};
        request.to = play::Bound{play::Bound::Kind::position, c.line, "", c.column};
        std::string error;
        const auto from = play::resolve_passage({request.from, {}, play::kAllPlayedTracks}, a.song, a.map(), error);
        const auto to = play::resolve_passage({{}, request.to, play::kAllPlayedTracks}, a.song, a.map(), error);
        ASSERT_TRUE(from && to) << c.line << ':' << c.column << ' ' << error;
        EXPECT_EQ(from->start, c.from) << c.line << ':' << c.column;
        EXPECT_EQ(to->end, c.to) << c.line << ':' << c.column;
    }
}

}  // namespace
}  // namespace zirvon
