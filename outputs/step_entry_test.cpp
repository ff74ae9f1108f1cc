#include "outputs/step_entry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mml/note_length.h"
#include "outputs/analysis.h"

namespace zirvon {
namespace {

/// `text` with its `|` taken out: the source, and the byte offset of the place.
std::pair<std::string, std::size_t> placed(std::string text) {
    const std::size_t at = text.find('|');
    text.erase(at, 1);
    return {text, at};
}

StepEntry enter(const std::string& marked, std::vector<int> keys, std::optional<EntryLength> length = {}) {
    const auto [source, at] = placed(marked);
    return step_entry(source, at, keys, length);
}

/// The event at the byte offset `at` of the compiled `analysis`.
std::optional<TrackEvent> event_at(const SourceAnalysis& analysis, std::size_t at, int track) {
    const auto [line, column] = analysis.source.place_of(at);
    const Track& t = analysis.song.tracks[track];
    for (std::size_t i = 0; i < t.count(); ++i) {
        if (t.place(i).line == line && t.place(i).column == column) return t.events()[i];
    }
    return std::nullopt;
}

// Every key of the range, at places with several octaves and default lengths
// in force, with several lengths chosen: inserted and compiled, the event at
// the place is the key's pitch and the length chosen, and nothing else of
// the track changes but the one event more.
TEST(StepEntry, EveryKeyCompilesBackToItsPitchAndLength) {
    struct Place {
        std::string marked;
        int default_ticks;  ///< of a note with no length there
    };
    const std::vector<Place> places{
        {"1[O4 L4 C D|]", 24},      {"2[O1 L8 R|]", 12},  {"3[O9 L16 E|]", 6},          {"4[O5 >|] 5[C]", 24},
        {"1[O7 L2 C]\n8[L32 O2]\n1[D|]", 48}, {"5[O30 L4 |]", 24}, {"6[O3 C|4. D]", 24}, {"7[O6 L1 |4C]", 96},
        {"9[O4 L3 C|]", 0},         {"0[O22 L8 C |]", 12}, {"1[C&|D]", 24}};
    const std::vector<std::optional<EntryLength>> lengths{
        std::nullopt, EntryLength{1, 0}, EntryLength{8, 0}, EntryLength{2, 1}, EntryLength{32, 0}};
    int pitches = 0;
    for (const auto& [marked, default_ticks] : places) {
        const auto [source, at] = placed(marked);
        const SourceAnalysis before = analyze_source(source, "t.mml");
        for (const std::optional<EntryLength>& length : lengths) {
            for (int key = kLowestEntryKey; key <= kHighestEntryKey; ++key) {
                const std::vector<int> keys{key};
                const StepEntry e = step_entry(source, at, keys, length);
                const std::string label = marked + " key " + std::to_string(key) + " length " +
                                          (length ? std::to_string(length->number) : "default");
                ASSERT_TRUE(e.error.empty()) << label << ": " << e.error;
                const std::string edited = source.substr(0, e.offset) + e.text + source.substr(e.offset);
                const SourceAnalysis after = analyze_source(edited, "t.mml");
                const std::size_t letter = e.offset + e.text.find_first_of("CDEFGAB");
                const std::optional<TrackEvent> got = event_at(after, letter, e.track);
                ASSERT_TRUE(got) << label << ": " << edited;
                EXPECT_EQ(got->note, key - kPitchToMidi) << label << ": " << edited;
                const int ticks = length ? length_ticks(MmlNumber::of(static_cast<std::uint64_t>(length->number)),
                                                        static_cast<std::uint64_t>(length->dots))
                                         : default_ticks;
                EXPECT_EQ(got->length, ticks) << label << ": " << edited;
                EXPECT_EQ(after.song.tracks[e.track].count(), before.song.tracks[e.track].count() + 1) << label;
                if (!length) ++pitches;
            }
        }
    }
    EXPECT_EQ(pitches, static_cast<int>(places.size()) * (kHighestEntryKey - kLowestEntryKey + 1));
}

TEST(StepEntry, WritesTheShortestTextThatReadsAsTheKey) {
    struct Case {
        std::string marked;
        std::vector<int> keys;
        std::optional<EntryLength> length;
        std::string text;
    };
    const std::vector<Case> cases{
        {"1[O4 |]", {60}, {}, "C"},
        {"1[O4 |]", {61}, {}, "C#"},
        {"1[O4 |]", {71}, {}, "B"},
        {"1[O4 |]", {72}, {}, ">C"},
        {"1[O4 |]", {48}, {}, "<C"},
        {"1[O4 |]", {84}, {}, ">>C"},  // two marks or `O6`: the marks
        {"1[O4 |]", {96}, {}, "O7C"},
        {"1[O4 |]", {127}, {}, "O9G"},
        {"1[O12 |]", {120}, {}, "O9C"},
        {"1[O11 |]", {120}, {}, "<<C"},  // two marks or `O9`: the marks
        {"1[O30 |]", {60}, {}, "O4C"},  // out of range: no octave to count from
        {"1[O4 <<<|]", {60}, {}, "O4C"},
        {"1[L8 |]", {60}, EntryLength{8, 0}, "C"},
        {"1[L8 |]", {60}, EntryLength{4, 0}, "C4"},
        {"1[L8 |]", {60}, EntryLength{8, 1}, "C8."},
        {"1[L8 |]", {}, EntryLength{16, 0}, "R16"},
        {"1[L8 |]", {}, {}, "R"},
        {"1[C|4 D]", {62}, {}, "D"},            // after the C's number
        {"1[|4C]", {62}, {}, "D "},             // before a number: a blank keeps it off
        {"1[C\x81|]", {62}, {}, " D"},          // after a byte that may start a Shift-JIS character
        {"1[O2 L16 C]\n1[|]", {38}, EntryLength{16, 0}, "D"},  // the octave and length carry over lines
    };
    for (const Case& c : cases) {
        const StepEntry e = enter(c.marked, c.keys, c.length);
        EXPECT_EQ(e.error, "") << c.marked;
        EXPECT_EQ(e.text, c.text) << c.marked << " key " << (c.keys.empty() ? 0 : c.keys[0]);
    }
    EXPECT_EQ(enter("1[C|4 D]", {62}).offset, 4u);
}

TEST(StepEntry, KeysTogetherEnterTheLowestWithANote) {
    const StepEntry e = enter("1[O4 |]", {67, 60, 64});
    EXPECT_EQ(e.text, "C");
    EXPECT_EQ(e.pitch, 36);
    EXPECT_EQ(e.note, "3 keys pressed together: only the lowest, MIDI 60, is entered");
}

TEST(StepEntry, RefusesWhatCannotBeWritten) {
    struct Case {
        std::string marked;
        std::vector<int> keys;
        std::optional<EntryLength> length;
        std::string error;
    };
    const std::vector<Case> cases{
        {"1[|]", {23}, {}, "MIDI note 23 is outside what MML writes, MIDI 24 (C in O1) to 127"},
        {"1[|]", {128}, {}, "MIDI note 128 is outside what MML writes, MIDI 24 (C in O1) to 127"},
        {"1[|]", {60}, EntryLength{3, 0}, "length 3 is not a note length (1, 2, 4, 8, 16 or 32, with up to 3 dots)"},
        {"1[C] |", {60}, {}, "the place is not inside a block of a track 0-9, `n[ ... ]`"},
        {"|1[C]", {60}, {}, "the place is not inside a block of a track 0-9, `n[ ... ]`"},
        {"12[C|]", {60}, {}, "the place is not inside a block of a track 0-9, `n[ ... ]`"},
        {"1[C ; |]", {60}, {}, "the place is in a comment"},
    };
    for (const Case& c : cases) {
        const StepEntry e = enter(c.marked, c.keys, c.length);
        EXPECT_EQ(e.error, c.error) << c.marked;
        EXPECT_EQ(e.text, "") << c.marked;
    }
}

}  // namespace
}  // namespace zirvon
