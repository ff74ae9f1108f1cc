// The commands of one source line as the compiler reads them, for the
// features that look inside a block: what a setting holds, where a track
// number is written, where an octave mark may go. Pure.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zirvon::lsp {

struct Token {
    enum class Kind { note, rest, setting, octave, tie, open, close };
    Kind kind;
    char letter = 0;  ///< the command's letter upper case, or the mark itself
    /// Byte columns from 1: [column, end_column). An open's span holds the
    /// track digits written before its `[`.
    int column = 0;
    int end_column = 0;
    int track = -1;  ///< the block's track, -1 outside one or for a number outside 0-9
};

/// The tokens of `line` (without its terminator) up to its `;`. A command
/// runs over its accidentals, digits, dots and `%`, as the compiler reads it.
std::vector<Token> line_tokens(std::string_view line);

/// The parts of a note's or rest's text: its letter, the accidentals, the
/// digits, dots and `%`. False when it holds anything else.
struct NoteText {
    char letter = 0;
    bool lower = false;
    int semitones = 0;        ///< the accidentals' sum
    bool sharp_sign = false;  ///< written with '#' rather than '+'
    std::string_view digits;  ///< empty: the track's default length
    int dots = 0;
    bool raw = false;
};
bool read_note_text(std::string_view text, NoteText& note);

}  // namespace zirvon::lsp
