// Windows twin of the terminal check. A console answers GetConsoleMode; a
// file, a pipe or NUL does not (the C runtime's _isatty says yes to NUL).
#include <windows.h>

#include "system/terminal.h"

namespace zirvon {

bool stderr_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace zirvon
