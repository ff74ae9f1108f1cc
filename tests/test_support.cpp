// The test helpers that are the same on every system.
#include "tests/test_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "app/command_line.h"
#include "app/run.h"
#include "tape/tape_image.h"

namespace zirvon::testing_support {

void write_bytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool names_ignore_case() {
    const TempDir dir;
    write_bytes(dir / "case-probe", "");
    return std::filesystem::exists(dir / "CASE-PROBE");
}

void write_named_bytes(const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + name);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if ((std::fclose(f) != 0) || !ok) throw std::runtime_error("cannot write " + name);
}

std::string read_named_bytes(const std::string& name) {
    std::string bytes;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

Background::Background(const std::vector<std::string>& args, const std::filesystem::path& cwd)
    : err_path_(capture_ / "err"), pid_(start_zirvon(args, cwd, err_path_.string())) {}

Background::~Background() {
    if (pid_ > 0) stop();
}

int Background::stop() {
    const bool interrupted = interrupt_zirvon(pid_);
    if (!interrupted) kill_zirvon(pid_);
    const int status = wait_zirvon(pid_);
    pid_ = -1;
    return interrupted ? status : -1;
}

Song song_of_image(const std::filesystem::path& image) {
    const std::string bytes = read_bytes(image);
    Song song;
    std::string error;
    if (!load_tape_image(as_bytes(bytes), song, error)) throw std::runtime_error(image.string() + ": " + error);
    return song;
}

RunResult run_in_process(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(cwd);
    std::ostringstream out;
    std::ostringstream err;
    RunResult result;
    result.status = run(parse_command_line(args), out, err);
    std::filesystem::current_path(before);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::filesystem::path source_dir() {
    return ZIRVON_SOURCE_DIR;
}

}  // namespace zirvon::testing_support
