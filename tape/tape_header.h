// Reading an image's header back: what it says, where it disagrees with the
// data behind it, and the image rebuilt around its own name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

/// The image of `song` in the header of `old_image`: the attribute, data
/// size and addresses are set as zirvon writes them and the name field ends
/// with CR; every other byte (the comment area, bytes after the name's CR)
/// stays as it was, so that other tools' notes survive a write-back. A
/// `new_name` takes the place of the old name and its CR; the bytes after
/// them stay, but for those the longer name covers.
std::vector<std::uint8_t> rebuild_tape_image(const Song& song, std::span<const std::uint8_t> old_image,
                                             std::optional<std::string_view> new_name = std::nullopt);

/// How many bytes after the old name's CR in the name field of `old_image`
/// are not zero and are covered by `new_name` and its CR: what a rename
/// loses.
std::size_t tape_name_covers(std::span<const std::uint8_t> old_image, std::string_view new_name);

/// How many header bytes of `image` that no field holds (the comment area
/// from 0x18, byte 0x11, the name field after its CR) differ from the zeros
/// zirvon writes there. MML carries none of them.
std::size_t tape_header_extra_bytes(std::span<const std::uint8_t> image);

}  // namespace zirvon
