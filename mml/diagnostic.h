// A problem found in an MML source, as a value; the front end prints it.
#pragma once

#include <string>

namespace zirvon {

enum class Severity { note, warning, error };

struct Diagnostic {
    Severity severity = Severity::error;
    int line = 0;    ///< from 1; 0 when the problem belongs to the whole file
    int column = 0;  ///< byte column from 1; 0 with line 0
    std::string message;

    friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

}  // namespace zirvon
