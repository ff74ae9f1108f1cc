#include "live/progress.h"

#include <gtest/gtest.h>

#include "cassette/cassette_writer.h"
#include "live/preview.h"
#include "live/signal_play.h"
#include "text/format.h"

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

// /cassette /play says which part of the signal goes out and the time left,
// rounded up, so that 0:00 comes only at the end.
TEST(ProgressLine, SignalProgressSaysThePartAndTheTimeLeft) {
    std::vector<std::uint8_t> image(128 + 3, 0);
    image[0] = 0xC8;
    image[18] = 3;
    const cassette::CassetteSignal signal(image, cassette::CassetteFormat{});
    const auto& sections = signal.sections();
    const auto at = [&](std::string_view what) {
        for (const cassette::CassetteSection& s : sections) {
            if (s.what == what) return s.first_frame + s.frames / 2;
        }
        ADD_FAILURE() << "no " << what;
        return std::uint64_t{0};
    };
    const auto left = [&](std::uint64_t frame) {
        return minutes_seconds((signal.frames() - frame + 44099) / 44100 * 50) + " left";
    };
    for (const char* what : {"gap", "tape mark", "header", "header copy", "data", "data copy"}) {
        const ProgressText text = signal_progress_text("song.MZT on JACK", signal, at(what));
        EXPECT_EQ(text.head + text.name + text.tail,
                  "Sending song.MZT on JACK  " + std::string(what) + "  " + left(at(what)));
    }
    const ProgressText end = signal_progress_text("t", signal, signal.frames());
    EXPECT_EQ(end.tail, "  end  0:00 left");
}

}  // namespace
}  // namespace zirvon::live
