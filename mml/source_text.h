// MML source text, held whole in memory and cut into lines. A line ends at
// CR LF or at a bare LF; a bare CR is an ordinary character of its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zirvon {

class SourceText {
public:
    /// Takes the bytes of a source file. The last line need not be ended: a
    /// text that does not end with LF (the empty text too) has one line more
    /// than it has LFs.
    explicit SourceText(std::string bytes);

    int count_lines() const { return static_cast<int>(starts_.size()) - (ends_with_lf_ ? 1 : 0); }
    /// Line `k` (from 0) without its terminator.
    std::string_view line(int k) const;
    /// The whole text, as it was given.
    std::string_view text() const { return text_; }

    /// The byte offset of a place as the compiler gives it: line and byte
    /// column, both from 1. A line past the last is the end of the text; a
    /// column past its line is the line's end (after its LF).
    std::size_t offset_of(std::uint32_t line, std::uint32_t column) const;
    /// The line (from 1) and byte column (from 1) of a byte offset, which is
    /// clamped to the end of the text.
    std::pair<std::uint32_t, std::uint32_t> place_of(std::size_t offset) const;
    /// How many LFs stand before byte `offset`: the line (from 0) that holds it.
    std::size_t line_index_of(std::size_t offset) const;
    /// The first byte of line `k` (from 0); after the last line, the end of
    /// the text.
    std::size_t line_start(std::size_t k) const { return k < starts_.size() ? starts_[k] : text_.size(); }

private:
    void index_lines();

    std::string text_;
    /// The first byte of each line, and the end of the text when it ends
    /// with LF.
    std::vector<std::uint32_t> starts_;
    bool ends_with_lf_ = false;
};

/// Why `bytes` is plainly not MML text, or nothing when it may be: a tape
/// image (its attribute, a name ended by CR and the load address where an
/// image has them), or bytes most of which are control bytes other than
/// tab, CR, LF and the end-of-file mark 0x1A. A text with a stray control
/// byte or NUL is text: stored files and generated sources hold them.
std::string why_not_text(std::string_view bytes);

/// The largest MML source that is read, in bytes: a hundred times more than
/// the fullest image needs even with generous comments, and small enough that
/// the line index stays modest whatever the text.
inline constexpr std::size_t kMaxSourceSize = std::size_t{64} << 20;

}  // namespace zirvon
