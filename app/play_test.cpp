// /play, /ports and /port= on the real binary, playing into a JACK MIDI input
// of the test's own on a JACK server of its own. What the player sends is
// checked against models elsewhere; here what only live playing shows:
// delivery, timing, Ctrl+C, a server that goes away, the choice of port.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_input.h"
#include "tests/jack_test_support.h"
#include "play/player.h"
#include "song/song.h"
#include "tape/tape_image.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using namespace midi::testing;
using namespace testing_support::runs;

/// Compiles `mml` with the binary into NAME.MZT in `dir`.
fs::path compile_image(const TempDir& dir, const std::string& mml, const std::string& name = "song") {
    write_bytes(dir / (name + ".mml"), mml);
    const RunResult r = run_zirvon({name + ".mml"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return dir / (name + ".MZT");
}

/// What a whole preview of `image` sends: the reset, the notes, the reset;
/// and the notes' ticks.
struct Preview {
    std::vector<Bytes> messages = reset_messages();
    std::vector<std::uint64_t> ticks;
};

Preview preview_of(const fs::path& image) {
    const Song song = testing_support::song_of_image(image);
    Preview p;
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        p.messages.push_back({m.status, m.data1, m.data2});
        p.ticks.push_back(tick);
    });
    for (const Bytes& b : reset_messages()) p.messages.push_back(b);
    return p;
}

/// Runs the binary with `args` in `cwd`, playing into a fresh recorder
/// (/port=), and checks that the recorder heard exactly `expected`, and with
/// `timed` on time. The machine stalls for 10-100 ms a few times a minute: a
/// run that was exact but late is tried again.
RunResult play_checked(std::vector<std::string> args, const fs::path& cwd, const Preview& expected,
                       bool timed = false) {
    args.emplace_back();
    RunResult r;
    for (int attempt = 1;; ++attempt) {
        MidiRecorder recorder;
        if (!recorder.ok()) {
            ADD_FAILURE() << recorder.error();
            return r;
        }
        args.back() = "/port=" + recorder.port_name();
        r = run_zirvon(args, cwd);
        recorder.wait_for(expected.messages.size(), 1s);  // the last may take a JACK cycle
        const std::vector<Received> got = recorder.received();
        const bool exact = bytes_of(got) == expected.messages;
        const std::string late =
            exact && timed ? late_messages({got.begin() + 32, got.end() - 32}, expected.ticks) : "";
        if (exact && late.empty()) return r;
        if (attempt == 3 || !exact) {
            ADD_FAILURE() << "attempt " << attempt << ": "
                          << (exact ? late : "expected " + std::to_string(expected.messages.size()) +
                                                 " messages, heard:\n" + describe(got));
            return r;
        }
    }
}

TEST(PlayBinary, CompiledSongSoundsExactlyAndOnTime) {
    ZIRVON_REQUIRE_JACK();
    TempDir dir;
    const std::string mml = read_bytes(testing_support::source_dir() / "examples" / "bells.mml");
    const Preview expected = preview_of(compile_image(dir, mml, "ref"));
    ASSERT_GT(expected.ticks.size(), 40u);
    write_bytes(dir / "song.mml", mml);
    const RunResult r = play_checked({"song.mml", "/play"}, dir.path(), expected, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");  // no progress line when stderr is not a terminal
    EXPECT_FALSE(fs::exists(dir / "song.MZT"));  // compile-and-play writes no image
}

TEST(PlayBinary, LoadAndPlayWritesTheImageBackOnlyWhenItChanges) {
    ZIRVON_REQUIRE_JACK();
    TempDir dir;
    fs::create_directory(dir / "tapes");
    write_bytes(dir / "tapes" / "song.mml", "1[L16 C D E]\n2[L16 G]\n");
    ASSERT_EQ(run_zirvon({"song.mml", "TWINKLE"}, dir / "tapes").status, 0);
    const fs::path image = dir / "tapes" / "song.MZT";
    const std::string twinkle = read_bytes(image);
    const Preview expected = preview_of(image);
    // What the image must become: the same events under the new tape name.
    ASSERT_EQ(run_zirvon({"song.mml", "NEWNAME", "-o", "../ref.MZT"}, dir / "tapes").status, 0);
    const std::string wanted = read_bytes(dir / "ref.MZT");
    {
        // No tape name: the image keeps its own, nothing changes, nothing is
        // written, and listening needs no write access.
        const testing_support::UnwritableFolder locked(dir / "tapes");
        if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
        const RunResult r = play_checked({"song.MZT", "/play"}, dir / "tapes", expected);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_bytes(image), twinkle);
    }
    // A new name, and a header that disagrees with the data: both are said.
    // Another tool's note in the header stays.
    std::string odd = twinkle;
    odd[20] = '\0';  // load address 0x3100
    odd.replace(0x50, 5, "NOTES");
    write_bytes(image, odd);
    const RunResult r = play_checked({"song.MZT", "NEWNAME", "/play"}, dir / "tapes", expected);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "zirvon: 'song.MZT' written back with tape name 'NEWNAME' and its header corrected (the "
              "load address is 0x3100, not 0x315A)\n");
    EXPECT_EQ(read_bytes(image), std::string(wanted).replace(0x50, 5, "NOTES"));
}

