#include <unistd.h>

#include "system/terminal.h"

namespace zirvon {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace zirvon
