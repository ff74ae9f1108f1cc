// Reasons for failed Windows file calls, worded like the C library's, for the
// Windows twins of the file code.
#pragma once

#include <string>

namespace zirvon {

/// Why a Windows call failed with `code` (from GetLastError). Conditions that
/// Linux has too get the C library's words ("No such file or directory",
/// "Permission denied"...), so that a message reads the same on both systems;
/// the others get the system's own text.
std::string win32_error_text(unsigned long code);

}  // namespace zirvon
