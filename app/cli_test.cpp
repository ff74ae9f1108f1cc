// Command-line behaviour, checked on the real binary in temporary folders;
// folders it may not write, in process over an in-memory file store.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/usage.h"
#include "system/memory_files.h"
#include "tests/songs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

using testing_support::names_ignore_case;
using testing_support::one_note_image;

/// Every file under `dir` with its bytes (only the size of a large one), and
/// every folder with a "/" for its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).generic_string();
        files[name] = entry.is_directory()             ? "/"
                      : entry.file_size() > (1u << 20) ? std::to_string(entry.file_size())
                                                       : read_bytes(entry.path());
    }
    return files;
}

// Usage, help, every mistake and every failure: the status, the output
// and the message, and nothing read is changed nor anything written. An
// expected message without its final newline is the start of the message.
TEST(Cli, RunsThatWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;
        /// Prepares the folder; what it returns lives as long as the run.
        /// Returns nothing where that cannot be done here.
        std::function<std::shared_ptr<void>(const TempDir&)> setup = nullptr;
    };
    const std::string usage(kUsageText), help = help_text();
    const std::string z = "zirvon: ";
    const std::string long_name(300, 'x');
    const std::string folder = names_ignore_case() ? "folder.MML" : "folder.mml";
    const std::vector<Case> cases{
        // /? keeps the original usage text byte for byte; -h and --help explain.
        {{}, 0, usage, ""},
        {{"/?"}, 0, usage, ""},
        {{"-?x"}, 0, usage, ""},
        {{"-h"}, 0, help, ""},
        {{"--help"}, 0, help, ""},
        {{"/help", "song.mml"}, 0, help, ""},
        {{"-HELP"}, 0, help, ""},
        {{"--version"}, 0, "zirvon " ZIRVON_VERSION "\n", ""},
        // Mistakes on the command line: status 2, nothing is read.
        {{"song.mml", "/lsit"}, 2, "", z + "unknown option '/lsit'; did you mean '/list'?\n"},
        {{"song.mml", "T", "song2.mml"}, 2, "",
         z + "one name too many: 'song2.mml' (zirvon takes a source and a tape name; -o PATH names "
             "the image)\n"},
        {{"song.mml", "-o"}, 2, "", z + "option '-o' needs a value after it: -o PATH\n"},
        {{"song.mml", "-o", "song.MML"}, 2, "",
         z + "'song.MML' is the source itself; the image would replace it\n"},
        {{"song.mzt"}, 2, "",
         z + "'song.mzt' is a tape image: /play previews it, /list lists it, /midi, /wav, /svg, /mml and "
             "/cassette write it as a MIDI file, a WAV file, a picture, MML and a cassette recording, and a tape "
             "name after it renames it; it is left as it is\n"},
        {{"/list"}, 2, "", z + "no MML file given; 'zirvon --help' shows how to call it\n"},
        {{"song.txt"}, 2, "",
         z + "'song.txt' is neither an MML source (.MML), a tape image (.MZT) nor a MIDI file (.MID); 'zirvon "
             "--help' shows how to call it\n"},
        // Sources that cannot be read; wildcards reach the program as typed.
        {{"*.mml"}, 1, "", z + "cannot read '*.mml' (tried '*.MML' and '*.mml'): "},
        {{"missing.mml"}, 1, "",
         z + "cannot read 'missing.mml' (tried 'missing.MML' and 'missing.mml'): No such file or directory\n"},
        {{"missing.MML"}, 1, "", z + "cannot read 'missing.MML': No such file or directory\n"},
        {{"folder.mml"}, 1, "", z + "cannot read '" + folder + "': it is a folder, not a file\n"},
        {{long_name + ".mml"}, 1, "",
         z + "cannot read '" + long_name + ".mml' (tried '" + long_name + ".MML' and '" + long_name +
             ".mml'): File name too long\n"},
        {{"huge.mml"}, 1, "",
         z + "cannot read 'huge.MML': it is larger than 64 MiB, too large for an MML source\n",
         [](const TempDir& dir) {
             write_bytes(dir / "huge.MML", "");
             fs::resize_file(dir / "huge.MML", (std::uintmax_t{64} << 20) + 1);  // sparse
             return std::make_shared<int>();
         }},
        // An image that cannot be written: refused on every system, though a
        // rename could replace a read-only one on some. (An unwritable
        // folder: Cli.UnwritableFoldersInProcess.)
        {{"song.mml"}, 1, "", z + "cannot write 'song.MZT': it is read-only; -o PATH writes it elsewhere\n",
         [](const TempDir& dir) {
             fs::permissions(dir / "song.MZT", fs::perms::owner_write | fs::perms::group_write |
                                                   fs::perms::others_write, fs::perm_options::remove);
             return std::make_shared<int>();
         }},
        // Errors in the source: all of them, pointed at; nothing written.
        {{"bad.mml", "/midi"}, 1, "",
         "bad.MML:2:2: error: track number 12 is outside 0-9; text outside blocks is a comment, "
         "but digits there join the next block's track number: put them after ';'\n"
         "T1 2[C] 1[O0 C\n"
         " ^\n"
         "bad.MML:2:11: error: octave 0 is below the lowest, O1; the note after it on track 1 is out "
         "of range\n"
         "T1 2[C] 1[O0 C\n"
         "          ^\n"
         "bad.MML:2:10: warning: block is not closed on this line: its notes are kept, but no "
         "sync mark is written\n"
         "T1 2[C] 1[O0 C\n"
         "         ^\n"
         "zirvon: 2 errors, 1 warning; 'bad.MZT' and 'bad.MID' not written\n"},
        // A long line is shown around the place, cut at both ends.
        {{"two.mml"}, 1, "",
         "two.MML:1:3: error: octave 0 is below the lowest, O1; the note after it on track 2 is out of "
         "range\n2[O0 C]\n  ^\n"
         "two.MML:2:189: warning: unknown command 'X' is ignored\n..." + std::string(79, 'C') + " X C]\n" +
             std::string(83, ' ') + "^\nzirvon: 1 error, 1 warning; 'two.MZT' not written\n",
         [](const TempDir& dir) {
             write_bytes(dir / "two.MML", "2[O0 C]\n1[" + std::string(185, 'C') + " X C]\n");
             return std::make_shared<int>();
         }},
        // The caret counts the columns a terminal draws: two for a wide
        // character, one for a Shift-JIS character, shown as '?'.
        {{"wide.mml"}, 1, "",
         "wide.MML:1:11: warning: a Shift-JIS character's second byte is read as 'A', a note; write "
         "comments after ';'\n\xE6\x97\xA5? 1[C ? O0 C]\n        ^\n"
         "wide.MML:1:14: error: octave 0 is below the lowest, O1; the note after it on track 1 is out "
         "of range\n\xE6\x97\xA5? 1[C ? O0 C]\n          ^\nzirvon: 1 error, 1 warning; 'wide.MZT' not written\n",
         [](const TempDir& dir) {
             write_bytes(dir / "wide.MML", "\xE6\x97\xA5\x81\x41 1[C \x83\x41 O0 C]\n");
             return std::make_shared<int>();
         }},
        // Broken images.
        {{"short.MZT", "/list"}, 1, "",
         z + "short.MZT: not a tape image: it is 100 bytes long, shorter than the 128-byte header\n"},
        {{"cut.MZT", "/list"}, 1, "",
         z + "cut.MZT: not a tape image: its data ends inside track 1, before the end marks of all "
             "ten tracks\n"},
    };
    for (const Case& c : cases) {
        const std::string what = testing::PrintToString(c.args);
        TempDir dir;
        write_bytes(dir / "song.MML", "1[C]");
        write_bytes(dir / "song.MZT", "previous image");
        write_bytes(dir / "song.txt", "1[C]");
        write_bytes(dir / "a.mml", "1[C]");
        write_bytes(dir / "bad.MML", "1[C]\r\nT1 2[C] 1[O0 C\r\n");
        write_bytes(dir / "bad.MZT", "previous image");
        write_bytes(dir / "short.MZT", std::string(100, '\0'));
        write_bytes(dir / "cut.MZT", std::string(128, '\0') + std::string("\xFE\0\0", 3));
        fs::create_directory(dir / "folder.mml");
        const std::shared_ptr<void> prepared = c.setup ? c.setup(dir) : std::make_shared<int>();
        const auto before = snapshot(dir.path());
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.out, c.out) << what;
        if (c.err.ends_with('\n')) EXPECT_EQ(r.err, c.err) << what;
        else EXPECT_TRUE(r.err.starts_with(c.err)) << what << ": " << r.err;
        EXPECT_EQ(snapshot(dir.path()), before) << what;
    }
    EXPECT_TRUE(usage.ends_with("Play MML\x81\x41MZT file\n"));
}

