// MML source text, held whole in memory and cut into lines. A line ends at
// CR LF or at a bare LF; a bare CR is an ordinary character of its line.
#pragma once

#include <cstddef>
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

    /// Reads the file at `path`; on failure returns false and a message.
    bool load(const std::string& path, std::string& error);

    int count_lines() const { return static_cast<int>(starts_.size()); }
    /// Line `k` (from 0) without its terminator.
    std::string_view line(int k) const;
    std::size_t line_length(int k) const { return line(k).size(); }

private:
    void index_lines();

    std::string text_;
    std::vector<std::size_t> starts_;  // first byte of each line
    std::vector<std::size_t> ends_;    // first byte of each line's terminator
};

/// The largest MML source that is read, in bytes. A text this long is far
/// beyond what ten tracks can hold, so anything bigger is not music.
inline constexpr std::size_t kMaxSourceSize = std::size_t{256} << 20;

}  // namespace zirvon
