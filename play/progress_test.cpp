#include "play/progress.h"

#include <gtest/gtest.h>

namespace zirvon::play {
namespace {

TEST(FormatProgress, ShowsMinutesAndSecondsOfTicks) {
    struct Case {
        std::uint64_t ticks;
        const char* text;
    } cases[] = {
        {0, "0:00"}, {49, "0:00"}, {50, "0:01"}, {600, "0:12"}, {3250, "1:05"},
        {3000 * 60, "60:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(format_play_time(c.ticks), c.text) << c.ticks;
    EXPECT_EQ(format_progress("song.MML", 600, 3250), "Playing song.MML  0:12 / 1:05");
}

std::string written(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

TEST(ProgressLine, RewritesInPlaceOnlyWhenTheTextChangesAndClearsAtTheEnd) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProgressLine line(file, "a.MZT", 30000);
    line.show(0);
    line.show(10);       // still 0:00
    line.show(29950);    // 9:59
    line.show(30000);    // 10:00
    line.show(40000);    // never past the end
    line.clear();
    EXPECT_EQ(written(file),
              "\rPlaying a.MZT  0:00 / 10:00"
              "\rPlaying a.MZT  9:59 / 10:00"
              "\rPlaying a.MZT  10:00 / 10:00"
              "\r                            \r");
    std::fclose(file);
}

TEST(ProgressLine, ClearWritesNothingWhenNothingWasShown) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProgressLine line(file, "a.MZT", 100);
    line.clear();
    EXPECT_EQ(written(file), "");
    std::fclose(file);
}

}  // namespace
}  // namespace zirvon::play
