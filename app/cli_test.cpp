// Command-line behaviour, checked on the real binary in temporary folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/usage.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::read_bytes;
using testing_support::run_zirvon;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::write_bytes;
namespace fs = std::filesystem;

std::string one_note_image(const std::string& name) {
    std::string image(128, '\0');
    image[0] = '\xC8';
    const std::string field = name.substr(0, 15) + '\r';
    image.replace(1, field.size(), field);
    image[16] = '\r';
    image[18] = 36;
    image[20] = 0x5A;
    image[21] = 0x31;
    image[23] = 0x12;
    image += std::string("\xFE\0\0\x24\x18\x15\xFD\0\0\xFE\0\0", 12);
    for (int k = 2; k <= 9; ++k) image += std::string("\xFE\0\0", 3);
    return image;
}

/// True where file names ignore case (Windows, macOS). There song.MML is
/// found under that name even when it is stored as song.mml, and messages
/// name it so.
bool names_ignore_case(const TempDir& dir) {
    write_bytes(dir / "case-probe", "");
    const bool ignore = fs::exists(dir / "CASE-PROBE");
    fs::remove(dir / "case-probe");
    return ignore;
}

TEST(Cli, UsageTextIsByteExactAndTheOnlyOutput) {
    TempDir dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"/?"}, {"-?x"}, {"-h"}, {"--help"}}) {
        const RunResult r = run_zirvon(args, dir.path());
        EXPECT_EQ(r.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(r.out, kUsageText);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(std::string(kUsageText).ends_with("Play MML\x81\x41MZT file\n"));
}

TEST(Cli, UnknownExtensionPrintsUsageAndExits2) {
    TempDir dir;
    write_bytes(dir / "song.txt", "1[C]");
    const RunResult r = run_zirvon({"song.txt"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, kUsageText);
    EXPECT_EQ(r.err, "zirvon: 'song.txt' is neither an MML source (.MML) nor a tape image (.MZT)\n");
    EXPECT_FALSE(fs::exists(dir / "song.MZT"));
}

TEST(Cli, VersionIsOneLine) {
    TempDir dir;
    const RunResult r = run_zirvon({"--version"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zirvon " ZIRVON_VERSION "\n");
}

TEST(Cli, CompilesToAByteExactImage) {
    struct Case {
        std::string file, text;
        std::vector<std::string> args;
        std::string image, tape_name;
    };
    const std::vector<Case> cases{
        {"song.MML", "1[C]", {"song.mml"}, "song.MZT", "MUSICDATA"},
        {"song.MML", "1[C]", {"song.MML", "A-VERY-LONG-TAPE-NAME"}, "song.MZT", "A-VERY-LONG-TAPE-NAME"},
        // Where case matters, the name as typed when the normalised one is missing.
        {"tune.mml", "1[C]", {"tune.mml"}, "tune.MZT", "MUSICDATA"},
        {"tune", "1[C]", {"tune"}, "tune.MZT", "MUSICDATA"},
        // Lines ended by LF alone: the comment ends with its line.
        {"unix.mml", "; a comment at the top\n1[C]\n", {"unix.mml"}, "unix.MZT", "MUSICDATA"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        write_bytes(dir / c.file, c.text);
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 0) << c.file;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_bytes(dir / c.image), one_note_image(c.tape_name)) << c.file;
    }
}

// Names and the tape name reach the file system and the image as the bytes
// they are. Byte 0x80 is where a conversion through Latin-1 and the Windows
// code page 1252 part ways.
TEST(Cli, NameBytesPassUnchanged) {
    TempDir dir;
    const std::string base = dir.path().string() + "/";
    testing_support::write_named_bytes(base + "t\x80\xC3\xA9.MML", "1[C]");
    const RunResult r = run_zirvon({"t\x80\xC3\xA9.mml", "N\x80\xC3\xA9"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing_support::read_named_bytes(base + "t\x80\xC3\xA9.MZT"),
              one_note_image("N\x80\xC3\xA9"));
}

// Wildcards reach the program as typed; some C runtimes would expand them.
TEST(Cli, WildcardsAreNotExpanded) {
    TempDir dir;
    write_bytes(dir / "a.mml", "1[C]");
    write_bytes(dir / "b.mml", "1[D]");
    const RunResult r = run_zirvon({"*.mml"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("zirvon: cannot read '*.MML': ")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.MZT"));
}

TEST(Cli, CompileErrorsArePointedAtAndNothingIsWritten) {
    TempDir dir;
    write_bytes(dir / "bad.MML", "1[C]\r\nT1 2[C] 1[O0 C\r\n");
    write_bytes(dir / "bad.MZT", "previous image");
    const RunResult r = run_zirvon({"bad.mml"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "bad.MML:2:5: error: track number 12 is outside 0-9\n"
              "T1 2[C] 1[O0 C\n"
              "    ^\n"
              "bad.MML:2:14: error: note is out of range: pitch code -12 is outside 0-252\n"
              "T1 2[C] 1[O0 C\n"
              "             ^\n"
              "bad.MML:2:10: warning: block is not closed on this line: its notes are kept, but no "
              "sync mark is written\n"
              "T1 2[C] 1[O0 C\n"
              "         ^\n");
    EXPECT_EQ(read_bytes(dir / "bad.MZT"), "previous image");
}

TEST(Cli, WarningsStillWriteTheImage) {
    TempDir dir;
    write_bytes(dir / "w.mml", "1[C V]");
    const RunResult r = run_zirvon({"w.mml", "/bogus"}, dir.path());
    const std::string shown = names_ignore_case(dir) ? "w.MML" : "w.mml";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zirvon: warning: unknown option '/bogus' is ignored\n" + shown +
                         ":1:5: warning: unknown command 'V' is ignored\n"
                         "1[C V]\n"
                         "    ^\n");
    EXPECT_EQ(read_bytes(dir / "w.MZT"), one_note_image("MUSICDATA"));
}

TEST(Cli, UnreadableSourcesFailWithoutWriting) {
    TempDir dir;
    fs::create_directory(dir / "folder.mml");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string long_name(300, 'x');
    const std::string folder = names_ignore_case(dir) ? "folder.MML" : "folder.mml";
    const std::vector<Case> cases{
        {{"missing.mml"}, "zirvon: cannot read 'missing.MML': No such file or directory\n"},
        {{"folder.mml"}, "zirvon: cannot read '" + folder + "': it is a folder, not a file\n"},
        {{long_name + ".mml"}, "zirvon: cannot read '" + long_name + ".MML': File name too long\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Cli, OversizedSourceIsRefused) {
    TempDir dir;
    write_bytes(dir / "huge.MML", "");
    fs::resize_file(dir / "huge.MML", (std::uintmax_t{64} << 20) + 1);  // sparse
    const RunResult r = run_zirvon({"huge.mml"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zirvon: cannot read 'huge.MML': it is larger than 64 MiB, too large for an MML source\n");
    EXPECT_FALSE(fs::exists(dir / "huge.MZT"));
}

TEST(Cli, UnwritableOutputFolderKeepsThePreviousImage) {
    TempDir dir;
    fs::create_directory(dir / "out");
    write_bytes(dir / "out" / "song.MML", "1[C]");
    write_bytes(dir / "out" / "song.MZT", "previous image");
    const testing_support::UnwritableFolder locked(dir / "out");
    if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
    const RunResult r = run_zirvon({"out/song.mml"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("zirvon: cannot write 'out/song.MZT': ")) << r.err;
    EXPECT_EQ(read_bytes(dir / "out" / "song.MZT"), "previous image");
}

TEST(Cli, TapeImageWithoutPlayIsLeftAlone) {
    TempDir dir;
    write_bytes(dir / "song.MZT", one_note_image("X"));
    const RunResult r = run_zirvon({"song.mzt"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "zirvon: 'song.mzt' is a tape image: /play previews an image, /list lists it, /midi "
              "and /wav write it as a MIDI or WAV file; it is left as it is\n");
    EXPECT_EQ(read_bytes(dir / "song.MZT"), one_note_image("X"));
}

TEST(Cli, ListShowsEventsAndWritesNothing) {
    TempDir dir;
    write_bytes(dir / "song.MZT", one_note_image("X"));
    write_bytes(dir / "tune.mml", "1[C]");
    const std::string track1 =
        "Track 1: 3 events\n"
        "  index  note  code  length  gate\n"
        "      0  C4      36      24    21\n"
        "      1  SYNC   253       0     0\n"
        "      2  END    254       0     0\n";
    for (const char* name : {"song.MZT", "tune.mml"}) {
        const RunResult r = run_zirvon({"/list", name}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(track1), std::string::npos) << r.out;
        EXPECT_TRUE(r.out.starts_with("Track 0: 1 event\n")) << r.out;
    }
    EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
    EXPECT_EQ(read_bytes(dir / "song.MZT"), one_note_image("X"));
}

TEST(Cli, BrokenImagesAreRefused) {
    TempDir dir;
    write_bytes(dir / "short.MZT", std::string(100, '\0'));
    write_bytes(dir / "cut.MZT", std::string(128, '\0') + std::string("\xFE\0\0", 3));
    RunResult r = run_zirvon({"short.MZT", "/list"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "zirvon: short.MZT: not a tape image: it is 100 bytes long, shorter than the 128-byte "
              "header\n");
    r = run_zirvon({"cut.MZT", "/list"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zirvon: cut.MZT: not a tape image: its data ends inside track 1, before the end marks "
              "of all ten tracks\n");
}

TEST(Cli, NoSourceIsAUsageError) {
    TempDir dir;
    const RunResult r = run_zirvon({"/list"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "zirvon: no MML file given; 'zirvon /?' shows how to call it\n");
}

TEST(Cli, BinaryJunkNeverCrashes) {
    TempDir dir;
    std::string junk;
    std::uint32_t x = 12345;
    for (int i = 0; i < 200'000; ++i) {
        x = x * 1103515245u + 12345u;
        junk += static_cast<char>(x >> 24);
    }
    write_bytes(dir / "junk.mml", junk);
    const RunResult r = run_zirvon({"junk.mml"}, dir.path());
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
    EXPECT_EQ(fs::exists(dir / "junk.MZT"), r.status == 0);
}

TEST(Cli, ExamplesCompileCleanly) {
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(testing_support::source_dir() / "examples")) {
        if (entry.path().extension() != ".mml") continue;
        fs::copy_file(entry.path(), dir / entry.path().filename());
        const RunResult r = run_zirvon({entry.path().filename().string()}, dir.path());
        EXPECT_EQ(r.status, 0) << entry.path();
        EXPECT_EQ(r.err, "") << entry.path();
        const auto image = dir / (entry.path().stem().string() + ".MZT");
        EXPECT_GT(fs::file_size(image), 128u + 30u) << image;
    }
}

}  // namespace
}  // namespace zirvon
