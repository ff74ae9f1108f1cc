// Windows twin of the atomic file writer: a temporary file in the same folder,
// flushed, then moved over the target in one step. Names go to the ANSI ("A")
// functions as the bytes they are.
//
// A read-only file is not replaced (Windows itself refuses to; the check is
// made first, so that every system that runs this twin agrees, and the POSIX
// twin refuses too), and the new file takes the folder's default security,
// not the old file's.
#include <windows.h>

#include <optional>
#include <string>

#include "system/output_file.h"
#include "system/win32_error.h"

namespace zirvon {
namespace {

/// Owns one file handle.
class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    /// Closes now, reporting the result.
    bool close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

  private:
    HANDLE h_;
};

/// The part of `path` up to and including its last separator (`\`, `/`, or
/// the colon of a drive as in C:song.MZT); empty for a bare name.
std::string folder_prefix(const std::string& path) {
    const auto end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

/// Creates a new, empty temporary file beside `path`; its name goes to `temp`.
HANDLE create_temp_beside(const std::string& path, std::string& temp) {
    static unsigned counter = 0;
    const std::string prefix = folder_prefix(path) + ".zirvon-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long tag =
            GetCurrentProcessId() * 7919ul + GetTickCount() + ++counter * 104729ul;
        temp = prefix + std::to_string(tag % 1000000);
        const HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

/// The file an existing name stands for, links followed, so that the file a
/// symbolic link points at is replaced rather than the link. The name as it
/// is when nothing is there or the system cannot tell.
std::string resolve_link(const std::string& path) {
    const Handle h(CreateFileA(path.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) return path;
    char final_path[MAX_PATH + 8];
    const DWORD n = GetFinalPathNameByHandleA(h.get(), final_path, sizeof final_path,
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof final_path) return path;
    // The answer has the \\?\ form; the ANSI functions take the plain one.
    const std::string resolved(final_path, n);
    if (resolved.starts_with("\\\\?\\UNC\\")) return "\\\\" + resolved.substr(8);
    if (resolved.starts_with("\\\\?\\")) return resolved.substr(4);
    return resolved;
}

bool write_all(HANDLE h, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD step =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), step, &written, nullptr)) return false;
        bytes = bytes.subspan(written);
    }
    return true;
}

}  // namespace


struct AtomicWriter::State {
    std::string name;  ///< as the caller gave it, for messages
    std::string path;  ///< the target, links resolved
    std::string temp;  ///< the temporary file
    std::optional<Handle> file;
    bool failed = false;

    bool fail(const std::string& why, std::string& error) {
        error = "cannot write '" + name + "': " + why;
        failed = true;
        abandon();
        return false;
    }
    void abandon() {
        if (file && file->valid()) file->close();
        file.reset();
        if (!temp.empty()) DeleteFileA(temp.c_str());
        temp.clear();
    }
    bool writable() const { return !failed && file && file->valid(); }
};

AtomicWriter::AtomicWriter() = default;

AtomicWriter::~AtomicWriter() {
    if (state_) state_->abandon();
}

bool AtomicWriter::open(const std::string& name, std::string& error) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.name = name;
    if (name.empty()) return s.fail("empty file name", error);
    s.path = resolve_link(name);
    const DWORD attributes = GetFileAttributesA(s.path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return s.fail("it is a folder", error);
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return s.fail("it is read-only", error);
    }
    s.file.emplace(create_temp_beside(s.path, s.temp));
    if (!s.file->valid()) {
        const DWORD code = GetLastError();
        s.temp.clear();
        return s.fail(win32_error_text(code), error);
    }
    return true;
}

bool AtomicWriter::write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (!state_ || !state_->writable()) {
        error = "cannot write: the file is not open";
        return false;
    }
    return write_all(state_->file->get(), bytes) ||
           state_->fail(win32_error_text(GetLastError()), error);
}

bool AtomicWriter::commit(std::string& error) {
    if (!state_ || !state_->writable()) {
        error = "cannot write: the file is not open";
        return false;
    }
    State& s = *state_;
    if (!FlushFileBuffers(s.file->get()) || !s.file->close()) {
        return s.fail(win32_error_text(GetLastError()), error);
    }
    if (!MoveFileExA(s.temp.c_str(), s.path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return s.fail(win32_error_text(GetLastError()), error);
    }
    s.temp.clear();
    return true;
}

}  // namespace zirvon
