#include "mml/source_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zirvon {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    const SourceText source(text);
    std::vector<std::string> lines;
    for (int k = 0; k < source.count_lines(); ++k) lines.emplace_back(source.line(k));
    return lines;
}

TEST(SourceText, LinesEndAtCrLfOrBareLf) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    // The reference model test mixes the line ends of random sources; these
    // are the ends of a text and the bytes it never writes.
    const std::vector<Case> cases{
        {"A\r\nB", {"A", "B"}},
        {"", {""}},
        {"A\nB\r\n", {"A", "B"}},
        {"A\r\r\n", {"A\r"}},
        {"\n\n", {"", ""}},
        {"A\r", {"A\r"}},
        {std::string("A\0B", 3), {std::string("A\0B", 3)}},
    };
    for (const Case& c : cases) EXPECT_EQ(lines_of(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(SourceText, OutOfRangeLinesAreEmpty) {
    const SourceText source("A\r\n");
    EXPECT_EQ(source.line(-1), "");
    EXPECT_EQ(source.line(1), "");
    EXPECT_EQ(source.line(0).size(), 1u);
}

// The count is kept in pieces of 8-bit sums: texts longer than a piece,
// and with more control bytes than a byte counts, must tip where half of
// all bytes are control bytes, neither sooner nor later.
TEST(SourceText, MostlyControlBytesIsNotText) {
    const auto text = [](std::size_t control, char c, std::size_t plain) {
        return why_not_text(std::string(control, c) + std::string(plain, 'C')).empty();
    };
    EXPECT_FALSE(text(300, '\x01', 0));
    EXPECT_TRUE(text(1000, '\x01', 1000));
    EXPECT_FALSE(text(1001, '\x01', 1000));
    EXPECT_FALSE(text(700, '\x7F', 699));
    for (const char allowed : {'\t', '\r', '\n', '\x1A', '\x80', '\xFF'}) EXPECT_TRUE(text(1000, allowed, 0));
}

}  // namespace
}  // namespace zirvon
