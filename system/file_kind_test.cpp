#include "system/file_kind.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::TempDir;

TEST(FileKind, TellsFilesFoldersDevicesAndWhyNothingIsThere) {
    TempDir dir;
    const std::string base = dir.path().string() + "/";
    testing_support::write_named_bytes(base + "song.MML", "1[C]");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        std::string path;
        FileKind kind;
        std::string why;
    };
    const std::vector<Case> cases{
        {base + "song.MML", FileKind::regular, ""},
        {base + "folder", FileKind::folder, ""},
        {testing_support::null_device(), FileKind::other, ""},
        {base + "missing.MML", FileKind::unknown, "No such file or directory"},
        {base + "missing/song.MML", FileKind::unknown, "No such file or directory"},
        {"", FileKind::unknown, "No such file or directory"},
        {base + std::string(300, 'x'), FileKind::unknown, "File name too long"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(file_kind(c.path, why), c.kind) << c.path;
        if (c.kind == FileKind::unknown) {
            EXPECT_EQ(why, c.why) << c.path;
        }
        EXPECT_EQ(path_exists(c.path), c.kind != FileKind::unknown) << c.path;
    }
}

}  // namespace
}  // namespace zirvon
