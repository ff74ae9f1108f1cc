// Reading a source or an image from its file, and writing an image to one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "song/song.h"

namespace zirvon {

/// Reads the MML source at `path` whole. False, with a message, when it
/// cannot be read or is larger than an MML source may be.
bool read_source_file(const std::string& path, std::string& bytes, std::string& error);

/// Reads the image file at `path` into the empty tracks of `song`, and its
/// bytes into `bytes` when given (for the header, see tape_header.h).
/// Messages name the file: "song.MZT: not a tape image: ...".
bool load_tape(const std::string& path, Song& song, std::string& error,
               std::vector<std::uint8_t>* bytes = nullptr);

/// Writes the image of `song` to `path` atomically.
bool save_tape(const std::string& path, const Song& song, std::string_view tape_name,
               std::string& error);

}  // namespace zirvon
