#include "lsp/line_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zirvon::lsp {
namespace {

TEST(LineIndex, PositionsCountUtf16UnitsAndEveryByteThatIsNotUtf8AsOne) {
    // Line 0: a, é (2 bytes), 😀 (4 bytes, 2 units), \x81 (not UTF-8), b;
    // line 1 ends with a lone CR; line 2 with CR LF; line 3 has a cut
    // three-byte character (2 bytes, 2 units).
    const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80\x81" "b\n1[C]\r2[D]\r\n\xE3\x81z";
    const LineIndex index(text);
    EXPECT_EQ(index.position_of(text.size()).line, 3);
    struct Case {
        std::size_t offset;
        Position position;
    };
    const std::vector<Case> cases{
        {0, {0, 0}}, {1, {0, 1}}, {3, {0, 2}}, {7, {0, 4}}, {8, {0, 5}}, {9, {0, 6}},
        {10, {1, 0}}, {14, {1, 4}}, {15, {2, 0}}, {21, {3, 0}}, {23, {3, 2}}, {24, {3, 3}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(index.position_of(c.offset), c.position) << "offset " << c.offset;
        EXPECT_EQ(index.offset_of(c.position), c.offset) << "offset " << c.offset;
    }
    // Inside a character, past a line's end, past the last line.
    EXPECT_EQ(index.position_of(2), (Position{0, 1}));
    EXPECT_EQ(index.position_of(5), (Position{0, 2}));
    EXPECT_EQ(index.offset_of({0, 3}), 3u);
    EXPECT_EQ(index.offset_of({1, 99}), 14u);
    EXPECT_EQ(index.offset_of({2, 99}), 19u);
    EXPECT_EQ(index.offset_of({9, 0}), text.size());
    EXPECT_EQ(index.offset_of({-1, 5}), 0u);

    // The compiler ends lines at LF only: the lone CR is a byte of line 2.
    const SourceText source(text);
    EXPECT_EQ(source.offset_of(2, 5), 14u);
    EXPECT_EQ(source.offset_of(3, 1), 21u);
    EXPECT_EQ(source.offset_of(2, 99), 21u);
    EXPECT_EQ(source.offset_of(9, 1), text.size());
    EXPECT_EQ(source.place_of(15), (std::pair<std::uint32_t, std::uint32_t>{2, 6}));
}

TEST(SourcePositions, AgreeWithTheEditorsLinesOnEveryOffsetAndPosition) {
    // Texts of lone CRs, CR LF pairs, LFs and characters of 1 to 4 bytes,
    // with and without an end of line at their end.
    std::mt19937 rng(23);
    const std::vector<std::string> pieces{"\r", "\n", "\r\n", "a", "\xC3\xA9", "\xF0\x9F\x98\x80", "\x81", "1[C]"};
    for (int i = 0; i < 400; ++i) {
        std::string text;
        for (std::size_t n = rng() % 12; n > 0; --n) text += pieces[rng() % pieces.size()];
        const LineIndex editor(text);
        const SourceText source(text);
        const SourcePositions positions(source);
        for (std::size_t offset = 0; offset <= text.size() + 1; ++offset) {
            ASSERT_EQ(positions.position_of(offset), editor.position_of(offset)) << testing::PrintToString(text);
        }
        const std::int64_t lines = editor.position_of(text.size()).line + 2;
        for (std::int64_t line = -1; line <= lines; ++line) {
            for (std::int64_t character = 0; character <= 6; ++character) {
                ASSERT_EQ(positions.offset_of({line, character}), editor.offset_of({line, character}))
                    << testing::PrintToString(text) << " " << line << ":" << character;
            }
        }
    }
}

TEST(LineIndex, EditsKeepTheSameLinesAsReadingTheTextAfresh) {
    // Edits that join and split CR LF pairs, at the ends and in between.
    std::mt19937 rng(19);
    const std::vector<std::string> pieces{"", "\r", "\n", "\r\n", "a", "\xC3\xA9", "1[C D]", "\n\r"};
    LineIndex edited("1[C]\r\n2[D]\r3[E]\n");
    for (int i = 0; i < 5000; ++i) {
        const std::size_t size = edited.text().size();
        const std::size_t from = rng() % (size + 1);
        const std::size_t to = from + rng() % (std::min<std::size_t>(size - from, 4) + 1);
        std::string with = pieces[rng() % pieces.size()] + pieces[rng() % pieces.size()];
        if (edited.text().size() > 400) with.clear();
        edited.replace(from, to, with);
        const LineIndex fresh(edited.text());
        const auto lines = static_cast<std::size_t>(fresh.position_of(fresh.text().size()).line) + 1;
        for (std::size_t line = 0; line <= lines; ++line) {
            const Position at{static_cast<std::int64_t>(line), 0};
            ASSERT_EQ(edited.offset_of(at), fresh.offset_of(at)) << "edit " << i << ", line " << line;
        }
    }
}

}  // namespace
}  // namespace zirvon::lsp
