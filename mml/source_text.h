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

/// The largest MML source that is read, in bytes: a hundred times more than
/// the fullest image needs even with generous comments, and small enough that
/// the line index stays modest whatever the text.
inline constexpr std::size_t kMaxSourceSize = std::size_t{64} << 20;

}  // namespace zirvon
