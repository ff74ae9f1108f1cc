// /mml and MIDI files as sources, on the real binary in temporary folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/songs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

const std::string z = "zirvon: ";

/// A format 0 file at 120 beats a minute, 96 ticks a quarter, that plays
/// C4 and E4 for a quarter each, the second one at velocity 64.
std::string two_notes() {
    const std::string track(
        "\x00\x90\x3C\x64\x60\x80\x3C\x00\x00\x90\x40\x40\x60\x80\x40\x00\x00\xFF\x2F\x00", 20);
    return std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + std::string("MTrk\0\0\0\x14", 8) + track;
}

TEST(ImportCli, AnImageBecomesMmlThatBuildsItAgain) {
    const TempDir dir;
    // Not song.mml: where names ignore case, that is song.MML.
    write_bytes(dir / "src.mml", "1[O4 L8 Q6 C D E F] 2[R2]\n1[G2 &G4] 2[C1]\n");
    ASSERT_EQ(run_zirvon({"src.mml", "TUNE", "-o", "song.MZT"}, dir.path()).status, 0);
    const std::string image = read_bytes(dir / "song.MZT");

    RunResult r = run_zirvon({"song.MZT", "/mml"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, z + "'song.MML' written; 'zirvon song.MML TUNE' builds the image again\n");
    EXPECT_EQ(read_bytes(dir / "song.MML").substr(0, 17), "; tape name TUNE\n");

    // The source is someone's work: never replaced without -o naming it.
    write_bytes(dir / "song.MML", "mine");
    r = run_zirvon({"song.MZT", "/mml"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              z + "'song.MML' exists and is not replaced: it may be someone's work; write the MML "
                  "elsewhere with -o (zirvon song.MZT /mml -o NEW.MML)\n");
    EXPECT_EQ(read_bytes(dir / "song.MML"), "mine");
    // Nor shadowed: src.MML beside src.mml would be read in its place.
    ASSERT_EQ(run_zirvon({"src.mml"}, dir.path()).status, 0);
    EXPECT_EQ(run_zirvon({"src.MZT", "/mml"}, dir.path()).status, 2);
    EXPECT_EQ(testing_support::read_bytes(dir / "src.mml"), "1[O4 L8 Q6 C D E F] 2[R2]\n1[G2 &G4] 2[C1]\n");
    r = run_zirvon({"song.MZT", "/mml", "-o", "song.MML"}, dir.path());
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(run_zirvon({"song.MML", "TUNE", "-o", "again.MZT"}, dir.path()).status, 0);
    EXPECT_EQ(read_bytes(dir / "again.MZT"), image);

    // From MML, a tidy copy: MML alone, no image.
    r = run_zirvon({"song.MML", "/mml", "-o", "tidy.MML"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, z + "'tidy.MML' written; 'zirvon tidy.MML' compiles it\n");
    EXPECT_EQ(read_bytes(dir / "tidy.MML").substr(0, 40), "; written again by zirvon from song.MML\n");
    r = run_zirvon({"song.MML", "/mml"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, z + "'song.MML' is the source itself; MML would replace it: name another file with -o\n");
}

TEST(ImportCli, AnImageNoMmlGivesIsWrittenClosestWithAWarningAnEvent) {
    const TempDir dir;
    // Track 0 ends at once; track 1 holds a half note with gate 43, which
    // no ratio gives (48 x Q / 8 is even), and a note code of 255.
    std::string data("\xFE\0\0\x24\x30\x2B\xFF\x18\x15\xFE\0\0", 12);
    for (int k = 2; k <= 9; ++k) data += std::string("\xFE\0\0", 3);
    std::string image = testing_support::image_bytes("ODD", data);
    image[18] = 21;  // a data size that is not the tracks' 36 bytes
    image.replace(0x40, 4, "NOTE");  // another tool's note
    write_bytes(dir / "odd.mzt", image + "extra");
    const RunResult r = run_zirvon({"odd.mzt", "/mml"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, z +
                         "warning: track 1, event 0: gate 43 becomes 42: no gate ratio or tie "
                         "gives a gate of 43 to a "
                         "note of 48 ticks; no MML gives it as it is\n" +
                         z +
                         "warning: track 1, event 1: note code 255 (which only ends the sounding "
                         "note) becomes a "
                         "rest of 0 ticks; no MML gives it as it is\n" +
                         z +
                         "warning: the image the MML builds gets a header of its own: the header "
                         "gives 21 bytes of "
                         "data, the tracks hold 36\n" +
                         z +
                         "warning: the image the MML builds gets a header of its own: 5 bytes "
                         "follow the tenth end "
                         "mark and belong to no track\n" +
                         z + "warning: the header holds 4 bytes that other tools wrote (after the name's CR, "
                         "at 0x11 or 0x18-0x7F); MML cannot carry them, and the image it builds has zeros there\n" +
                         z + "'odd.MML' written; 'zirvon odd.MML ODD' builds the image again but for the "
                         "warnings above\n");
}

TEST(ImportCli, AMidiFileBecomesMmlWithOneSummary) {
    const TempDir dir;
    write_bytes(dir / "two.MID", two_notes());
    RunResult r = run_zirvon({"two.MID"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, z +
                         "two.MID: 2 of 2 notes kept on 1 track, 1 bar in 1 block, 0:02.00\n"
                         "  largest timing change: 0.0 ms at a start, 20.0 ms at a release\n"
                         "  not kept: velocities (64 to 100)\n" +
                         z + "'two.MML' written; 'zirvon two.MML' compiles it\n");
    EXPECT_EQ(read_bytes(dir / "two.MML"),
              "; imported by zirvon from two.MID: one block a bar (or more, where a note is held "
              "across)\n"
              "1[Q8 C E%25 R%47]  ; block 1  0:00.00\n");
    // Again: two.MML is someone's now.
    r = run_zirvon({"two.MID"}, dir.path());
    EXPECT_EQ(r.status, 2);
    // Used as MML: listed, drawn, written as an image, without writing MML.
    r = run_zirvon({"two.MID", "/list", "-o", "x.MZT"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Track 1: 5 events"), std::string::npos) << r.out;
    r = run_zirvon({"two.MID", "/svg", "-o", "pic.MZT"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(read_bytes(dir / "pic.SVG").empty());
    EXPECT_FALSE(read_bytes(dir / "pic.MZT").empty());
}

// The file named is read, and its twin only in its place, with a word.
TEST(ImportCli, AMidiFileIsReadByTheNameTyped) {
    const TempDir dir;
    write_bytes(dir / "song.mid", two_notes());
    write_bytes(dir / "song.MID", "not read");  // as /midi of song.MML writes it
    write_bytes(dir / "twin.MID", two_notes());
    if (read_bytes(dir / "song.mid") == "not read") GTEST_SKIP() << "file names ignore case here";
    EXPECT_TRUE(run_zirvon({"song.mid", "/list"}, dir.path()).err.starts_with(z + "song.mid: 2 of 2 notes"));
    EXPECT_TRUE(run_zirvon({"twin.mid", "/list"}, dir.path())
                    .err.starts_with(z + "warning: 'twin.mid' does not exist; reading 'twin.MID'\n" + z +
                                     "twin.MID: 2 of 2 notes"));
}

TEST(ImportCli, AMidiFileThatIsNotOneIsRefusedInOneLine) {
    const TempDir dir;
    write_bytes(dir / "bad.MID", std::string("MThd\0\0\0\6\0\2\0\1\0\x60", 14));
    RunResult r = run_zirvon({"bad.MID"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, z + "bad.MID: MIDI file of format 2 (independent patterns): only formats 0 "
                         "and 1 are read\n");
    write_bytes(dir / "none.MID",
                std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0", 26));
    r = run_zirvon({"none.mid"}, dir.path());
    EXPECT_EQ(r.status, 0);
    // Where names ignore case, the name typed is the file and is read as typed.
    const std::string read = std::filesystem::exists(dir / "none.mid") ? "none.mid" : "none.MID";
    EXPECT_NE(r.err.find("warning: '" + read + "' holds no notes to import: the song is empty\n"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace zirvon
