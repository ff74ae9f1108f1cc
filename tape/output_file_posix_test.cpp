// What the atomic writer does on POSIX systems only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tape/output_file.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::read_bytes;
using testing_support::TempDir;
using testing_support::write_bytes;

std::span<const std::uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(WriteFileAtomically, KeepsThePermissionsOfAReplacedFile) {
    TempDir dir;
    const auto target = dir / "song.MZT";
    write_bytes(target, "old");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read);
    std::string error;
    ASSERT_TRUE(write_file_atomically(target.string(), as_bytes("new"), error)) << error;
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST(WriteFileAtomically, ReplacesTheFileALinkPointsAt) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    write_bytes(dir / "real" / "song.MZT", "old");
    std::filesystem::create_symlink("real/song.MZT", dir / "song.MZT");
    std::string error;
    ASSERT_TRUE(write_file_atomically((dir / "song.MZT").string(), as_bytes("new"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "song.MZT"));
    EXPECT_EQ(read_bytes(dir / "real" / "song.MZT"), "new");
}

}  // namespace
}  // namespace zirvon
