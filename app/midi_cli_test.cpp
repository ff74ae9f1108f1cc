// /midi on the real binary: the MIDI file beside the image, from MML sources
// and from tape images.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "midi/midi_file.h"
#include "song/song.h"
#include "tape/tape_image.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::read_bytes;
using testing_support::run_zirvon;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::write_bytes;
namespace fs = std::filesystem;

/// The MIDI file that the preview of an image amounts to.
std::string midi_of_image(const fs::path& image) {
    Song song;
    std::string error;
    EXPECT_TRUE(load_tape(image.string(), song, error)) << error;
    const std::vector<std::uint8_t> bytes = midi::build_midi_file(song).bytes;
    return {bytes.begin(), bytes.end()};
}

std::string example(const std::string& name) {
    return read_bytes(testing_support::source_dir() / "examples" / name);
}

TEST(MidiCli, MmlSourceGivesTheImageAndTheMidiFileBesideIt) {
    for (const char* option : {"/midi", "-midi", "/MIDI"}) {
        TempDir dir;
        write_bytes(dir / "song.mml", example("canon.mml"));
        const RunResult r = run_zirvon({"song.mml", option}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        ASSERT_TRUE(fs::exists(dir / "song.MZT"));
        EXPECT_EQ(read_bytes(dir / "song.MID"), midi_of_image(dir / "song.MZT")) << option;
    }
}

TEST(MidiCli, TapeImageGivesTheSameFileAndIsLeftAlone) {
    TempDir dir;
    write_bytes(dir / "bells.mml", example("bells.mml"));
    ASSERT_EQ(run_zirvon({"bells.mml", "/midi"}, dir.path()).status, 0);
    const std::string from_mml = read_bytes(dir / "bells.MID");
    const std::string image = read_bytes(dir / "bells.MZT");
    fs::remove(dir / "bells.MID");

    const RunResult r = run_zirvon({"bells.MZT", "OTHER", "/midi"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_bytes(dir / "bells.MID"), from_mml);
    EXPECT_EQ(read_bytes(dir / "bells.MZT"), image);  // no /play: no image written
}

TEST(MidiCli, NameWithoutExtensionStillGetsDotMid) {
    TempDir dir;
    write_bytes(dir / "tune", "1[C]\n");
    const RunResult r = run_zirvon({"tune", "/midi"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "tune.MZT"));
    EXPECT_EQ(read_bytes(dir / "tune.MID"), midi_of_image(dir / "tune.MZT"));
}

TEST(MidiCli, NotesAboveMidiRangeAreLeftOutWithOneWarning) {
    TempDir dir;
    // O9 C is pitch code 96, MIDI note 120; A and B pass 127.
    write_bytes(dir / "high.mml", "1[O9 C A B]\n");
    const RunResult r = run_zirvon({"high.mml", "/midi"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "zirvon: warning: 2 notes lie above MIDI note 127 and are left out\n");
    const std::string file = read_bytes(dir / "high.MID");
    EXPECT_NE(file.find("\x91\x78\x7F"), std::string::npos);  // C: note-on 120
    EXPECT_EQ(file.find("\x91\x81"), std::string::npos);      // A: never sent
}

TEST(MidiCli, UnwritableFolderIsAnErrorAndLeavesNothing) {
    TempDir dir;
    fs::create_directory(dir / "out");
    write_bytes(dir / "out" / "song.mml", "1[C]\n");
    ASSERT_EQ(run_zirvon({"out/song.mml"}, dir.path()).status, 0);
    testing_support::UnwritableFolder locked(dir / "out");
    if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
    const RunResult r = run_zirvon({"out/song.MZT", "/midi"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write 'out/song.MID'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "song.MID"));
}

}  // namespace
}  // namespace zirvon
