// /wav on the real binary: the WAV file beside the image, from MML sources
// and from tape images, the same on every run; and the files it refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "play/player.h"
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

std::string example(const std::string& name) {
    return read_bytes(testing_support::source_dir() / "examples" / name);
}

std::uint64_t done_tick_of(const fs::path& image) {
    Song song;
    std::string error;
    EXPECT_TRUE(load_tape(image.string(), song, error)) << error;
    return play::play_through(song, nullptr).done_tick;
}

std::uint32_t le32(const std::string& b, std::size_t at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

TEST(WavCli, BesideTheImageFromMmlOrImageAndTheSameOnEveryRun) {
    TempDir dir;
    write_bytes(dir / "canon.mml", example("canon.mml"));
    const RunResult r = run_zirvon({"canon.mml", "/wav"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string wav = read_bytes(dir / "canon.WAV");
    const std::string image = read_bytes(dir / "canon.MZT");

    // 16-bit stereo at 44.1 kHz, 250 ms longer than the preview.
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 28), std::string("WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 28));
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le32(wav, 40), (done_tick_of(dir / "canon.MZT") * 882 + 11025) * 4);
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);

    ASSERT_EQ(run_zirvon({"canon.mml", "-WAV"}, dir.path()).status, 0);
    EXPECT_EQ(read_bytes(dir / "canon.WAV"), wav) << "a second run gave other bytes";
    fs::remove(dir / "canon.WAV");
    const RunResult from_image = run_zirvon({"canon.MZT", "OTHER", "/wav"}, dir.path());
    ASSERT_EQ(from_image.status, 0) << from_image.err;
    EXPECT_EQ(read_bytes(dir / "canon.WAV"), wav) << "the image gave other bytes than its source";
    EXPECT_EQ(read_bytes(dir / "canon.MZT"), image);  // no /play: the image is left as it is
}

TEST(WavCli, WithListOnlyTheWavIsWritten) {
    TempDir dir;
    write_bytes(dir / "tune", "1[C D E]\n");
    const RunResult r = run_zirvon({"tune", "/list", "/wav"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Track 1: 5 events"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir / "tune.WAV"));
    EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
}

TEST(WavCli, UnwritableFolderIsAnErrorAndKeepsTheOldFile) {
    TempDir dir;
    fs::create_directory(dir / "out");
    write_bytes(dir / "out" / "song.mml", "1[C]\n");
    ASSERT_EQ(run_zirvon({"out/song.mml"}, dir.path()).status, 0);
    write_bytes(dir / "out" / "song.WAV", "old");
    testing_support::UnwritableFolder locked(dir / "out");
    if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
    const RunResult r = run_zirvon({"out/song.MZT", "/wav"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("zirvon: cannot write 'out/song.WAV': ")) << r.err;
    EXPECT_EQ(read_bytes(dir / "out" / "song.WAV"), "old");
}

TEST(WavCli, ASongTooLongForAWavIsRefusedBeforeAnythingIsWritten) {
    // 4,800 notes of 255 ticks: 6 h 50 min, past the 4 GiB that RIFF can count.
    std::string mml;
    for (int line = 0; line < 100; ++line) {
        mml += "1[";
        for (int note = 0; note < 48; ++note) mml += "C%255 ";
        mml += "]\n";
    }
    TempDir dir;
    write_bytes(dir / "long.mml", mml);
    const RunResult r = run_zirvon({"long.mml", "/wav"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zirvon: cannot write 'long.WAV': the song lasts 6:49:39 and a WAV file holds at most "
              "6:45:47; choose a part of it with /from and /to\n");
    EXPECT_FALSE(fs::exists(dir / "long.WAV"));
    EXPECT_FALSE(fs::exists(dir / "long.MZT"));
}

}  // namespace
}  // namespace zirvon
