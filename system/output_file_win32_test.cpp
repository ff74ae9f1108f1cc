// What the atomic writer does on Windows only.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>

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

// As on POSIX systems: a pipe is written into as the pieces come, and so is
// a device, which no folder holds.
TEST(WriteFileAtomically, StreamsIntoANamedPipeAndWritesIntoTheNullDevice) {
    const std::string pipe_name =
        "\\\\.\\pipe\\zirvon-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE pipe = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 1 << 16, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::string received;
    std::thread reader([&] {
        ConnectNamedPipe(pipe, nullptr);
        char buffer[4096];
        for (DWORD n = 0; ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0;)
            received.append(buffer, n);
    });
    const std::string big(1 << 20, 'x');
    const auto produce = [&](const ByteSink& sink) {
        return sink(as_bytes(big)) && sink(as_bytes("end"));
    };
    std::string error;
    for (const std::string& device : {pipe_name, std::string("NUL"), std::string("nul")}) {
        const bool written = write_file_atomically(device, produce, error);
        EXPECT_TRUE(written) << device << ": " << error;
        // A reader still waiting for a writer is let go.
        if (!written && device == pipe_name)
            CloseHandle(CreateFileA(pipe_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    }
    reader.join();
    CloseHandle(pipe);
    EXPECT_EQ(received, big + "end");
}

}  // namespace
}  // namespace zirvon
