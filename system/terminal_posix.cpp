#include <sys/ioctl.h>
#include <unistd.h>

#include "system/terminal.h"

namespace zirvon {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

std::size_t stderr_columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

}  // namespace zirvon
