#include "system/win32_error.h"

#include <windows.h>

namespace zirvon {

std::string win32_error_text(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
            return "No such file or directory";
        case ERROR_ACCESS_DENIED:
        case ERROR_LOCK_VIOLATION:
            return "Permission denied";
        case ERROR_FILENAME_EXCED_RANGE:
            return "File name too long";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        case ERROR_WRITE_PROTECT:
            return "Read-only file system";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "Cannot allocate memory";
        case ERROR_INVALID_NAME:
            return "Invalid argument";
        default:
            break;
    }
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "";
    if (text) LocalFree(text);
    // The system's sentences end with a full stop and CR LF.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    if (message.empty()) message = "Windows error " + std::to_string(code);
    return message;
}

}  // namespace zirvon
