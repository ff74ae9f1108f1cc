// Reading a whole file into memory, with the checks every reader of user
// files needs: it must exist, be a regular file and not be unreasonably big.
#pragma once

#include <cstddef>
#include <string>

namespace zirvon {

/// Reads the whole of `path` into `bytes`, but never more than `limit` + 1
/// bytes, so that the caller can tell a file that is too long from one that
/// fits. Reads until end of file rather than trusting the size taken at open,
/// so a file that grows or shrinks meanwhile still gives a consistent result.
/// On failure returns false and a message such as
/// "cannot read 'song.MML': No such file or directory".
bool read_whole_file(const std::string& path, std::size_t limit, std::string& bytes,
                     std::string& error);

}  // namespace zirvon
