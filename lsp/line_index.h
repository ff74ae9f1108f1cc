// Positions in a document as LSP counts them (zero-based lines ended by LF,
// CR LF or a lone CR; columns in UTF-16 code units), turned into a byte
// offset and back: in the text the editor holds, and in the text of a
// compiled source, through the source's own lines (which the compiler ends
// at LF alone). Pure.
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

#include "mml/source_text.h"

namespace zirvon::lsp {

/// An LSP position: zero-based line, UTF-16 column.
struct Position {
    std::int64_t line = 0;
    std::int64_t character = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

/// The byte offset in `line` of UTF-16 column `character`: its end for a
/// column past it, a character's start for a column inside it.
std::size_t utf16_offset(std::string_view line, std::int64_t character);
/// The UTF-16 column of byte `within` of `line` (a character's, inside one).
std::int64_t utf16_column(std::string_view line, std::size_t within);

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

/// LSP positions in the text of a compiled source, read through the
/// source's line table: of its own it keeps only where the lone CRs stand
/// (which end an LSP line but not a compiler's; most texts have none). The
/// source must outlive it.
class SourcePositions {
public:
    explicit SourcePositions(const SourceText& source);

    /// As LineIndex::offset_of.
    std::size_t offset_of(Position position) const;
    /// As LineIndex::position_of.
    Position position_of(std::size_t offset) const;

private:
    /// The first byte of LSP line `line`; the end of the text past the last.
    std::size_t line_start(std::uint64_t line) const;
    /// The LSP line that starts at `start`, without its terminator.
    std::string_view line_text(std::size_t start) const;
    /// How many lone CRs stand before byte `offset`.
    std::size_t lone_crs_before(std::size_t offset) const;

    const SourceText& source_;
    std::vector<std::size_t> lone_crs_;
};

}  // namespace zirvon::lsp
