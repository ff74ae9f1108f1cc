// What the atomic writer does on Windows only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "system/output_file.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::as_bytes;
using testing_support::read_bytes;
using testing_support::TempDir;

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

}  // namespace
}  // namespace zirvon