constexpr const char* kLongSong = "1[O4 C1 D1 E1 F1 G1]\n2[O3 C1 D1 E1 F1 G1]\n";

// A preview cut short: Ctrl+C (or SIGTERM) silences every channel and exits
// 130; a server killed half-way, in a preview and in /watch, is one line,
// exit 1, and not a word of the MIDI libraries' own. Files are written after
// the preview, so one cut short writes none, the .MID of /midi included.
TEST(PlayBinary, PreviewCutShortSilencesEveryChannelOrSaysThePortWentAwayAndWritesNothing) {
    TempDir dir;
    TempDir out;  // for stderr: `dir` must get no new file
    const fs::path image = compile_image(dir, kLongSong);
    const std::string before = read_bytes(image);
    struct Case {
        std::vector<std::string> args;
        int signal;  ///< what zirvon is sent; 0: the server is killed instead
    };
    for (const auto& [args, signal] : {Case{{"song.mml", "OTHERNAME", "/play", "/midi"}, SIGINT},
                                       Case{{"song.MZT", "OTHERNAME", "/play", "/midi"}, SIGTERM},
                                       Case{{"song.MZT", "NEW", "/play", "/midi"}, 0},
                                       Case{{"song.mml", "/watch", "/play"}, 0}}) {
        ZIRVON_REQUIRE_JACK();  // started again once killed
        const std::string what = args[0] + " " + args[1] + ", signal " + std::to_string(signal);
        MidiRecorder recorder;
        ASSERT_TRUE(recorder.ok()) << recorder.error();
        std::vector<std::string> with_port = args;
        with_port.push_back("/port=" + recorder.port_name());
        const int pid = testing_support::start_zirvon(with_port, dir.path(), (out / "err").string());
        EXPECT_TRUE(recorder.wait_for(32 + 1, 10s)) << what;
        if (signal != 0) {
            std::this_thread::sleep_for(1s);
            kill(pid, signal);
            EXPECT_EQ(testing_support::wait_zirvon(pid), 130) << what;
            EXPECT_EQ(read_bytes(out / "err"), "zirvon: preview interrupted; every file is left as it was\n");
            recorder.wait_for(32 + 2 + 16 + 32, 1s);
            const std::vector<Received> got = recorder.received();
            // Reset, the two first notes (one a track), then all notes off on
            // every channel and the reset as the port closes.
            std::vector<Bytes> expected = reset_messages();
            expected.push_back({0x91, 60, 127});
            expected.push_back({0x92, 48, 127});
            for (const auto& part : {all_notes_off_messages(), reset_messages()})
                expected.insert(expected.end(), part.begin(), part.end());
            EXPECT_EQ(bytes_of(got), expected) << what << ", heard:\n" << describe(got);
        } else {
            JackServer::kill();
            EXPECT_EQ(testing_support::wait_zirvon(pid), 1) << what;
            const std::string err = read_bytes(out / "err");
            const std::string line =
                "zirvon: the MIDI port '" + recorder.port_name() + "' went away during the preview\n";
            if (args[1] == "/watch") EXPECT_TRUE(err.ends_with(line)) << err;
            else EXPECT_EQ(err, line);
        }
        EXPECT_EQ(read_bytes(image), before) << what;
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"song.MZT", "song.mml"}));  // no temporary file either
    }
}