TEST(Cli, CompilesToAByteExactImage) {
    struct Case {
        std::string file, text;
        std::vector<std::string> args;
        std::string image, tape_name, err;
    };
    const std::string long_name_warning =
        "zirvon: warning: tape name 'A-VERY-LONG-TAPE-NAME' is longer than 15 bytes; it is cut "
        "to 'A-VERY-LONG-TAP'\n";
    // Eight characters of two bytes each: cut between two of them.
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += "\xC3\x84";
    const std::string file_name_warning =
        "zirvon: warning: tape name 'out.mzt' looks like a file name; it only goes into the image "
        "header (-o PATH chooses where the image is written)\n";
    const std::vector<Case> cases{
        {"song.MML", "1[C]", {"song.mml"}, "song.MZT", "MUSICDATA", ""},
        {"song.MML", "1[C]", {"song.MML", "A-VERY-LONG-TAPE-NAME"}, "song.MZT", "A-VERY-LONG-TAPE-NAME",
         long_name_warning},
        {"song.MML", "1[C]", {"song.mml", "out.mzt"}, "song.MZT", "out.mzt", file_name_warning},
        {"song.MML", "1[C]", {"song.mml", eight}, "song.MZT", eight.substr(0, 14),
         "zirvon: warning: tape name '" + eight + "' is longer than 15 bytes; it is cut to '" + eight.substr(0, 14) +
             "'\n"},
        {"song.MML", "1[C]", {"song.mml", ""}, "song.MZT", "", ""},
        // Warnings still write the image, and are counted.
        {"w.mml", "1[C V]", {"w.mml"}, "w.MZT", "MUSICDATA",
         (names_ignore_case() ? "w.MML" : "w.mml") +
             std::string(":1:5: warning: unknown command 'V' is ignored\n1[C V]\n    ^\n"
                         "zirvon: 1 warning\n")},
        // Where case matters, the name as typed when the normalised one is missing.
        {"tune.mml", "1[C]", {"tune.mml"}, "tune.MZT", "MUSICDATA", ""},
        {"tune", "1[C]", {"tune"}, "tune.MZT", "MUSICDATA", ""},
        // /out= puts the image elsewhere, as -o does.
        {"song.MML", "1[C]", {"/out=sub/x.MZT", "song.mml"}, "sub/x.MZT", "MUSICDATA", ""},
        // Names and the tape name reach the file system and the image as the
        // bytes they are. Byte 0x80 is where a conversion through Latin-1 and
        // the Windows code page 1252 part ways.
        {"t\x80\xC3\xA9.MML", "1[C]", {"t\x80\xC3\xA9.mml", "N\x80\xC3\xA9"}, "t\x80\xC3\xA9.MZT",
         "N\x80\xC3\xA9", ""},
    };
    // A compile loads no MIDI, audio or audio-file library: the dynamic loader's report
    // (of an ELF binary's run; glibc's loader writes it to ld.PID) names none.
    const bool elf = read_bytes(ZIRVON_BINARY).starts_with("\x7F" "ELF");
    for (const Case& c : cases) {
        TempDir dir;
        fs::create_directory(dir / "sub");
        // Named as bytes: std::filesystem::path may convert them on the way.
        const std::string base = dir.path().string() + "/";
        testing_support::write_named_bytes(base + c.file, c.text);
        const RunResult r =
            run_zirvon(c.args, dir.path(), {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + (dir / "ld").string()});
        EXPECT_EQ(r.status, 0) << c.file;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(testing_support::read_named_bytes(base + c.image), one_note_image(c.tape_name))
            << c.image;
        std::string loaded;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().starts_with("ld.")) loaded += read_bytes(entry.path());
        if (!elf) continue;
        EXPECT_NE(loaded.find("libc.so"), std::string::npos) << "no report from the dynamic loader";
        for (const char* library : {"rtmidi", "rtaudio", "jack", "asound", "libdb", "sndfile"})
            EXPECT_EQ(loaded.find(library), std::string::npos) << library << " is loaded:\n" << loaded;
    }
}

