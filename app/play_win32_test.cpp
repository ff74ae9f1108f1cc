// /play and /ports of the real zirvon.exe on Windows' own MIDI and wave outputs.
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
using namespace testing_support::runs;

TEST(PlayWindows, WithoutMidiOutputsPortsListsTheSynthesizerAndPlayTakesIt) {
    if (midiOutGetNumDevs() != 0) GTEST_SKIP() << "this system has MIDI outputs";
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]");
    const RunResult ports = run_zirvon({"/ports"}, dir.path());
    EXPECT_EQ(ports.status, 0);
    // The input ports follow the synthesizer, or are said to be none.
    const bool inputs = midiInGetNumDevs() != 0;
    EXPECT_EQ(ports.err, "zirvon: " + midi::no_ports_found_message("winmm") + "\n" +
                             (inputs ? "" : "zirvon: " + midi::no_input_ports_found_message("winmm") + "\n"));
    const RunResult play = run_zirvon({"song.mml", "/play"}, dir.path());
    if (waveOutGetNumDevs() == 0) {
        // Listed all the same, saying what was tried, as the message does.
        const std::string synth = "0: synth (built-in synthesizer; no audio output: tried the wave mapper)\n";
        if (inputs) {
            EXPECT_TRUE(ports.out.starts_with(synth + "MIDI input ports, for keyboard entry (entryPort):\n0: "))
                << ports.out;
        } else {
            EXPECT_EQ(ports.out, synth);
        }
        EXPECT_EQ(play.status, 1);
        EXPECT_EQ(play.err,
                  "zirvon: no MIDI output port (asked: winmm) and no audio output (tried: the wave "
                  "mapper) to play on; write the song as a WAV file with /wav or as a MIDI file with "
                  "/midi instead\n");
    } else {
        EXPECT_TRUE(ports.out.starts_with("0: synth (built-in synthesizer on ")) << ports.out;
        EXPECT_EQ(play.status, 0) << play.err;
        EXPECT_TRUE(play.err.starts_with(
            "zirvon: no MIDI output port; playing with the built-in synthesizer on "))
            << play.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "song.MZT"));
}

TEST(PlayWindows, TheSynthesizerPlaysOnTheWaveOutputAndCtrlBreakStopsIt) {
    if (waveOutGetNumDevs() == 0) {
        GTEST_SKIP() << "needs a wave output device, and waveOutGetNumDevs() finds none (under "
                        "Wine: there is no sound device for its ALSA or PulseAudio driver)";
    }
    TempDir dir;
    write_bytes(dir / "short.MML", "1[L16 C D E]");
    const RunResult r = run_zirvon({"short.mml", "/play", "/port=synth"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    write_bytes(dir / "long.MML", "1[L1 C D E F G A B > C]");
    const int pid = testing_support::start_zirvon({"long.mml", "/play", "/port=SYNTH"}, dir.path());
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(1s);
    if (!testing_support::interrupt_zirvon(pid)) {
        testing_support::wait_zirvon(pid);
        GTEST_SKIP() << "cannot send a console event here";
    }
    EXPECT_EQ(testing_support::wait_zirvon(pid), 130);
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
