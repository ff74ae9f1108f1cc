// Helpers shared by the tests: temporary folders, files, and running the
// real zirvon binary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "song/song.h"

namespace zirvon::testing_support {

/// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

void write_bytes(const std::filesystem::path& file, const std::string& bytes);
std::string read_bytes(const std::filesystem::path& file);

/// The same for a name given as bytes and handed to the C library's fopen
/// unchanged, as the program does with its names; std::filesystem::path may
/// convert the bytes of a name on the way.
void write_named_bytes(const std::string& name, const std::string& bytes);
std::string read_named_bytes(const std::string& name);

/// The bytes of a string, as the writers take them.
inline std::span<const std::uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

/// The song of the image file `image`, which must load.
Song song_of_image(const std::filesystem::path& image);

/// The system's null device: /dev/null, NUL.
std::string null_device();

/// True where file names ignore case (Windows, macOS). There song.MML is
/// found under that name even when it is stored as song.mml, and messages
/// name it so.
bool names_ignore_case();

/// Makes a folder unwritable for this process until destroyed: on Linux
/// through its permissions, and for root through the immutable attribute; on
/// Windows through its access list. `ok()` is false where none of that
/// works, and the test should then be skipped.
class UnwritableFolder {
public:
    explicit UnwritableFolder(std::filesystem::path folder);
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    ~UnwritableFolder();
    bool ok() const { return ok_; }

private:
    std::filesystem::path folder_;
    std::function<void()> undo_;  ///< takes back what was done besides permissions
    bool ok_ = false;
};

struct RunResult {
    int status = -1;  ///< exit status, or 128 + signal number
    std::string out;
    std::string err;
};

/// Runs the zirvon binary with `args` in folder `cwd`, with no input, and
/// extra environment variables "NAME=value" put over the test's own.
RunResult run_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::vector<std::string>& env = {});

/// Runs `args` as the program would, but in this process, in folder `cwd`:
/// for the cases that need no other process (the plan, its refusals, the
/// files a run writes), which start much faster than the binary.
RunResult run_in_process(const std::vector<std::string>& args, const std::filesystem::path& cwd);

/// Starts the zirvon binary like run_zirvon, with its output thrown away
/// (or its standard error written to the file `err_path`, which others may
/// read meanwhile), and returns its process id without waiting for it.
int start_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                 const std::string& err_path = "");

/// Waits for a process started by start_zirvon; returns its status as
/// RunResult::status does.
int wait_zirvon(int pid);

/// Interrupts this process as the user's Ctrl+C would: SIGINT on POSIX; on
/// Windows a Ctrl+C console event, in a console of the process's own so that
/// no other program sees it. False when that cannot be done here.
bool interrupt_self();

/// Interrupts a process that start_zirvon started, as Ctrl+C at its console
/// would: SIGINT on POSIX; on Windows Ctrl+Break to its process group (the
/// one console event that can be aimed at one program). False when that
/// cannot be done here.
bool interrupt_zirvon(int pid);

/// Ends a process that start_zirvon started at once, giving it no chance to
/// clean up: for a test that cannot interrupt it here.
void kill_zirvon(int pid);

/// The binary started in the background, as start_zirvon does, with its
/// standard error in a file; stopped when the object goes.
class Background {
public:
    Background(const std::vector<std::string>& args, const std::filesystem::path& cwd);
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    ~Background();
    int pid() const { return pid_; }
    /// Ctrl+C, then the exit status; -1 where no Ctrl+C can be sent (Wine
    /// sends no console events), and it is ended the hard way.
    int stop();
    /// What it has written to standard error so far.
    std::string err() const { return read_bytes(err_path_); }

private:
    TempDir capture_;
    std::filesystem::path err_path_;
    int pid_;
};

/// The folder of the project's sources (for examples/).
std::filesystem::path source_dir();

/// What the tests of whole runs use unqualified, taken in with one
/// `using namespace testing_support::runs;`.
namespace runs {
using testing_support::read_bytes;
using testing_support::run_in_process;
using testing_support::run_zirvon;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::write_bytes;
namespace fs = std::filesystem;
}  // namespace runs

}  // namespace zirvon::testing_support
