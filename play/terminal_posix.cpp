#include <unistd.h>

#include "play/terminal.h"

namespace zirvon::play {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace zirvon::play
