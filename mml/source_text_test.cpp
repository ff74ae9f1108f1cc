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

}  // namespace
}  // namespace zirvon
