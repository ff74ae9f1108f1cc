// Helpers shared by the tests: temporary folders, files, and running the
// real zirvon binary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zirvon::testing_support {

/// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void write_bytes(const std::filesystem::path& file, const std::string& bytes);
std::string read_bytes(const std::filesystem::path& file);
std::vector<std::uint8_t> read_byte_vector(const std::filesystem::path& file);

/// Makes a folder unwritable for this process, even for root (through the
/// immutable attribute), until destroyed. `ok()` is false where neither
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
    bool immutable_ = false;
    bool ok_ = false;
};

struct RunResult {
    int status = -1;  ///< exit status, or 128 + signal number
    std::string out;
    std::string err;
};

/// Runs the zirvon binary with `args` in folder `cwd`, with no input, and
/// extra environment variables "NAME=value" added to the test's own.
RunResult run_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::vector<std::string>& env = {});

/// Starts the zirvon binary like run_zirvon, with its output thrown away,
/// and returns its process id without waiting for it.
int start_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd);

/// Waits for a process started by start_zirvon; returns its status as
/// RunResult::status does.
int wait_zirvon(int pid);

/// The folder of the project's sources (for examples/).
std::filesystem::path source_dir();

}  // namespace zirvon::testing_support