// Folders the user may not write, met in process on every system and
// without root: what the runs write goes into a store with those folders
// locked. A new image there is refused and the old one kept; with -o the
// source's folder may be locked, and every output follows the image's name.
TEST(Cli, UnwritableFoldersInProcess) {
    TempDir dir;
    fs::create_directory(dir / "out");
    fs::create_directory(dir / "src");
    write_bytes(dir / "out" / "song.MML", "1[C]");
    write_bytes(dir / "src" / "song.mml", "1[C]");
    {
        MemoryFiles store;
        const UseFileStore use(store);
        store.put("out/song.MZT", "previous image");
        store.lock("out");
        const RunResult r = run_in_process({"out/song.mml"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.find("zirvon: cannot write 'out/song.MZT': Permission denied"), 0u) << r.err;
        EXPECT_EQ(store.names_in("out"), std::vector<std::string>{"out/song.MZT"});
        EXPECT_EQ(store.bytes("out/song.MZT"), "previous image");
    }
    MemoryFiles store;
    const UseFileStore use(store);
    store.lock("src");
    const RunResult r = run_in_process({"src/song.mml", "/midi", "-o", "out/tune.mzt"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(store.bytes("out/tune.mzt"), one_note_image("MUSICDATA"));
    EXPECT_TRUE(store.bytes("out/tune.MID").has_value());
    EXPECT_EQ(store.names_in("src"), std::vector<std::string>{});
    const RunResult unused = run_in_process({"src/song.mml", "/list", "-o", "out/x.MZT"}, dir.path());
    EXPECT_EQ(unused.status, 0);
    EXPECT_EQ(unused.err, "zirvon: warning: 'out/x.MZT' is not written: /list writes no image\n");
    EXPECT_FALSE(store.bytes("out/x.MZT").has_value());
}

// Where names ignore case the two are one file, and nothing is said.
TEST(Cli, BothSpellingsOfTheSourceSayWhichIsRead) {
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]");
    write_bytes(dir / "song.mml", "1[D]");
    const RunResult r = run_zirvon({"song.mml"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, names_ignore_case()
                         ? ""
                         : "zirvon: warning: both 'song.MML' and 'song.mml' exist; reading 'song.MML'\n");
}

TEST(Cli, ListShowsTheHeaderAndEventsAndWritesNothing) {
    TempDir dir;
    write_bytes(dir / "song.MZT", one_note_image("MY SONG"));
    write_bytes(dir / "tune.mml", "1[C]");
    // Tracks 1 to 8 show the block and the tick each event is read in;
    // tracks 0 and 9, never played, show none. An image's header comes first.
    const std::string header =
        "Tape name:          MY SONG\n"
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
    // Some tracks only: /solo and /mute choose them.
    EXPECT_EQ(run_zirvon({"/list", "tune.mml", "/solo=1"}, dir.path()).out, track1);
    EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
    EXPECT_EQ(read_bytes(dir / "song.MZT"), one_note_image("MY SONG"));

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
