// Prints compiler diagnostics the way compilers do: "file:line:column:
// severity: message", then the source line and a caret under the column;
// and says how the program's other messages start.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "mml/diagnostic.h"
#include "mml/source_text.h"

namespace zirvon {

/// What every message of the program that is not a diagnostic starts with,
/// so that it is told apart from what other programs print.
inline constexpr std::string_view kProgram = "zirvon: ";

void print_diagnostic(std::ostream& out, const std::string& file, const SourceText& source,
                      const Diagnostic& diagnostic);

void print_diagnostics(std::ostream& out, const std::string& file, const SourceText& source,
                       const std::vector<Diagnostic>& diagnostics);

}  // namespace zirvon
