// The standard streams as the program uses them: bytes in, bytes out.
#pragma once

#include <cstddef>

namespace zirvon {

/// Makes the standard streams carry exactly the bytes written to them and
/// read from them, with no newline translation, so the usage text and
/// listings are the same bytes on every system and the language server's
/// frames keep their lengths. Called once, first thing in main.
void prepare_console();

/// Reads what standard input has, up to `size` bytes, waiting until there
/// is something: the bytes read, or 0 at the end of the input (or when it
/// cannot be read).
std::size_t read_standard_input(char* buffer, std::size_t size);

/// Makes writing to a pipe whose reader is gone fail instead of ending the
/// program, so that a server whose client died can still silence what it
/// plays before it goes. (Windows never ends a program for that.)
void ignore_broken_pipe();

}  // namespace zirvon
