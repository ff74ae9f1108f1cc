#include <unistd.h>

#include "midi/terminal.h"

namespace zirvon::midi {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace zirvon::midi
