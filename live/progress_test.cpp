#include "live/progress.h"
#include "live/preview.h"
#include "text/format.h"

#include <gtest/gtest.h>

namespace zirvon::live {
namespace {

TEST(FormatProgress, ShowsTheBlockAndMinutesAndSecondsOfTicks) {
    struct Case {
        std::uint64_t ticks;
        const char* text;
    } cases[] = {
        {0, "0:00"}, {49, "0:00"}, {50, "0:01"}, {500, "0:10"}, {3250, "1:05"},
        {3000 * 60, "60:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(minutes_seconds(c.ticks), c.text) << c.ticks;
    const auto whole = [](const ProgressText& t) { return t.head + t.name + t.tail; };
    EXPECT_EQ(whole(format_progress("song.MML", 3, 12, 600, 3250)), "Playing song.MML  block 3/12  0:12 / 1:05");
    EXPECT_EQ(whole(format_progress("song.MML", 0, 0, 0, 1)), "Playing song.MML  0:00 / 0:00");
    // A passage of block 2 ends on block 3's first tick, and shows block 2.
    play::SongMap map;
    map.block_starts = {0, 10, 20, 30};
    map.done_tick = 40;
    EXPECT_EQ(progress_text("s", map, {10, 20}, 10, 20).tail, "  block 2/4  0:00 / 0:00");
}

std::string written(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

TEST(ProgressLine, RewritesInPlaceOnlyWhenTheTextChangesBlanksLeftoversAndClears) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    // A terminal of 24 columns: the line uses 23, and a long name is cut
    // in its middle, between characters (each ä takes two bytes, one column).
    ProgressLine line(file, [] { return std::size_t{24}; });
    line.clear();  // nothing shown: nothing to blank
    line.show({"", "", "block 9/10"});
    line.show({"", "", "block 9/10"});
    line.show({"", "", "block 10/10"});
    line.show({"", "", "block 1/10"});  // a loop's next turn: shorter
    line.clear();
    line.show({"", "", "block 1/10"});  // after a clear, written again
    line.show({"On ", "\xC3\xA4\xC3\xA4\xC3\xA4long-folder/name.mml", " 1/2"});
    line.clear();
    EXPECT_EQ(written(file), "\rblock 9/10"
                             "\rblock 10/10"
                             "\rblock 1/10 \b"
                             "\r" + std::string(10, ' ') + "\r"
                             "\rblock 1/10"
                             "\rOn \xC3\xA4\xC3\xA4\xC3\xA4long...me.mml 1/2"
                             "\r" + std::string(23, ' ') + "\r");
    std::fclose(file);
}

}  // namespace
}  // namespace zirvon::live
