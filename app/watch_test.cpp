// /watch without /play: the change detection on real files with a clock of
// the test's own, and the real binary rebuilding the image on every save.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/file_watch.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using namespace testing_support::runs;
using Event = FileWatch::Event;

TEST(FileWatch, TakesEachSaveWholeAndOnceAndTellsWhatIsGoneOrUnreadable) {
    TempDir dir;
    const fs::path file = dir / "song.MML";
    write_bytes(file, "1[C]");
    FileWatch watch(file.string());
    auto now = FileWatch::Clock::time_point{} + 1h;
    const auto poll = [&] { return watch.poll(now += FileWatch::kPollEvery); };
    ASSERT_EQ(watch.first(now), Event::changed);
    EXPECT_EQ(watch.contents(), "1[C]");
    EXPECT_EQ(poll(), Event::none);

    // A save in two writes: the half seen by one poll is not taken.
    write_bytes(file, "1[C D");
    EXPECT_EQ(poll(), Event::none);
    write_bytes(file, "1[C D E]");
    EXPECT_EQ(poll(), Event::none);
    EXPECT_EQ(poll(), Event::changed);
    EXPECT_EQ(watch.contents(), "1[C D E]");

    // The same bytes again, or a new time alone, change nothing.
    write_bytes(file, "1[C D E]");
    fs::last_write_time(file, fs::last_write_time(file) + 5s);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(poll(), Event::none);

    // Saved by writing another file and renaming it over the path.
    write_bytes(dir / "song.tmp", "1[G]");
    fs::rename(dir / "song.tmp", file);
    EXPECT_EQ(poll(), Event::none);
    EXPECT_EQ(poll(), Event::changed);
    EXPECT_EQ(watch.contents(), "1[G]");

    // Gone: said once; back with the very same bytes, it is a change.
    fs::remove(file);
    EXPECT_EQ(poll(), Event::gone);
    EXPECT_EQ(poll(), Event::none);
    write_bytes(file, "1[G]");
    EXPECT_EQ(poll(), Event::none);
    EXPECT_EQ(poll(), Event::changed);

    // New bytes of the same size, written in place, with the old time put
    // back: read at the latest a second after the last read, and taken at
    // the read after that. (Where the time cannot be put back exactly, as
    // under Wine, the stamp tells the change sooner.)
    const auto time = fs::last_write_time(file);
    write_bytes(file, "1[D]");
    fs::last_write_time(file, time);
    std::vector<Event> events;
    for (const auto step : {500ms, 500ms, 100ms}) events.push_back(watch.poll(now += step));
    EXPECT_EQ(std::count(events.begin(), events.end(), Event::changed), 1);
    EXPECT_EQ(watch.contents(), "1[D]");

    // Unreadable: said only when it lasts over a second, and once. A folder
    // in its place can be looked at but never read, on every system.
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(watch.poll(now += 100ms), Event::none);
    EXPECT_EQ(watch.poll(now += 1s), Event::none);
    EXPECT_EQ(watch.poll(now += 100ms), Event::unreadable);
    EXPECT_NE(watch.why().find("it is a folder"), std::string::npos) << watch.why();
    EXPECT_EQ(watch.poll(now += 100ms), Event::none);  // said once
    fs::remove(file);
    write_bytes(file, "1[E]");
    EXPECT_EQ(watch.poll(now += 100ms), Event::none);
    EXPECT_EQ(watch.poll(now += 100ms), Event::changed);
}

/// The status lines of a /watch run so far, without their time of day.
std::vector<std::string> status_lines(const testing_support::Background& run) {
    static const std::regex line("(^|\n)[0-9][0-9]:[0-9][0-9]:[0-9][0-9] ([^\n]*)");
    std::vector<std::string> out;
    const std::string text = run.err();
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        out.push_back((*it)[2]);
    }
    return out;
}

/// Waits, for 20 s at most, until there are `count` status lines.
bool wait_for_status(const testing_support::Background& run, std::size_t count) {
    for (int i = 0; i < 2000 && status_lines(run).size() < count; ++i) std::this_thread::sleep_for(10ms);
    return status_lines(run).size() >= count;
}

