// Reading an MML source from its file.
#pragma once

#include <string>

namespace zirvon {

/// Reads the MML source at `path` whole. False, with a message, when it
/// cannot be read or is larger than an MML source may be.
bool read_source_file(const std::string& path, std::string& bytes, std::string& error);

}  // namespace zirvon
