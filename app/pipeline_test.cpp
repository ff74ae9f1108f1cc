// What a run and /watch both go through, in process: every command line
// that is refused (the passage options, -o that names the source), the
// order in which problems are found, and the warnings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run_jobs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

/// Twelve lines of one block each: 12 blocks, 1.94 s.
std::string twelve_blocks() {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "1[C16] 2[E16]\n";
    return text;
}

/// Runs `args` on song.mml (twelve blocks) or, with "song.MZT" among them,
/// on its image; a port no one has is named, so that a check made after
/// opening the port would show as status 1.
RunResult run_on_song(std::vector<std::string> args, const TempDir& dir) {
    if (std::find(args.begin(), args.end(), "/play") != args.end()) args.push_back("/port=no-such-port-anywhere");
    return testing_support::run_in_process(args, dir.path());
}

TEST(Pipeline, EveryBadInputIsOneLineAndStatus2WithNothingPlayedOrWritten) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string z = "zirvon: ";
    const std::string not_a_time =
        ": not a time; write minutes and two digits of seconds below 60, such as 1:05 or 1:05.25";
    const std::string not_a_list = ": not a list of tracks; write them like 1,3-5, with no blanks";
    TempDir dir;
    write_bytes(dir / "song.mml", twelve_blocks());
    // Where names ignore case, song.MML is song.mml.
    const std::string twin = fs::exists(dir / "SONG.MML")
                                 ? "'song.MML' is the source itself; the image would replace it"
                                 : "'song.MML' would be read as the source by the next 'zirvon song.mml'; the image "
                                   "needs another name";
    // Options alone go after "song.mml /play".
    const std::vector<Case> cases{
        {{"/from=0"}, "/from=0: there is no block 0; blocks count from 1"},
        {{"/from=abc"}, "/from=abc: not a block number, a time (M:SS or M:SS.ss) or line:N"},
        {{"/from=13"}, "/from=13: there is no block 13; the song has 12 blocks"},
        {{"song.mml", "/list", "/midi", "/from=13"},  // no listing either
         "/from=13: there is no block 13; the song has 12 blocks"},
        {{"song.mml", "/midi", "/from=4294967297"},
         "/from=4294967297: there is no block 4294967297; the song has 12 blocks"},
        {{"song.mml", "/midi", "/from=18446744073709551617"},
         "/from=18446744073709551617: there is no block 18446744073709551617; the song has 12 "
         "blocks"},
        {{"/from=99999999999999999999999:00"},
         "/from=99999999999999999999999:00 is past the end of the song, at 0:01.94"},
        {{"/from=0:59"}, "/from=0:59 is past the end of the song, at 0:01.94"},
        {{"/from="}, "/from needs a block number, a time such as 1:05, or line:N (line:N:C for a column)"},
        {{"/from=line:2:0"}, "/from=line:2:0: there is no column 0; columns count from 1"},
        {{"/from=line:2:x"},
         "/from=line:2:x: line: needs a line number, such as line:40, and may add a column, line:40:7"},
        {{"/to=line:13:1"}, "/to=line:13:1: no note, rest or ']' of tracks 1 to 8 stands at line 13, column 1 or after it"},
        {{"/from=0:01.94"}, "/from=0:01.94 is where the song ends: the passage would be empty"},
        {{"/from=1:60"}, "/from=1:60" + not_a_time},
        {{"/from=1:5"}, "/from=1:5" + not_a_time},
        {{"/from=0:01.255"}, "/from=0:01.255" + not_a_time},
        {{"/to=13"}, "/to=13: there is no block 13; the song has 12 blocks"},
        {{"/to=0:01.95"}, "/to=0:01.95 is past the end of the song, at 0:01.94"},
        {{"/from=5", "/to=4"}, "/to=4 is at or before /from=5: the passage would be empty"},
        {{"/from=0:01", "/to=0:00.99"},
         "/to=0:00.99 is at or before /from=0:01: the passage would be empty"},
        {{"/from=line:5", "/to=line:2"},
         "/to=line:2 is at or before /from=line:5: the passage would be empty"},
        {{"/to=0:00"}, "/to=0:00 is at the start of the song: the passage would be empty"},
        {{"/solo=9"}, "/solo=9: track 9 is not played; only tracks 1 to 8 are"},
        {{"/mute=0"}, "/mute=0: track 0 is not played; only tracks 1 to 8 are"},
        {{"/mute=1-4294967297"},
         "/mute=1-4294967297: track 4294967297 is not played; only tracks 1 to 8 are"},
        {{"/solo="}, "/solo needs a list of tracks 1 to 8, such as /solo=1,3-5"},
        {{"/solo"}, "option '/solo' needs a value: /solo=LIST"},
        {{"/solo=1, 2"}, "/solo=1, 2" + not_a_list},
        {{"/solo=1,"}, "/solo=1," + not_a_list},
        {{"/mute=,1"}, "/mute=,1" + not_a_list},
        {{"/solo=4-2"}, "/solo=4-2: the range 4-2 runs backwards"},
        {{"/solo=1", "/mute=2"},
         "/solo and /mute do not go together: /solo plays only the tracks it lists, /mute all "
         "others"},
        {{"/from=line:0"}, "/from=line:0: there is no line 0; lines count from 1"},
        {{"/to=line:13"}, "/to=line:13: no block of tracks 1 to 8 starts on line 13 or after it"},
        {{"song.MZT", "/play", "/from=line:3"},
         "/from=line:3: an image has no source lines; line:N works with MML sources"},
        {{"song.mml", "/loop"}, "/loop plays the passage again and again: it goes with /play"},
        {{"song.mml", "/midi", "/loop"},
         "/loop plays the passage again and again: it goes with /play"},
        {{"song.MZT", "/watch"}, "/watch follows MML sources, and 'song.MZT' is a tape image"},
        {{"song.mml", "/watch", "/list"},
         "/watch rebuilds or replays the song on every save; it does not go with /list"},
        // -o may not name the source, nor a name that the next run reads as it.
        {{"song.mml", "/watch", "-o", "song.mml"}, "'song.mml' is the source itself; the image would replace it"},
        {{"song.mml", "/midi", "-o", "song.MML"}, twin},
        {{"song.mml", "/watch", "/play", "-o", "song.MML"}, twin},
    };
    ASSERT_EQ(testing_support::run_in_process({"song.mml"}, dir.path()).status, 0);
    const std::string image = testing_support::read_bytes(dir / "song.MZT");
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (!args[0].starts_with("song.")) args.insert(args.begin(), {"song.mml", "/play"});
        const RunResult r = run_on_song(args, dir);
        const std::string what = testing::PrintToString(args);
        EXPECT_EQ(r.status, 2) << what;
        EXPECT_EQ(r.err, z + c.err + "\n") << what;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_FALSE(fs::exists(dir / "song.MID")) << what;
        EXPECT_EQ(testing_support::read_bytes(dir / "song.MZT"), image) << what;
    }
}

