// Whether a person watches the program's stderr. Each platform has its own
// terminal_<platform>.cpp.
#pragma once

#include <cstddef>

namespace zirvon {

/// True when stderr is a terminal, so a progress line there is welcome.
bool stderr_is_terminal();

/// How many columns the terminal on stderr has; 80 when it does not say.
std::size_t stderr_columns();

}  // namespace zirvon
