// A problem found in an MML source, as a value; the front end prints it.
#pragma once

#include <string>
#include <string_view>

namespace zirvon {

enum class Severity { note, warning, error };

struct Diagnostic {
    Severity severity = Severity::error;
    int line = 0;    ///< from 1; 0 when the problem belongs to the whole file
    int column = 0;  ///< byte column from 1; 0 with line 0
    std::string message;
    /// What kind of problem it is, the same for every message of the kind
    /// ("track-number", "note-range"), for editors to tell them apart.
    std::string_view code{};
    /// Byte column just past the token the column points at; the token is
    /// one byte long when it is 0.
    int end_column = 0;
    /// For a problem that runs on past its place, as a slipped octave puts
    /// every later note of its track out of range: the line and column of
    /// the last command it touches; 0 when it touches only its place.
    int reach_line = 0;
    int reach_column = 0;

    /// end_column, or the column after a one-byte token.
    int token_end() const { return end_column > column ? end_column : column + 1; }

    friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

}  // namespace zirvon
