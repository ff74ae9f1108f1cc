// /play and /ports of the real zirvon.exe on Windows' own MIDI outputs.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "midi/port_choice.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using testing_support::read_bytes;
using testing_support::run_zirvon;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::write_bytes;

TEST(PlayWindows, WithoutMidiOutputsPlayAndPortsSayHowToGetOne) {
    if (midiOutGetNumDevs() != 0) GTEST_SKIP() << "this system has MIDI outputs";
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]");
    struct Case {
        const char* option;
        std::string err;
    };
    for (const Case& c : {Case{"/play", "zirvon: " + midi::no_port_message("winmm") + "\n"},
                          Case{"/ports", "zirvon: " + midi::no_ports_found_message("winmm") + "\n"}}) {
        const RunResult r = run_zirvon({"song.mml", c.option}, dir.path());
        EXPECT_EQ(r.status, 1) << c.option;
        EXPECT_EQ(r.out, "") << c.option;
        EXPECT_EQ(r.err, c.err) << c.option;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "song.MZT"));
}

TEST(PlayWindows, CtrlBreakStopsAPreviewAndLeavesTheImageAsItWas) {
    if (midiOutGetNumDevs() == 0) {
        GTEST_SKIP() << "needs a MIDI output device, and midiOutGetNumDevs() finds none (under "
                        "Wine: there is no ALSA sequencer)";
    }
    TempDir dir;
    // Eight whole notes: 8 s of preview.
    write_bytes(dir / "song.MML", "1[L1 C D E F G A B > C]");
    ASSERT_EQ(run_zirvon({"song.mml"}, dir.path()).status, 0);
    const std::string image = read_bytes(dir / "song.MZT");

    const int pid = testing_support::start_zirvon({"song.mzt", "/play", "OTHER"}, dir.path());
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(1s);
    if (!testing_support::interrupt_zirvon(pid)) {
        testing_support::wait_zirvon(pid);
        GTEST_SKIP() << "cannot send a console event here";
    }
    EXPECT_EQ(testing_support::wait_zirvon(pid), 130);
    EXPECT_EQ(read_bytes(dir / "song.MZT"), image);
}

}  // namespace
}  // namespace zirvon
