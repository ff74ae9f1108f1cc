// Command-line behaviour, checked on the real binary in temporary folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
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

TEST(Cli, UsageAndHelpAreTheOnlyOutput) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    // /? keeps the original usage text byte for byte; -h and --help explain.
    const std::vector<Case> cases{{{}, std::string(kUsageText)},
                                  {{"/?"}, std::string(kUsageText)},
                                  {{"-?x"}, std::string(kUsageText)},
                                  {{"-h"}, help_text()},
                                  {{"--help"}, help_text()},
                                  {{"/help", "song.mml"}, help_text()},
                                  {{"-HELP"}, help_text()}};
    for (const Case& c : cases) {
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 0) << testing::PrintToString(c.args);
        EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(std::string(kUsageText).ends_with("Play MML\x81\x41MZT file\n"));
}

// A mistake on the command line is exit 2, and nothing is read or written.
TEST(Cli, CommandLineMistakesDoNothing) {
    TempDir dir;
    write_bytes(dir / "melody.MML", "1[C]");
    write_bytes(dir / "melody.MZT", "previous image");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"melody.mml", "/lsit"}, "zirvon: unknown option '/lsit'; did you mean '/list'?\n"},
        {{"melody.mml", "T", "melody2.mml"},
         "zirvon: one name too many: 'melody2.mml' (zirvon takes a source and a tape name; -o PATH "
         "names the image)\n"},
        {{"melody.mml", "-o"}, "zirvon: option '-o' needs a value after it: -o PATH\n"},
        {{"melody.mml", "-o", "melody.MML"}, "zirvon: 'melody.MML' is the source itself; the image would replace it\n"},
        {{"melody.mzt"},
         "zirvon: 'melody.mzt' is a tape image: /play previews it, /list lists it, /midi, /wav and "
         "/svg write it as a MIDI file, a WAV file and a picture; it is left as it is\n"},
        {{"/list"}, "zirvon: no MML file given; 'zirvon --help' shows how to call it\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 2) << testing::PrintToString(c.args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(read_bytes(dir / "melody.MZT"), "previous image");
    EXPECT_EQ(read_bytes(dir / "melody.MML"), "1[C]");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
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
        std::string image, tape_name, err;
    };
    const std::string long_name_warning =
        "zirvon: warning: tape name 'A-VERY-LONG-TAPE-NAME' is longer than 15 characters; it is cut "
        "to 'A-VERY-LONG-TAP'\n";
    const std::string file_name_warning =
        "zirvon: warning: tape name 'out.mzt' looks like a file name; it only goes into the image "
        "header (-o PATH chooses where the image is written)\n";
    const std::vector<Case> cases{
        {"song.MML", "1[C]", {"song.mml"}, "song.MZT", "MUSICDATA", ""},
        {"song.MML", "1[C]", {"song.MML", "A-VERY-LONG-TAPE-NAME"}, "song.MZT", "A-VERY-LONG-TAPE-NAME",
         long_name_warning},
        {"song.MML", "1[C]", {"song.mml", "out.mzt"}, "song.MZT", "out.mzt", file_name_warning},
        // Where case matters, the name as typed when the normalised one is missing.
        {"tune.mml", "1[C]", {"tune.mml"}, "tune.MZT", "MUSICDATA", ""},
        {"tune", "1[C]", {"tune"}, "tune.MZT", "MUSICDATA", ""},
        // Lines ended by LF alone: the comment ends with its line.
        {"unix.mml", "; a comment at the top\n1[C]\n", {"unix.mml"}, "unix.MZT", "MUSICDATA", ""},
        // -o and /out= put the image elsewhere.
        {"song.MML", "1[C]", {"song.mml", "-o", "elsewhere.bin"}, "elsewhere.bin", "MUSICDATA", ""},
        {"song.MML", "1[C]", {"/out=sub/x.MZT", "song.mml"}, "sub/x.MZT", "MUSICDATA", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::create_directory(dir / "sub");
        write_bytes(dir / c.file, c.text);
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 0) << c.file;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(read_bytes(dir / c.image), one_note_image(c.tape_name)) << c.image;
    }
}

