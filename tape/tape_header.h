// Reading an image's header back: what it says, where it disagrees with the
// data behind it, and the image rebuilt around its own name.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/song.h"

namespace zirvon {

/// The fields of a tape image header, as they stand in the file.
struct TapeHeaderFields {
    std::uint8_t attribute = 0;
    std::array<std::uint8_t, 16> name_field{};  ///< the name, CR, then whatever follows
    std::uint16_t data_size = 0;
    std::uint16_t load_address = 0;
    std::uint16_t exec_address = 0;

    /// The tape name: the bytes of the name field before its first CR.
    std::string name() const;
};

/// The header fields of `image`, which holds at least the 128-byte header.
TapeHeaderFields read_tape_header(std::span<const std::uint8_t> image);

/// Where the header of `image` disagrees with the data that `song` was
/// loaded from (load_tape_image), one sentence each: a wrong attribute, a
/// name without its CR, a data size that is not the tracks' size, other load
/// or execution addresses, bytes after the tenth end mark. Empty when the
/// header is what zirvon writes for this data.
std::vector<std::string> tape_header_problems(std::span<const std::uint8_t> image, const Song& song);

/// The image of `song` with a fresh header around the 16-byte name field of
/// `old_image`, kept byte for byte but for its last, which is always CR, so
/// that an image that was read and is written back keeps its name.
std::vector<std::uint8_t> rebuild_tape_image(const Song& song, std::span<const std::uint8_t> old_image);

}  // namespace zirvon
