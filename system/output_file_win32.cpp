// The atomic writer's Windows part: a temporary file made beside the target,
// then moved over it in one step. Names go to the ANSI ("A") functions as the
// bytes they are. The new file takes the folder's default security, not the
// old file's.
#include <windows.h>

#include <string_view>

#include "system/output_file_os.h"
#include "system/win32_error.h"

namespace zirvon::output_file_os {
namespace {

HANDLE handle_of(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

/// The part of `path` up to and including its last separator (`\`, `/`, or
/// the colon of a drive as in C:song.MZT); empty for a bare name.
std::string folder_prefix(const std::string& path) {
    const auto end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

/// Whether `name` is in the device namespace: a named pipe (\\.\pipe\NAME),
/// or a device such as NUL, CON or COM1, which Windows finds under every
/// folder. Opening a pipe to look at it would take one of its instances.
bool is_device(const std::string& name) {
    char full[MAX_PATH + 8];
    const DWORD n = GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full && std::string_view(full, n).starts_with("\\\\.\\");
}

std::string resolve_link(const std::string& path) {
    const HANDLE h =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    char final_path[MAX_PATH + 8];
    const DWORD n = GetFinalPathNameByHandleA(h, final_path, sizeof final_path,
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n == 0 || n >= sizeof final_path) return path;
    // The answer has the \\?\ form; the ANSI functions take the plain one.
    const std::string resolved(final_path, n);
    if (resolved.starts_with("\\\\?\\UNC\\")) return "\\\\" + resolved.substr(8);
    if (resolved.starts_with("\\\\?\\")) return resolved.substr(4);
    return resolved;
}

}  // namespace

bool inspect(const std::string& name, Target& target, std::string&) {
    if (is_device(name)) {
        target.path = name;
        target.kind = Target::Kind::stream;
        return true;
    }
    target.path = resolve_link(name);
    const DWORD attributes = GetFileAttributesA(target.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // making the temporary file says why
    target.kind =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Target::Kind::folder : Target::Kind::regular;
    target.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
}

bool File::open_stream(const std::string& path) {
    handle_ = reinterpret_cast<std::intptr_t>(
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return is_open();
}

bool File::create_beside(const std::string& path, std::string& temp) {
    static unsigned counter = 0;
    const std::string prefix = folder_prefix(path) + ".zirvon-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long tag =
            GetCurrentProcessId() * 7919ul + GetTickCount() + ++counter * 104729ul;
        temp = prefix + std::to_string(tag % 1000000);
        handle_ = reinterpret_cast<std::intptr_t>(CreateFileA(
            temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (is_open()) return true;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    temp.clear();
    return false;
}

bool File::write_all(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD step =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handle_of(handle_), bytes.data(), step, &written, nullptr)) return false;
        bytes = bytes.subspan(written);
    }
    return true;
}

bool File::sync() {
    return FlushFileBuffers(handle_of(handle_)) != 0;
}

bool File::close() {
    if (!is_open()) return true;
    const HANDLE h = handle_of(handle_);
    handle_ = kClosed;
    return CloseHandle(h) != 0;
}

bool replace(const std::string& temp, const std::string& path) {
    return MoveFileExA(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void remove(const std::string& path) {
    DeleteFileA(path.c_str());
}

std::string last_error() {
    return win32_error_text(GetLastError());
}

}  // namespace zirvon::output_file_os
