// Writing a file so that readers only ever see the old bytes or the new ones.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zirvon {

/// Writes `bytes` to `path` atomically: into a temporary file in the same
/// folder, flushed to disk, then renamed over `path`. A failure at any step
/// removes the temporary file and leaves a previous `path` untouched. An
/// existing file that is read-only, or that the user may not write, is
/// refused ("cannot write 'song.MZT': it is read-only"). A new
/// file gets the usual permissions; a replaced one keeps its own. An
/// existing pipe or character device (a terminal, the null device) is
/// written into instead of replaced; any other special file is refused.
/// On failure returns false and a message such as
/// "cannot write 'song.MZT': Permission denied".
bool write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           std::string& error);

/// Takes the next bytes of a file being written; false once writing failed.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

/// The same for bytes that are made while the file is written, so that a
/// large file is never held whole: `produce` hands them to the sink piece by
/// piece and returns false when the sink refused one (it should then stop).
bool write_file_atomically(const std::string& path,
                           const std::function<bool(const ByteSink&)>& produce, std::string& error);

}  // namespace zirvon