// With -o the source's folder may be read-only, and every output follows
// the image's name.
TEST(Cli, OutputOptionWritesElsewhereAndTheMidiFileFollows) {
    TempDir dir;
    fs::create_directory(dir / "src");
    fs::create_directory(dir / "out");
    write_bytes(dir / "src" / "song.mml", "1[C]");
    const testing_support::UnwritableFolder locked(dir / "src");
    const RunResult r = run_zirvon({"src/song.mml", "/midi", "-o", "out/tune.mzt"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_bytes(dir / "out" / "tune.mzt"), one_note_image("MUSICDATA"));
    EXPECT_TRUE(fs::exists(dir / "out" / "tune.MID"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "src"), fs::directory_iterator()), 1);
    const RunResult unused = run_zirvon({"src/song.mml", "/list", "-o", "out/x.MZT"}, dir.path());
    EXPECT_EQ(unused.status, 0);
    EXPECT_EQ(unused.err, "zirvon: warning: 'out/x.MZT' is not written: /list writes no image\n");
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
    EXPECT_TRUE(r.err.starts_with("zirvon: cannot read '*.mml' (tried '*.MML' and '*.mml'): ")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.MZT"));
}

TEST(Cli, CompileErrorsArePointedAtCountedAndNothingIsWritten) {
    TempDir dir;
    write_bytes(dir / "bad.MML", "1[C]\r\nT1 2[C] 1[O0 C\r\n");
    write_bytes(dir / "bad.MZT", "previous image");
    const RunResult r = run_zirvon({"bad.mml", "/midi"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "bad.MML:2:2: error: track number 12 is outside 0-9; text outside blocks is a comment, "
              "but digits there join the next block's track number: put them after ';'\n"
              "T1 2[C] 1[O0 C\n"
              " ^\n"
              "bad.MML:2:14: error: note is out of range: pitch code -12 is outside 0-252\n"
              "T1 2[C] 1[O0 C\n"
              "             ^\n"
              "bad.MML:2:10: warning: block is not closed on this line: its notes are kept, but no "
              "sync mark is written\n"
              "T1 2[C] 1[O0 C\n"
              "         ^\n"
              "zirvon: 2 errors, 1 warning; 'bad.MZT' and 'bad.MID' not written\n");
    EXPECT_EQ(read_bytes(dir / "bad.MZT"), "previous image");
    EXPECT_FALSE(fs::exists(dir / "bad.MID"));
}

TEST(Cli, WarningsStillWriteTheImageAndAreCounted) {
    TempDir dir;
    write_bytes(dir / "w.mml", "1[C V]");
    const RunResult r = run_zirvon({"w.mml"}, dir.path());
    const std::string shown = names_ignore_case(dir) ? "w.MML" : "w.mml";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, shown +
                         ":1:5: warning: unknown command 'V' is ignored\n"
                         "1[C V]\n"
                         "    ^\n"
                         "zirvon: 1 warning\n");
    EXPECT_EQ(read_bytes(dir / "w.MZT"), one_note_image("MUSICDATA"));
}

// Refused on every system, though a rename could replace it on some.
TEST(Cli, ReadOnlyImageIsNotReplaced) {
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]");
    write_bytes(dir / "song.MZT", "previous image");
    fs::permissions(dir / "song.MZT", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const RunResult r = run_zirvon({"song.mml"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zirvon: cannot write 'song.MZT': it is read-only\n");
    EXPECT_EQ(read_bytes(dir / "song.MZT"), "previous image");
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
        {{"missing.mml"},
         "zirvon: cannot read 'missing.mml' (tried 'missing.MML' and 'missing.mml'): No such file or "
         "directory\n"},
        {{"missing.MML"}, "zirvon: cannot read 'missing.MML': No such file or directory\n"},
        {{"folder.mml"}, "zirvon: cannot read '" + folder + "': it is a folder, not a file\n"},
        {{long_name + ".mml"}, "zirvon: cannot read '" + long_name + ".mml' (tried '" + long_name +
                                   ".MML' and '" + long_name + ".mml'): File name too long\n"},
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

// Where names ignore case the two are one file, and nothing is said.
TEST(Cli, BothSpellingsOfTheSourceSayWhichIsRead) {
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]");
    write_bytes(dir / "song.mml", "1[D]");
    const RunResult r = run_zirvon({"song.mml"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, names_ignore_case(dir)
                         ? ""
                         : "zirvon: warning: both 'song.MML' and 'song.mml' exist; reading 'song.MML'\n");
}

TEST(Cli, ListShowsTheHeaderAndEventsAndWritesNothing) {
    TempDir dir;
    write_bytes(dir / "song.MZT", one_note_image("X"));
    write_bytes(dir / "tune.mml", "1[C]");
    // Tracks 1 to 8 show the block and the tick each event is read in;
    // tracks 0 and 9, never played, show none. An image's header comes first.
    const std::string header =
        "Tape name:          X\n"
        "Data size:          36 bytes\n"
        "Load address:       0x315A\n"
        "Execution address:  0x1200\n"
        "\n";
    const std::string track1 =
        "Track 1: 3 events\n"
        "  index  note  code  length  gate  block      tick\n"
        "      0  C4      36      24    21      1         0\n"
        "      1  SYNC   253       0     0      1        25\n"
        "      2  END    254       0     0      1        26\n";
    const std::string track0 =
        "Track 0: 1 event\n"
        "  index  note  code  length  gate  block      tick\n"
        "      0  END    254       0     0      -         -\n";
    for (const char* name : {"song.MZT", "tune.mml"}) {
        const RunResult r = run_zirvon({"/list", name}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find(track1), std::string::npos) << r.out;
        EXPECT_TRUE(r.out.starts_with(name == std::string("song.MZT") ? header + track0 : track0)) << r.out;
    }
    EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
    EXPECT_EQ(read_bytes(dir / "song.MZT"), one_note_image("X"));

    // A header that disagrees with the data is shown as it is, with a warning.
    std::string odd = one_note_image("X") + "junk";
    odd[18] = 40;
    odd[20] = 0;
    write_bytes(dir / "odd.MZT", odd);
    const RunResult r = run_zirvon({"odd.MZT", "/list"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("Tape name:          X\nData size:          40 bytes\n"
                                  "Load address:       0x3100\n")) << r.out;
    EXPECT_EQ(r.err,
              "zirvon: warning: odd.MZT: the header gives 40 bytes of data, the tracks hold 36\n"
              "zirvon: warning: odd.MZT: the load address is 0x3100, not 0x315A\n"
              "zirvon: warning: odd.MZT: 4 bytes follow the tenth end mark and belong to no track\n");
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