TEST(WatchBinary, RebuildsTheImageAndMidiFileOnEverySaveUntilCtrlC) {
    TempDir dir;
    TempDir reference;
    // What a plain run makes of the same text.
    const auto image_of = [&](const std::string& mml) {
        write_bytes(reference / "ref.MML", mml);
        EXPECT_EQ(run_zirvon({"ref.mml"}, reference.path()).status, 0);
        return read_bytes(reference / "ref.MZT");
    };
    write_bytes(dir / "song.MML", "1[C]\n");
    // Where names keep their case, a twin that differs only in case is
    // warned about, as a run warns, and the file read is the one followed.
    const bool twins = !fs::exists(dir / "song.mml");
    if (twins) write_bytes(dir / "song.mml", "1[D]\n");
    testing_support::Background run({"song.mml", "/watch", "/midi", "/from=2"}, dir.path());
    ASSERT_GT(run.pid(), 0);
    std::vector<std::string> expected{
        "song.MZT written (164 bytes); song.MID left as it was: /from=2: there is no block 2; the "
        "song has "
        "1 block"};
    ASSERT_TRUE(wait_for_status(run, 1)) << run.err();
    EXPECT_EQ(read_bytes(dir / "song.MZT"), image_of("1[C]\n"));
    if (twins) {
        EXPECT_TRUE(run.err().starts_with("zirvon: warning: both 'song.MML' and 'song.mml' exist; reading 'song.MML'\n"))
            << run.err();
    }

    // In place, a second block: the MIDI file comes too.
    write_bytes(dir / "song.MML", "1[C]\n1[D E]\n");
    expected.push_back("song.MZT written (173 bytes); song.MID written (88 bytes)");
    ASSERT_TRUE(wait_for_status(run, 2)) << run.err();
    EXPECT_EQ(read_bytes(dir / "song.MZT"), image_of("1[C]\n1[D E]\n"));
    ASSERT_EQ(run_zirvon({"ref.mml", "/midi", "/from=2"}, reference.path()).status, 0);
    EXPECT_EQ(read_bytes(dir / "song.MID"), read_bytes(reference / "ref.MID"));

    // An error keeps both files; the diagnostics come before the status line.
    write_bytes(dir / "song.MML", "1[C]\n12[D E]\n");
    expected.push_back("1 error; song.MZT left as it was");
    ASSERT_TRUE(wait_for_status(run, 3)) << run.err();
    EXPECT_NE(run.err().find("song.MML:2:3: error: track number 12 is outside 0-9\n"),
              std::string::npos);
    EXPECT_EQ(read_bytes(dir / "song.MZT"), image_of("1[C]\n1[D E]\n"));

    // Every error is counted, as a run counts them, not just those shown.
    std::string many;
    for (int i = 0; i < 1500; ++i) many += "12[C]\n";
    write_bytes(dir / "song.MML", many);
    expected.push_back("1500 errors; song.MZT left as it was");
    ASSERT_TRUE(wait_for_status(run, 4)) << run.err();
    // Emptied by an editor or a full disk: the last good image stays.
    write_bytes(dir / "song.MML", "");
    expected.push_back("nothing to hear; song.MZT left as it was");
    ASSERT_TRUE(wait_for_status(run, 5)) << run.err();
    EXPECT_EQ(read_bytes(dir / "song.MZT"), image_of("1[C]\n1[D E]\n"));

    // Renamed over, with a folder where the MIDI file goes: the image is
    // still written. Then deleted and written anew.
    fs::remove(dir / "song.MID");
    fs::create_directory(dir / "song.MID");
    write_bytes(dir / "new.tmp", "1[C V]\n1[D]\n");
    fs::rename(dir / "new.tmp", dir / "song.MML");
    expected.push_back(
        "song.MZT written (170 bytes, 1 warning); cannot write 'song.MID': it is a folder; song.MID "
        "left as it was");
    ASSERT_TRUE(wait_for_status(run, 6)) << run.err();
    fs::remove(dir / "song.MML");
    expected.push_back("song.MML is not there; waiting for it");
    ASSERT_TRUE(wait_for_status(run, 7)) << run.err();
    write_bytes(dir / "song.MML", "1[C]\n");
    expected.push_back(expected.front());
    ASSERT_TRUE(wait_for_status(run, 8)) << run.err();

    // Saved back unchanged: no rebuild.
    write_bytes(dir / "song.MML", "1[C]\n");
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(status_lines(run), expected);

    const int status = run.stop();
    if (status == -1) {
        // All but the end is checked; say so rather than skip it all.
        RecordProperty("ctrl_c", "not checked: no console events can be sent here");
        return;
    }
    EXPECT_EQ(status, 130);
    EXPECT_TRUE(run.err().ends_with("zirvon: stopped watching song.MML\n")) << run.err();
}

}  // namespace
}  // namespace zirvon
