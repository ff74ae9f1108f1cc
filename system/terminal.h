// Whether a person watches the program's stderr. Each platform has its own
// terminal_<platform>.cpp.
#pragma once

namespace zirvon {

/// True when stderr is a terminal, so a progress line there is welcome.
bool stderr_is_terminal();

}  // namespace zirvon