// Problems are found in order: the command line, then compile errors, the
// song, the port. What changes nothing, or a track listed twice, is a
// warning. An expected message without its final newline is its start.
TEST(Pipeline, OrderOfProblemsAndWarnings) {
    TempDir dir;
    write_bytes(dir / "bad.MML", "1[C] 12[D]\n");
    write_bytes(dir / "song.mml", twelve_blocks());
    write_bytes(dir / "empty.mml", "1[C] 2[D]\n1[] 2[]\n");
    ASSERT_EQ(testing_support::run_in_process({"song.mml"}, dir.path()).status, 0);
    fs::copy_file(dir / "song.MZT", dir / "image.MML");
    fs::copy_file(dir / "song.MZT", dir / "renamed.MZT");
    write_bytes(dir / "binary.MML", "\x01\x02\x03\x04\x05\x06" "1[C]");
    write_bytes(dir / "stray.MML", "1[C\x01" "D]");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string changes_nothing = "change nothing here: they apply to /play, /midi, /wav and /svg\n";
    const std::vector<Case> cases{
        // Nothing is read: the file need not exist.
        {{"missing.mml", "/play", "/from=abc"}, 2, "zirvon: /from=abc: "},
        // A block the song lacks is found only once the song compiles.
        {{"bad.mml", "/play", "/from=13"}, 1, "bad.MML:1:8: error: "},
        {{"song.mml", "/play", "/from=13"}, 2, "zirvon: /from=13: there is no block 13"},
        // Empty groups have no block.
        {{"empty.mml", "/midi", "/from=line:2"}, 2,
         "zirvon: /from=line:2: no block of tracks 1 to 8 starts on line 2 or after it\n"},
        // Only then the port, which no MIDI service has.
        {{"song.mml", "/play", "/from=12"}, 1, "zirvon: "},
        {{"song.mml", "/from=2"},
         0, "zirvon: warning: /from changes nothing here: it applies to /play, /midi, /wav and /svg\n"},
        {{"song.mml", "/list", "/from=2", "/to=3", "/mute=1"},
         0, "zirvon: warning: /from and /to " + changes_nothing},
        {{"song.mml", "/midi", "/solo=1,1-2"}, 0, "zirvon: warning: /solo=1,1-2: track 1 is listed twice\n"},
        // Given twice, the last one counts.
        {{"song.mml", "/midi", "/from=13", "/from=12"}, 0, "\n"},
        {{"song.mml", "/midi", "/port=2"}, 0, "zirvon: warning: /port=2 changes nothing here: it applies to /play\n"},
        // An image with a tape name is renamed; under the same name again, left alone.
        {{"renamed.MZT", "NEW"}, 0, "zirvon: 'renamed.MZT' written back with tape name 'NEW'\n"},
        {{"renamed.MZT", "NEW"}, 0, "\n"},
        {{"renamed.MZT", "NEW", "/list", "/solo=1", "/from=2"}, 0,
         "zirvon: warning: /from changes nothing here: it applies to /play, /midi, /wav and /svg\n"
         "zirvon: warning: tape name 'NEW' is not used: the image is renamed only when it is played or nothing "
         "else is asked of it ('zirvon renamed.MZT NEW')\n"},
        {{"renamed.MZT", "NEW", "/mml", "-o", "back.mml"}, 0,
         "zirvon: 'back.MML' written; 'zirvon back.MML NEW' builds the image again\n"},
        // A solo or mute that leaves nothing to hear is said before it plays.
        {{"song.mml", "/midi", "/solo=3"}, 0, "zirvon: warning: track 3 holds no notes in this passage; nothing to hear\n"},
        {{"song.mml", "/wav", "/mute=1-2", "/to=1"}, 0,
         "zirvon: warning: tracks 3, 4, 5, 6, 7 and 8 hold no notes in this passage; nothing to hear\n"},
        // What is plainly not text is not compiled into an empty image.
        {{"image.mml"}, 1, "zirvon: 'image.MML' is not MML: it is a tape image; use /play, /list or /mml\n"},
        {{"binary.mml"}, 1,
         "zirvon: 'binary.MML' is not MML: most of its bytes are control bytes, as in a binary file rather than text\n"},
        {{"stray.mml"}, 0, "stray.MML:1:4: warning: unknown command byte 0x01 is ignored"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_on_song(c.args, dir);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
        if (c.err == "\n") EXPECT_EQ(r.err, "");
        else if (c.err.ends_with('\n')) EXPECT_EQ(r.err, c.err);
        else EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
    }
}

// A passage plays while the song has errors only in blocks it does not
// play (here it gets as far as the port); files and listings of such a song
// stay refused.
TEST(Pipeline, ErrorsOutsideThePassagePlayedLetItPlay) {
    TempDir dir;
    write_bytes(dir / "slip.mml", "1[C]\n1[O D]\n1[E]\n");  // track 1 is out of range from block 2 on
    struct Case {
        std::vector<std::string> args;
        std::string err;  ///< what the messages end with, after the error itself
    };
    // (Named slip.MML where names ignore case: that spelling is read first.)
    const std::string error = ":2:3: error: octave 0 is below the lowest";
    const std::vector<Case> cases{
        {{"slip.mml", "/play", "/to=1"}, "zirvon: 1 error; none in what plays\nzirvon: /port=no-such-port-anywhere: no MIDI output port"},
        {{"slip.mml", "/play", "/from=2"}, "zirvon: 1 error; nothing played: block 2 holds the error at line 2, column 3\n"},
        {{"slip.mml", "/play", "/from=3"}, "zirvon: 1 error; nothing played: block 3 holds the error at line 2, column 3\n"},
        {{"slip.mml", "/play", "/from=4"},
         "zirvon: 1 error; nothing played\nzirvon: /from=4: there is no block 4; the song has 3 blocks\n"},
        {{"slip.mml", "/play", "/to=1", "/midi"}, "zirvon: 1 error; nothing played, 'slip.MID' not written\n"},
        {{"slip.mml", "/list", "/to=1"}, "zirvon: 1 error; nothing listed\n"},
        {{"slip.mml", "/midi", "/to=1"}, "zirvon: 1 error; 'slip.MZT' and 'slip.MID' not written\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_on_song(c.args, dir);
        EXPECT_EQ(r.status, 1) << testing::PrintToString(c.args);
        EXPECT_NE(r.err.find(error), std::string::npos) << r.err;
        EXPECT_TRUE(r.err.ends_with(c.err) || r.err.find(c.err) != std::string::npos)
            << testing::PrintToString(c.args) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "slip.MID"));
    EXPECT_FALSE(fs::exists(dir / "slip.MZT"));
}

// A run is decided whole before any of it is done: deciding shows, plays
// and writes nothing, and lays out the jobs that do.
TEST(Pipeline, ARunIsDecidedWholeBeforeAnythingIsDone) {
    using Kind = Job::Kind;
    TempDir dir;
    write_bytes(dir / "song.mml", twelve_blocks());
    write_bytes(dir / "bad.mml", "1[C] 12[D]\n");
    struct Case {
        std::vector<std::string> args;
        std::vector<Kind> jobs;
        std::vector<std::string> files;
        int status;
    };
    const std::vector<Case> cases{
        {{"song.mml", "/midi", "/list"}, {Kind::show, Kind::write}, {".MID"}, 0},
        {{"song.mml", "/play", "/svg", "/mute=1-8"}, {Kind::say, Kind::play, Kind::write}, {".SVG"}, 0},
        {{"song.mml", "/watch"}, {Kind::watch}, {}, 0},
        {{"song.mml", "/midi", "/from=13"}, {Kind::say}, {}, 2},
        {{"bad.mml", "/midi"}, {Kind::say, Kind::say}, {}, 1},
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    for (const Case& c : cases) {
        const RunJobs run = plan_jobs(parse_command_line(c.args));
        std::vector<Kind> kinds;
        for (const Job& job : run.jobs) kinds.push_back(job.kind);
        std::vector<std::string> extensions;
        for (const OutputKind* kind : run.files) extensions.emplace_back(kind->extension);
        EXPECT_EQ(kinds, c.jobs) << testing::PrintToString(c.args);
        EXPECT_EQ(extensions, c.files) << testing::PrintToString(c.args);
        EXPECT_EQ(run.status, c.status) << testing::PrintToString(c.args);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 2);
    }
    fs::current_path(before);
}

}  // namespace
}  // namespace zirvon
