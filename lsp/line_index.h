// Positions in a document as LSP counts them (zero-based lines ended by LF,
// CR LF or a lone CR; columns in UTF-16 code units) and as the compiler does
// (lines from 1 ended by LF or CR LF; byte columns from 1), each turned into
// a byte offset and back. Pure.
//
// A column counts one unit for each character of valid UTF-8 below U+10000
// and two above; a byte that starts no valid character counts one, as an
// editor shows it: as one replacement character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon::lsp {

/// An LSP position: zero-based line, UTF-16 column.
struct Position {
    std::int64_t line = 0;
    std::int64_t character = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

/// A place as the compiler gives it: line and byte column, both from 1.
struct Place {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

/// The lines of a text, kept up to date as it is edited.
class LineIndex {
public:
    explicit LineIndex(std::string text = {});

    const std::string& text() const { return text_; }

    /// The byte offset of a position. A line past the last is the end of
    /// the text; a column past its line's end is that end; a column in the
    /// middle of a character is its start.
    std::size_t offset_of(Position position) const;
    /// The position of a byte offset (clamped to the text's end; in the
    /// middle of a character, that character's).
    Position position_of(std::size_t offset) const;

    /// Replaces the bytes [from, to) with `with`; the line index follows
    /// without reading the text again.
    void replace(std::size_t from, std::size_t to, std::string_view with);

private:
    /// The line (from 0) that holds byte `offset`.
    std::size_t line_of(std::size_t offset) const;
    /// The line's bytes, without its terminator.
    std::string_view line_text(std::size_t line) const;

    std::string text_;
    std::vector<std::size_t> starts_;  ///< first byte of each line
};

/// The compiler's lines of a text: LF ends a line (with the CR before it);
/// a lone CR is a character of its line.
class CompilerLines {
public:
    explicit CompilerLines(std::string_view text);

    /// The byte offset of a place; lines and columns past the end are
    /// clamped to it.
    std::size_t offset_of(Place place) const;
    /// The place of a byte offset.
    Place place_of(std::size_t offset) const;

private:
    std::size_t size_ = 0;
    std::vector<std::size_t> starts_;
};

}  // namespace zirvon::lsp