TEST(PlayBinary, PortIsChosenByNumberOrEnvironmentAndErrorsSayWhereTheChoiceCameFrom) {
    ZIRVON_REQUIRE_JACK();
    TempDir dir;
    const Preview one_note = preview_of(compile_image(dir, "1[L16 C]\n"));
    MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    const std::string port = recorder.port_name();
    MidiKeyboard keyboard;
    ASSERT_TRUE(keyboard.ok()) << keyboard.error();
    // /ports lists the outputs numbered, the built-in synthesizer last, then
    // the inputs under a heading, numbered from 0 again.
    const RunResult list = run_zirvon({"/ports"}, dir.path());
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.err, "");
    std::istringstream lines(list.out);
    std::string number = "none", last;
    int count = 0;
    for (std::string line; std::getline(lines, line) && !line.starts_with("MIDI input"); ++count, last = line) {
        EXPECT_TRUE(line.starts_with(std::to_string(count) + ": ")) << line;
        if (line.ends_with(": " + port)) number = std::to_string(count);
        EXPECT_FALSE(line.ends_with(": " + keyboard.port_name())) << "an input among the outputs";
    }
    EXPECT_TRUE(list.out.find("\nMIDI input ports, for keyboard entry (entryPort):\n") != std::string::npos)
        << list.out;
    std::string keys = "none";
    int inputs = 0;
    for (std::string line; std::getline(lines, line); ++inputs) {
        EXPECT_TRUE(line.starts_with(std::to_string(inputs) + ": ")) << line;
        if (line.ends_with(": " + keyboard.port_name())) keys = std::to_string(inputs);
    }
    // The keyboard's number is the one entry's port choice takes.
    midi::MidiInput input;
    std::string why;
    ASSERT_TRUE(input.open(keys, [](const std::uint8_t*, std::size_t) {}, why)) << why << "\n" << list.out;
    EXPECT_EQ(input.name(), keyboard.port_name());
    input.close();
    // The synthesizer with where it plays: the test's JACK server.
    EXPECT_EQ(last, std::to_string(count - 1) + ": synth (built-in synthesizer on JACK server \"" +
                        std::getenv("JACK_DEFAULT_SERVER") + "\")");
    // The synthesizer's number plays through it, and nothing goes to MIDI;
    // the recorder's number plays into the recorder.
    const RunResult synth =
        run_zirvon({"song.MZT", "/play", "/port=" + std::to_string(count - 1)}, dir.path());
    EXPECT_EQ(synth.status, 0) << synth.err;
    EXPECT_EQ(synth.err, "");
    const RunResult by_number = run_zirvon({"song.MZT", "/play", "/port=" + number}, dir.path());
    EXPECT_EQ(by_number.status, 0) << by_number.err;

    // The environment picks the port unless /port= is given; messages say
    // where the choice came from, and nothing more is sent.
    const std::string env = "ZIRVON_MIDI_PORT=" + port;
    const RunResult by_env = run_zirvon({"song.MZT", "/play"}, dir.path(), {env});
    EXPECT_EQ(by_env.status, 0) << by_env.err;
    const std::string missing = ": no MIDI output port has \"nope\" in its name (/ports lists them)\n";
    const RunResult wrong_option = run_zirvon({"song.MZT", "/play", "/port=nope"}, dir.path(), {env});
    EXPECT_EQ(wrong_option.status, 1);
    EXPECT_EQ(wrong_option.err, "zirvon: /port=nope" + missing);
    const RunResult wrong_env = run_zirvon({"song.MZT", "/play"}, dir.path(), {"ZIRVON_MIDI_PORT=nope"});
    EXPECT_EQ(wrong_env.status, 1);
    EXPECT_EQ(wrong_env.err, "zirvon: ZIRVON_MIDI_PORT=nope" + missing);
    std::vector<Bytes> twice = one_note.messages;
    twice.insert(twice.end(), one_note.messages.begin(), one_note.messages.end());
    recorder.wait_for(twice.size(), 1s);  // the last may take a JACK cycle
    EXPECT_EQ(bytes_of(recorder.received()), twice) << describe(recorder.received());
}

