#include "picture/piano_roll.h"

#include <gtest/gtest.h>

#include "mml/compiler.h"
#include "outputs/analysis.h"
#include "picture/layout.h"

namespace zirvon::picture {
namespace {

TEST(RowBreaks, AtBlockStartsWhereTheNextBlockFitsElseInsideALongBlock) {
    const struct {
        const char* name;
        std::uint64_t length;
        std::vector<std::uint64_t> blocks;
        std::vector<RowSpan> rows;
    } cases[] = {
        {"one short row", 50, {}, {{0, 50}}},
        {"no blocks: full rows", 250, {}, {{0, 100}, {100, 200}, {200, 250}}},
        {"whole blocks in each row", 170, {40, 80, 130}, {{0, 80}, {80, 170}}},
        {"a block that fills a row exactly", 200, {100}, {{0, 100}, {100, 200}}},
        {"a long block starts in the row before", 300, {30}, {{0, 100}, {100, 200}, {200, 300}}},
        {"a long block, then short ones", 260, {10, 180, 230}, {{0, 100}, {100, 180}, {180, 260}}},
    };
    for (const auto& c : cases) {
        std::vector<BlockLine> lines;
        for (std::size_t i = 0; i < c.blocks.size(); ++i) lines.push_back({i + 2, c.blocks[i]});
        EXPECT_EQ(break_rows(c.length, lines, 100), c.rows) << c.name;
    }
}

std::string draw(const std::string& mml, const PictureTitle& title, std::uint64_t start = 0,
                 std::uint64_t end = 0) {
    const SourceAnalysis a = analyze_source(mml, "t.mml");
    EXPECT_TRUE(a.ok());
    const Song& song = a.song;
    const play::SongMap& map = a.map();
    return draw_piano_roll(
        collect_roll(song, map, {start, end == 0 ? map.done_tick : end, play::kAllPlayedTracks}), title);
}

std::string title_of(const std::string& svg) {
    const std::size_t from = svg.find("<title>") + 7;
    return svg.substr(from, svg.find("</title>") - from);
}

TEST(PianoRoll, TitleNamesTheSongAndCountsWhatItShows) {
    const PictureTitle names{"song.MML", "TUNE"};
    const std::string two_blocks = "1[C D E F G A B C] 2[C2]\n1[O9 A] 2[C]\n";
    EXPECT_EQ(title_of(draw(two_blocks, names)),
              "song.MML \u00B7 TUNE \u00B7 0:04 \u00B7 2 blocks \u00B7 10 notes, 1 left out");
    EXPECT_EQ(title_of(draw(two_blocks, names, 100, 220)),
              "song.MML \u00B7 TUNE \u00B7 0:02 from 0:02 \u00B7 blocks 1-2 of 2 \u00B7 5 notes, 1 "
              "left out");

    // Names are text, whatever bytes they hold.
    EXPECT_EQ(title_of(draw("1[C]", {"a<b>&\x01\xFF.MML", "\"Q'"})),
              "a&lt;b&gt;&amp;\xEF\xBF\xBD\xEF\xBF\xBD.MML \u00B7 &quot;Q&#39; \u00B7 0:00 \u00B7 "
              "1 block \u00B7 1 note");
}

}  // namespace
}  // namespace zirvon::picture
