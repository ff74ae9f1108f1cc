// What the atomic writer does on Windows only.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "tape/output_file.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::as_bytes;
using testing_support::read_bytes;
using testing_support::TempDir;
using testing_support::write_bytes;

TEST(WriteFileAtomically, BackslashesSeparateFolders) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const std::string target = dir.path().string() + "\\sub\\song.MZT";
    std::string error;
    ASSERT_TRUE(write_file_atomically(target, as_bytes("new"), error)) << error;
    EXPECT_EQ(read_bytes(dir / "sub" / "song.MZT"), "new");
    // The temporary file was made beside the target, not in the current folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "sub"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WriteFileAtomically, ReplacesTheFileALinkPointsAt) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    write_bytes(dir / "real" / "song.MZT", "old");
    const std::string link = (dir / "song.MZT").string();
    CreateSymbolicLinkA(link.c_str(), "real\\song.MZT",
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "cannot make a symbolic link here (it takes a privilege on Windows; Wine "
                        "does not make them)";
    }
    std::string error;
    ASSERT_TRUE(write_file_atomically(link, as_bytes("new"), error)) << error;
    EXPECT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(read_bytes(dir / "real" / "song.MZT"), "new");
}

}  // namespace
}  // namespace zirvon
