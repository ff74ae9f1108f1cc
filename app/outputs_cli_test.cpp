// /midi, /wav and /svg on the real binary: each file beside the image, from
// MML sources and from tape images, the same on every run, written like
// every other file. Their contents are checked against models elsewhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "play/player.h"
#include "song/song.h"
#include "system/memory_files.h"
#include "tape/tape_image.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

Song song_of(const fs::path& image) { return testing_support::song_of_image(image); }

std::uint32_t le32(const std::string& b, std::size_t at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

/// The rows of a picture, without the source lines that only MML knows.
std::string rows_without_lines(std::string svg) {
    svg.erase(0, svg.find("<g class=\"row\""));
    for (std::size_t at; (at = svg.find(", line 1<")) != std::string::npos;) svg.erase(at, 8);
    for (std::size_t at; (at = svg.find("<text class=\"source\"")) != std::string::npos;)
        svg.erase(at, svg.find('\n', at) + 1 - at);
    return svg;
}

struct Output {
    std::vector<std::string> spellings;
    std::string extension;
    /// Checks the file written from song.MML, beside song.MZT in `dir`, if need be.
    std::function<void(const TempDir& dir, const std::string& file)> check;
    /// What must agree between the file from the source and from the image.
    std::function<std::string(const std::string&)> from_image_part = [](const std::string& f) { return f; };
    /// What the run says: nothing, or the line after the file is written.
    std::string said = "";
};

const std::vector<Output>& outputs() {
    static const std::vector<Output> all{
        // The MIDI file model test reads its notes; the tape name is the
        // sequence's name.
        {{"/midi", "-midi", "/MIDI"}, ".MID",
         [](const TempDir&, const std::string& midi) {
             EXPECT_EQ(midi.substr(22, 8), std::string("\0\xFF\x03\x04TUNE", 8));
         }},
        // 16-bit stereo at 44.1 kHz, 250 ms longer than the preview.
        {{"/wav", "-WAV"}, ".WAV",
         [](const TempDir& dir, const std::string& wav) {
             ASSERT_GE(wav.size(), 44u);
             EXPECT_EQ(wav.substr(0, 4), "RIFF");
             EXPECT_EQ(wav.substr(8, 28),
                       std::string("WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 28));
             EXPECT_EQ(wav.substr(36, 4), "data");
             const std::uint64_t ticks = play::play_through(song_of(dir / "song.MZT"), nullptr).done_tick;
             EXPECT_EQ(le32(wav, 40), (ticks * 882 + 11025) * 4);
             EXPECT_EQ(le32(wav, 4), wav.size() - 8);
         }},
        {{"/svg", "-SVG"}, ".SVG",
         [](const TempDir&, const std::string& svg) {
             EXPECT_NE(svg.find("<title>song.MML \u00B7 TUNE \u00B7 0:01 \u00B7 1 block \u00B7 3 notes</title>"),
                       std::string::npos) << svg.substr(0, 400);
         },
         rows_without_lines},
        // 16-bit mono at 44.1 kHz; the line says its length and the name
        // the machine shows. Its signal is checked in the core.
        {{"/cassette", "-CASSETTE", "/Cassette=standard,44100,16bit"}, ".TAPE.WAV",
         [](const TempDir&, const std::string& wav) {
             ASSERT_GE(wav.size(), 44u);
             EXPECT_EQ(wav.substr(8, 28),
                       std::string("WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xAC\0\0\x88\x58\x01\0\x02\0\x10\0", 28));
             EXPECT_EQ(le32(wav, 4), wav.size() - 8);
         },
         [](const std::string& f) { return f; },
         "zirvon: 'song.TAPE.WAV' written: 0:19 of sound, standard layout, 44,100 Hz, 16-bit; the machine shows "
         "LOADING TUNE\n"},
    };
    return all;
}

TEST(OutputsCli, BesideTheImageFromSourceOrImageTheSameOnEveryRun) {
    for (const Output& o : outputs()) {
        TempDir dir;
        const fs::path file = dir / ("song" + o.extension);
        write_bytes(dir / "song.MML", "1[C D] 2[E]\n");
        RunResult r = run_zirvon({"song.mml", o.spellings[0], "TUNE"}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, o.said);
        const std::string image = read_bytes(dir / "song.MZT");
        const std::string from_source = read_bytes(file);
        if (o.check) o.check(dir, from_source);
        for (const std::string& spelling : o.spellings) {
            ASSERT_EQ(run_zirvon({"song.mml", spelling, "TUNE"}, dir.path()).status, 0) << spelling;
            EXPECT_EQ(read_bytes(file), from_source) << spelling << ": a second run gave other bytes";
        }
        // The image alone: the same, and no /play, so the image is left as
        // it is and the tape name given goes nowhere, but on a new tape.
        fs::remove(file);
        r = run_zirvon({"song.MZT", "OTHER", o.spellings[0]}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_bytes(dir / "song.MZT"), image);
        if (o.extension == ".TAPE.WAV") {  // a recording read back gives the image, renamed
            EXPECT_TRUE(r.err.ends_with("; the machine shows LOADING OTHER\n")) << r.err;
            r = run_zirvon({"song.TAPE.WAV", "-o", "back.mzt"}, dir.path());
            ASSERT_EQ(r.status, 0) << r.err;
            std::string renamed = image;
            renamed.replace(1, 6, "OTHER\r");
            EXPECT_EQ(read_bytes(dir / "back.mzt"), renamed);
        } else {
            EXPECT_EQ(o.from_image_part(read_bytes(file)), o.from_image_part(from_source)) << o.extension;
            EXPECT_EQ(r.err, "zirvon: warning: tape name 'OTHER' is not used: the image is renamed only when it is "
                             "played or nothing else is asked of it ('zirvon song.MZT OTHER')\n");
        }
        if (o.extension == ".SVG") {  // named after the image, which keeps its tape name
            EXPECT_NE(read_bytes(file).find("<title>song.MZT \u00B7 TUNE \u00B7"), std::string::npos);
        }

        // With /list no image is written, but the file is; a name without
        // an extension gets one.
        write_bytes(dir / "tune", "1[C D E]\n");
        r = run_zirvon({"tune", "/list", o.spellings[0]}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Track 1: 5 events"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(dir / ("tune" + o.extension))) << o.extension;
        EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
    }
}

TEST(OutputsCli, UnwritableFolderIsAnErrorAndKeepsTheOldFile) {
    for (const Output& o : outputs()) {
        TempDir dir;
        fs::create_directory(dir / "out");
        write_bytes(dir / "out" / "song.mml", "1[C]\n");
        ASSERT_EQ(run_zirvon({"out/song.mml"}, dir.path()).status, 0);
        // What the runs write goes into a folder of the store they may not write.
        MemoryFiles store;
        const UseFileStore use(store);
        store.put("out/song" + o.extension, "old");
        store.lock("out");
        const RunResult r = run_in_process({"out/song.MZT", o.spellings[0]}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.find("zirvon: cannot write 'out/song" + o.extension + "': Permission denied"), 0u) << r.err;
        EXPECT_EQ(store.bytes("out/song" + o.extension), "old");
        // From the source, the run names every file it does not write.
        const RunResult all = run_in_process({"out/song.mml", "/midi", "/svg"}, dir.path());
        EXPECT_TRUE(all.err.ends_with("; 'out/song.SVG' and 'out/song.MZT' are not written either; -o PATH "
                                      "writes them elsewhere\n"))
            << all.err;
    }
}

TEST(OutputsCli, NotesAboveMidiRangeAreLeftOutWithOneWarning) {
    TempDir dir;
    // O9 C is pitch code 96, MIDI note 120; A and B pass 127.
    write_bytes(dir / "high.MML", "1[O9 C A B]\n");
    const std::string warning =
        "high.MML:1:8: warning: the 2 notes from here on this line are above MIDI 127, the highest that "
        "plays; they are kept in the image but not heard\n1[O9 C A B]\n       ^\nzirvon: 1 warning\n";
    EXPECT_EQ(run_zirvon({"high.mml", "/wav"}, dir.path()).err, warning);
    // An image has no source to point into: the notes left out are counted.
    for (const char* option : {"/midi", "/wav"}) {
        const RunResult r = run_zirvon({"high.MZT", option}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "zirvon: warning: 2 notes lie above MIDI note 127 and are left out\n");
    }
}

TEST(OutputsCli, ASongTooLongForAWavIsRefusedBeforeAnythingIsWritten) {
    // 4,800 notes of 255 ticks: 6 h 50 min, past the 4 GiB that RIFF can
    // count. One note a tick shorter makes the length whole seconds.
    std::string mml = "1[C%254 ";
    for (int line = 0; line < 100; ++line) {
        if (line > 0) mml += "1[C%255 ";
        for (int note = 1; note < 48; ++note) mml += "C%255 ";
        mml += "]\n";
    }
    TempDir dir;
    write_bytes(dir / "long.mml", mml);
    const RunResult r = run_zirvon({"long.mml", "/wav"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zirvon: cannot write 'long.WAV': the song lasts 6:49:38 and a WAV file holds at most "
              "6:45:47; choose a part of it with /from and /to\n");
    EXPECT_FALSE(fs::exists(dir / "long.WAV"));
    EXPECT_FALSE(fs::exists(dir / "long.MZT"));
}

}  // namespace
}  // namespace zirvon
