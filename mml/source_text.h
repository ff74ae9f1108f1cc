// MML source text, held whole in memory and cut into lines. A line ends at
// CR LF or at a bare LF; a bare CR is an ordinary character of its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon {

class SourceText {
public:
    /// Takes the bytes of a source file. A text that does not end with LF
    /// (the empty text too) gets CR LF appended, so the last line is ended
    /// like every other.
    explicit SourceText(std::string bytes);

    int count_lines() const { return static_cast<int>(starts_.size()); }
    /// Line `k` (from 0) without its terminator.
    std::string_view line(int k) const;

private:
    void index_lines();

    std::string text_;
    std::vector<std::uint32_t> starts_;  // first byte of each line
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
