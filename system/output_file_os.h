// The platform's part of the atomic writer (output_file.cpp): looking at
// what a name stands for, one open file, and the move that replaces a file.
// Its twins are output_file_posix.cpp and output_file_win32.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zirvon::output_file_os {

/// What a name stands for, as a file is about to be written there.
struct Target {
    enum class Kind { missing, regular, folder, stream, other };
    Kind kind = Kind::missing;
    /// What to write: a symbolic link followed, so that the file it points
    /// at is replaced rather than the link.
    std::string path;
    /// A regular file that may not be written.
    bool read_only = false;
};

/// Looks at `name`: a stream is a pipe or a device (a terminal, the null
/// device), written into as it is. False, with the system's reason, when
/// that cannot be told.
bool inspect(const std::string& name, Target& target, std::string& why);

/// One open file of the system's; closed when destroyed.
class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    /// Opens the stream at `path` for writing.
    bool open_stream(const std::string& path);
    /// Makes a new, empty file in the folder of `path`, with the permissions
    /// a file at `path` gets or has, and names it in `temp`. On failure
    /// there is none, and `temp` is empty.
    bool create_beside(const std::string& path, std::string& temp);
    bool is_open() const { return handle_ != kClosed; }
    bool write_all(std::span<const std::uint8_t> bytes);
    /// Flushes what was written to the disk.
    bool sync();
    /// Closes now, reporting the result (a late write error may show here);
    /// true when nothing was open.
    bool close();

private:
    static constexpr std::intptr_t kClosed = -1;  ///< as POSIX and Windows both say
    std::intptr_t handle_ = kClosed;
};

/// Moves `temp` over `path` in one step, durably: the folder's entry too.
bool replace(const std::string& temp, const std::string& path);
/// Removes a file, as far as it can.
void remove(const std::string& path);
/// Why the last call above failed, in the system's words.
std::string last_error();

}  // namespace zirvon::output_file_os
