// /svg on the real binary: the piano roll beside the image, from MML sources
// and from tape images, written like every other file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::read_bytes;
using testing_support::run_zirvon;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::write_bytes;
namespace fs = std::filesystem;

/// The rows of a picture, without the source lines that only MML knows.
std::string rows_without_lines(std::string svg) {
    svg.erase(0, svg.find("<g class=\"row\""));
    for (std::size_t at; (at = svg.find(", line 1<")) != std::string::npos;) svg.erase(at, 8);
    return svg;
}

TEST(PictureCli, SvgBesideTheImageFromSourceAndFromImage) {
    TempDir dir;
    write_bytes(dir / "tune.MML", "1[C D] 2[E]\n");
    RunResult r = run_zirvon({"tune.mml", "/svg", "TUNE"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(fs::exists(dir / "tune.MZT"));
    const std::string from_source = read_bytes(dir / "tune.SVG");
    EXPECT_NE(from_source.find(
                  "<title>tune.MML \u00B7 TUNE \u00B7 0:01 \u00B7 1 block \u00B7 3 notes</title>"),
              std::string::npos)
        << from_source.substr(0, 400);

    // The image alone is a valid action: the same notes, its own name and
    // header in the title, the image left as it was.
    const std::string image = read_bytes(dir / "tune.MZT");
    fs::remove(dir / "tune.SVG");
    r = run_zirvon({"-SVG", "tune.mzt", "OTHER"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string from_image = read_bytes(dir / "tune.SVG");
    EXPECT_NE(from_image.find("<title>tune.MZT \u00B7 TUNE \u00B7"), std::string::npos)
        << from_image.substr(0, 400);
    EXPECT_EQ(rows_without_lines(from_image), rows_without_lines(from_source));
    EXPECT_EQ(read_bytes(dir / "tune.MZT"), image);

    // With /list no image is written, but the picture is.
    fs::remove(dir / "tune.MZT");
    r = run_zirvon({"tune.mml", "/list", "/svg"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "tune.MZT"));
    EXPECT_TRUE(fs::exists(dir / "tune.SVG"));
}

TEST(PictureCli, UnwritableFolderIsAnErrorAndLeavesTheOldPicture) {
    TempDir dir;
    fs::create_directory(dir / "out");
    write_bytes(dir / "out" / "song.mml", "1[C]\n");
    ASSERT_EQ(run_zirvon({"out/song.mml"}, dir.path()).status, 0);
    write_bytes(dir / "out" / "song.SVG", "old picture");
    testing_support::UnwritableFolder locked(dir / "out");
    if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
    const RunResult r = run_zirvon({"out/song.MZT", "/svg"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write 'out/song.SVG'"), std::string::npos) << r.err;
    EXPECT_EQ(read_bytes(dir / "out" / "song.SVG"), "old picture");
}

}  // namespace
}  // namespace zirvon
