// Code actions in process: each edit is applied to the text and the result
// compiled, so what is checked is the music, not the spelling.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lsp/features.h"

namespace zirvon::lsp {
namespace {

const std::string kUri = "file:///songs/a.mml";

json actions_of(const std::string& text, Position from, Position to) {
    Document doc(kUri, text);
    return code_actions(*doc.snapshot(), {{"textDocument", {{"uri", kUri}}}, {"range", range_json(from, to)}});
}

std::string applied(const std::string& text, const json& action) {
    LineIndex lines(text);
    const json& edits = action["edit"]["changes"][kUri];
    // From the last edit back, so the earlier positions still hold.
    for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
        const std::size_t from = lines.offset_of(position_from((*it)["range"]["start"]));
        const std::size_t to = lines.offset_of(position_from((*it)["range"]["end"]));
        lines.replace(from, to, (*it)["newText"].get<std::string>());
    }
    return lines.text();
}

const json* titled(const json& actions, const std::string& title) {
    for (const json& a : actions) {
        if (a["title"] == title) return &a;
    }
    return nullptr;
}

TEST(LspCodeActions, SelectionRewritesChangeOnlyTheSelectedNotes) {
    struct Case {
        std::string text;
        Position from, to;
        const char* title;
        int pitch;     ///< what each selected note gains
        int length;    ///< 2: doubled, -2: halved, 0: kept
        std::string refusal;
    };
    const std::vector<Case> cases{
        {"1[C D E F]\n", {0, 4}, {0, 7}, "Transpose up a semitone", 1, 0, ""},
        {"1[c+ d- E B]\n", {0, 2}, {0, 12}, "Transpose up a semitone", 1, 0, ""},
        {"1[C4 D# E]\n", {0, 2}, {0, 9}, "Transpose down a semitone", -1, 0, ""},
        {"1[C E] 2[E G]\n1[F]\n", {0, 4}, {0, 11}, "Transpose down a semitone", -1, 0, ""},
        {"1[O4 C D O5 E F] 2[C]\n1[G A]\n", {0, 8}, {0, 14}, "Transpose up an octave", 12, 0, ""},
        {"1[C >D <E]\n1[F]\n", {0, 5}, {0, 9}, "Transpose down an octave", -12, 0, ""},
        {"1[O4 C D] 2[E]\n1[F]\n", {0, 2}, {0, 8}, "Transpose up an octave", 12, 0, ""},
        {"1[C D] 2[E F] 3[G]\n1[C]\n", {0, 2}, {0, 11}, "Transpose up an octave", 12, 0, ""},
        {"1[O1 C D]\n", {0, 5}, {0, 8}, "Transpose down an octave", 0, 0,
         "the note at line 1, column 6 would go below the lowest note, C1"},
        {"1[O22 C]\n", {0, 6}, {0, 7}, "Transpose up a semitone", 0, 0,
         "the note at line 1, column 7 would go above the highest note, C22"},
        {"1[L8 C D4 E8. R%10 F]\n1[G]\n", {0, 5}, {0, 18}, "Double the lengths", 0, 2, ""},
        {"1[C D2 E4. R F%12]\n", {0, 2}, {0, 17}, "Halve the lengths", 0, -2, ""},
        {"1[C1 D]\n", {0, 2}, {0, 6}, "Double the lengths", 0, 0,
         "C1 at line 1, column 3 (96 ticks) has no length twice as long"},
        {"1[C32]\n", {0, 2}, {0, 5}, "Halve the lengths", 0, 0,
         "C32 at line 1, column 3 (3 ticks) has no length half as long"},
        {"1[C%7]\n", {0, 2}, {0, 5}, "Halve the lengths", 0, 0,
         "C%7 at line 1, column 3 (7 ticks) has no length half as long"},
    };
    for (const Case& c : cases) {
        const std::string name = c.text + " " + c.title;
        const json actions = actions_of(c.text, c.from, c.to);
        const json* action = titled(actions, c.title);
        ASSERT_NE(action, nullptr) << name;
        if (!c.refusal.empty()) {
            EXPECT_EQ((*action)["disabled"]["reason"], c.refusal) << name;
            continue;
        }
        ASSERT_TRUE(action->contains("edit")) << name << ": " << *action;
        const std::string result = applied(c.text, *action);
        const SourceAnalysis before = analyze_source(c.text, "a.mml");
        const SourceAnalysis after = analyze_source(result, "a.mml");
        EXPECT_EQ(after.counts.errors, 0) << name << " -> " << result;
        for (int k = 0; k < kTrackCount; ++k) {
            const Track& was = before.song.tracks[k];
            const Track& is = after.song.tracks[k];
            ASSERT_EQ(was.count(), is.count()) << name << " -> " << result;
            for (std::size_t i = 0; i < was.count(); ++i) {
                TrackEvent want = was.events()[i];
                const EventPlace p = was.place(i);
                const Position at{p.line - 1, p.column - 1};
                const bool selected = p.line != 0 && want.note != SyncMark &&
                                      std::pair(at.line, at.character) >= std::pair(c.from.line, c.from.character) &&
                                      std::pair(at.line, at.character) < std::pair(c.to.line, c.to.character);
                if (selected && want.gate != 0) want.note = static_cast<std::uint8_t>(want.note + c.pitch);
                if (selected && c.length != 0) {
                    want.length = static_cast<std::uint8_t>(c.length > 0 ? want.length * 2 : want.length / 2);
                }
                EXPECT_EQ(is.events()[i].note, want.note) << name << " -> " << result << ": track " << k << " event " << i;
                EXPECT_EQ(is.events()[i].length, want.length) << name << " -> " << result << ": track " << k << " event " << i;
            }
        }
    }
    // A cursor offers no rewrite; a selection of no notes neither, nor a
    // client that asks for quick fixes only.
    Document doc(kUri, "1[C D]\n");
    const json only_fixes = code_actions(*doc.snapshot(), {{"range", range_json({0, 0}, {0, 6})},
                                                           {"context", {{"only", {"quickfix"}}}}});
    for (const json& none : {actions_of("1[C D]\n", {0, 3}, {0, 3}), actions_of("; C D\n1[C]\n", {0, 0}, {0, 5}),
                             only_fixes}) {
        EXPECT_EQ(none, json::array());
    }
}

TEST(LspCodeActions, QuickFixesRepairWhatTheirDiagnosticSays) {
    struct Case {
        std::string text;
        Position at;
        std::string fixed;  ///< empty: no fix offered
    };
    const std::vector<Case> cases{
        {"l[C D]\n", {0, 1}, "1[C D]\n"},
        {"1[C] I[E]\n", {0, 6}, "1[C] 1[E]\n"},
        {"1[C D  ; the end\n", {0, 1}, "1[C D]  ; the end\n"},
        {"1[C D\r\n", {0, 2}, "1[C D]\r\n"},
        {"1[C3 D]\n", {0, 3}, "1[C4 D]\n"},
        {"1[C12 D64]\n", {0, 3}, "1[C16 D64]\n"},
        {"1[C D64]\n", {0, 6}, "1[C D32]\n"},
        {"x[C D]\n", {0, 1}, ""},
        {"1[L3 C D]\n", {0, 5}, ""},
    };
    for (const Case& c : cases) {
        json fixes = json::array();
        for (const json& a : actions_of(c.text, c.at, c.at)) {
            if (a["kind"] == "quickfix") fixes.push_back(a);
        }
        if (c.fixed.empty()) {
            EXPECT_TRUE(fixes.empty()) << c.text << fixes;
            continue;
        }
        ASSERT_EQ(fixes.size(), 1u) << c.text << fixes;
        EXPECT_EQ(applied(c.text, fixes[0]), c.fixed) << c.text;
        const std::string code = fixes[0]["diagnostics"][0]["code"];
        const auto count = [&](const std::string& text) {
            const auto& all = analyze_source(text, "a.mml").diagnostics;
            return std::count_if(all.begin(), all.end(), [&](const Diagnostic& d) { return d.code == code; });
        };
        EXPECT_EQ(count(c.fixed), count(c.text) - 1) << c.fixed;
    }
}

}  // namespace
}  // namespace zirvon::lsp
