// Windows twin of the file-kind look-up. It uses the ANSI ("A") functions,
// which take the name's bytes as the C library's fopen does.
#include <windows.h>

#include "system/file_kind.h"
#include "system/win32_error.h"

namespace zirvon {

FileKind file_kind(const std::string& path, std::string& why) {
    if (path.empty()) {
        why = win32_error_text(ERROR_FILE_NOT_FOUND);
        return FileKind::unknown;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        why = win32_error_text(GetLastError());
        return FileKind::unknown;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return FileKind::other;

    // Names such as CON or a named pipe are not files on disk; opening one
    // for no access at all tells which, without reading or blocking.
    const HANDLE h =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = win32_error_text(GetLastError());
        return FileKind::unknown;
    }
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? FileKind::regular : FileKind::other;
}

bool path_exists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

/// The volume and file index of what `path` names, as the system tells it.
bool file_identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return file_identity(a, ia) && file_identity(b, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool file_stamp(const std::string& path, FileStamp& stamp, bool& missing) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD code = path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        return false;
    }
    missing = false;
    stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.modified = static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                               data.ftLastWriteTime.dwLowDateTime);
    // Which file it is would take opening it; the size, the time and the
    // reads at least once a second tell changes well enough.
    stamp.identity = 0;
    return true;
}

}  // namespace zirvon
