// Prints compiler diagnostics the way compilers do: "file:line:column:
// severity: message", then the source line and a caret under the column.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "mml/diagnostic.h"
#include "mml/source_text.h"

namespace zirvon {

void print_diagnostic(std::ostream& out, const std::string& file, const SourceText& source,
                      const Diagnostic& diagnostic);

void print_diagnostics(std::ostream& out, const std::string& file, const SourceText& source,
                       const std::vector<Diagnostic>& diagnostics);

}  // namespace zirvon
