// The standard streams as the program uses them: bytes in, bytes out.
#pragma once

namespace zirvon {

/// Makes standard output and standard error carry exactly the bytes written
/// to them, with no newline translation, so the usage text and listings are
/// the same bytes on every system. Called once, first thing in main.
void prepare_console();

}  // namespace zirvon