TEST(PlayBinary, NoMidiServiceNorAudioOutputTellsWhatIsLeftAndNothingElse) {
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this host has an ALSA sequencer";
    TempDir dir;
    const fs::path image = compile_image(dir, "1[C]\n");
    const std::string before = read_bytes(image);
    // A JACK server name that nothing answers to (and this host has no sound
    // card, nor a sound server).
    const std::vector<std::string> nobody{"JACK_DEFAULT_SERVER=zirvon-nobody-here",
                                          "JACK_NO_START_SERVER=1"};
    const RunResult play = run_zirvon({"song.MZT", "NEW", "/play"}, dir.path(), nobody);
    const RunResult synth = run_zirvon({"song.MZT", "NEW", "/play", "/port=synth"}, dir.path(), nobody);
    const RunResult ports = run_zirvon({"/ports"}, dir.path(), nobody);
    // Saying what was asked and tried, and none of their own chatter.
    const std::string tried = "JACK server \"zirvon-nobody-here\", PulseAudio, ALSA";
    EXPECT_EQ(play.status, 1);
    EXPECT_EQ(play.err,
              "zirvon: no MIDI output port (asked: ALSA sequencer, JACK) and no audio output (tried: " +
                  tried + ") to play on; write the song as a WAV file with /wav or as a MIDI file with "
                  "/midi instead\n");
    EXPECT_EQ(synth.status, 1);
    EXPECT_EQ(synth.err, "zirvon: no audio output to play on (tried: " + tried +
                             "); write the song as a WAV file with /wav instead\n");
    EXPECT_EQ(read_bytes(image), before);
    EXPECT_EQ(ports.status, 0);  // the built-in synthesizer is always listed, with its state
    EXPECT_EQ(ports.out, "0: synth (built-in synthesizer; no audio output: tried " + tried + ")\n");
    EXPECT_EQ(ports.err,
              "zirvon: no MIDI output ports found (asked: ALSA sequencer, JACK); a software "
              "synthesizer such as FluidSynth or TiMidity adds one\n"
              "zirvon: no MIDI input ports found (asked: ALSA sequencer, JACK); a MIDI keyboard "
              "connected adds one\n");
}

TEST(PlayBinary, ProgressLineOnATerminalIsClearedAtTheEnd) {
    ZIRVON_REQUIRE_JACK();
    TempDir dir;
    write_bytes(dir / "song.mml", "1[C1 C2]\n");  // 97 + 49 + 2 ticks: 2.96 s
    MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    // The binary with its output on a terminal of its own.
    const std::string port = "/port=" + recorder.port_name();
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(dir.path().c_str()) == 0)
            execl(ZIRVON_BINARY, ZIRVON_BINARY, "song.mml", "/play", port.c_str(), nullptr);
        _exit(127);
    }
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    // Rewritten in place as the seconds go by, then blanked out; it names
    // the file that was read and the port.
    const std::string playing = "Playing song.mml on " + recorder.port_name() + "  block 1/1  ";
    const std::string last = playing + "0:02 / 0:02";
    std::string expected = "\r" + playing + "0:00 / 0:02\r" + playing + "0:01 / 0:02\r";
    expected.append(last).append("\r").append(last.size(), ' ').append("\r");
    EXPECT_EQ(text, expected);
}

TEST(PlayBinary, ManyShortPreviewsAllEndCleanly) {
    // Closing a JACK port races the JACK process thread unless shutdown is
    // careful; a crash would show as a signal status. scripts/preview_loop.sh
    // runs this with a few hundred previews.
    ZIRVON_REQUIRE_JACK();
    const char* runs_variable = std::getenv("ZIRVON_PREVIEW_RUNS");
    const int runs = runs_variable ? std::atoi(runs_variable) : 20;
    TempDir dir;
    const Preview expected = preview_of(compile_image(dir, "1[L32 C]\n"));
    for (int i = 0; i < runs; ++i) {
        const RunResult r = play_checked({"song.MZT", "/play"}, dir.path(), expected);
        ASSERT_TRUE(r.status == 0 && r.err.empty()) << "run " << i << ": status " << r.status << ", stderr: " << r.err;
    }
}

}  // namespace
}  // namespace zirvon
