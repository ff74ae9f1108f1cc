#include "system/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::as_bytes;
using testing_support::read_bytes;
using testing_support::TempDir;
using testing_support::write_bytes;

std::size_t entries_in(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(WriteFileAtomically, ReplacesTheFileALinkPointsAt) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    write_bytes(dir / "real" / "song.MZT", "old");
    std::error_code ec;
    std::filesystem::create_symlink(std::filesystem::path("real") / "song.MZT", dir / "song.MZT",
                                    ec);
    if (ec || !std::filesystem::is_symlink(dir / "song.MZT"))
        GTEST_SKIP() << "cannot make a symbolic link here (on Windows it takes a privilege)";
    std::string error;
    ASSERT_TRUE(write_file_atomically((dir / "song.MZT").string(), as_bytes("new"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "song.MZT"));
    EXPECT_EQ(read_bytes(dir / "real" / "song.MZT"), "new");
}

TEST(AtomicWriter, CommitsPiecesAsOneFileAndAbandonsWhatIsNotCommitted) {
    TempDir dir;
    const auto target = dir / "song.WAV";
    write_bytes(target, "previous, and longer than what replaces it");
    std::string error;
    {
        AtomicWriter writer;
        ASSERT_TRUE(writer.open(target.string(), error)) << error;
        ASSERT_TRUE(writer.write(as_bytes("half of "), error)) << error;
        EXPECT_EQ(read_bytes(target), "previous, and longer than what replaces it");  // meanwhile
    }  // destroyed before commit
    EXPECT_EQ(read_bytes(target), "previous, and longer than what replaces it");
    EXPECT_EQ(entries_in(dir.path()), 1u);

    AtomicWriter writer;
    ASSERT_TRUE(writer.open(target.string(), error)) << error;
    for (const char* piece : {"one ", "two ", "three"})
        ASSERT_TRUE(writer.write(as_bytes(piece), error));
    ASSERT_TRUE(writer.commit(error)) << error;
    EXPECT_EQ(read_bytes(target), "one two three");
    EXPECT_EQ(entries_in(dir.path()), 1u);
}

// Every file is written through a producer; the command-line tests check
// what one that finishes writes.
TEST(WriteFileAtomically, AProducerThatGivesUpWritesNothing) {
    TempDir dir;
    const auto target = dir / "song.SVG";
    write_bytes(target, "old picture");
    std::string error;
    const auto gives_up = [](const ByteSink& sink) { return sink(as_bytes("half a pic")) && false; };
    EXPECT_FALSE(write_file_atomically(target.string(), gives_up, error));
    EXPECT_EQ(error, "cannot write '" + target.string() + "': its contents could not be made");
    EXPECT_EQ(read_bytes(target), "old picture");
    EXPECT_EQ(entries_in(dir.path()), 1u);
}

// A read-only file is refused everywhere, even where a rename could replace
// it (and for root). A writer that could not open writes nothing after.
TEST(WriteFileAtomically, RefusesFoldersMissingFoldersAndReadOnlyFilesAndLeavesThem) {
    TempDir dir;
    const auto read_only = dir / "song.MZT";
    write_bytes(read_only, "previous image");
    std::filesystem::permissions(read_only,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const std::string missing = (dir / "no-such-folder" / "song.MZT").string();
    for (const auto& [path, why] :
         {std::pair{dir.path().string(), std::string("it is a folder")},
          std::pair{missing, std::string("No such file or directory")},
          std::pair{read_only.string(), std::string("it is read-only")}}) {
        std::string error;
        EXPECT_FALSE(write_file_atomically(path, as_bytes("new"), error));
        EXPECT_EQ(error, "cannot write '" + path + "': " + why);
        AtomicWriter writer;
        EXPECT_FALSE(writer.open(path, error));
        EXPECT_FALSE(writer.write(as_bytes("x"), error));
        EXPECT_FALSE(writer.commit(error));
    }
    EXPECT_EQ(read_bytes(read_only), "previous image");
    EXPECT_EQ(entries_in(dir.path()), 1u);
}

}  // namespace
}  // namespace zirvon
