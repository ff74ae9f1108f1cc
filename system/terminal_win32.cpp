// Windows twin of the terminal check. A console answers GetConsoleMode; a
// file, a pipe or NUL does not (the C runtime's _isatty says yes to NUL).
#include <windows.h>

#include "system/terminal.h"

namespace zirvon {

bool stderr_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::size_t stderr_columns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? static_cast<std::size_t>(columns) : 80;
}

}  // namespace zirvon
