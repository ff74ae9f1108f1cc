// What the atomic writer does on POSIX systems only.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "system/output_file.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using testing_support::as_bytes;
using testing_support::read_bytes;
using testing_support::TempDir;
using testing_support::write_bytes;

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

TEST(WriteFileAtomically, StreamsIntoAPipeAsThePiecesComeAndKeepsIt) {
    TempDir dir;
    const auto pipe = dir / "song.WAV";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::ifstream in(pipe, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    // A piece bigger than a pipe holds: the reader takes it while it comes.
    const std::string big(1 << 20, 'x');
    std::string error;
    const bool ok = write_file_atomically(
        pipe.string(),
        [&](const ByteSink& sink) { return sink(as_bytes(big)) && sink(as_bytes("end")); }, error);
    reader.join();
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(received, big + "end");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST(WriteFileAtomically, WritesIntoACharacterDeviceAndKeepsIt) {
    TempDir dir;
    const auto device = dir / "song.MZT";
    // A node of the null device: making one needs root.
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node: " << std::strerror(errno);
    }
    std::string error;
    ASSERT_TRUE(write_file_atomically(device.string(), as_bytes("image"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_character_file(device));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteFileAtomically, RefusesASocketAndLeavesIt) {
    TempDir dir;
    const auto socket_path = dir / "song.MZT";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = socket_path.string();
    if (name.size() >= sizeof address.sun_path) {
        ::close(fd);
        GTEST_SKIP() << "temporary folder name too long for a socket";
    }
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::string error;
    EXPECT_FALSE(write_file_atomically(name, as_bytes("image"), error));
    ::close(fd);
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_socket(socket_path));
}

}  // namespace
}  // namespace zirvon
