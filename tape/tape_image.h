// The MZT cassette tape image: a 128-byte header, then the ten tracks' events
// one after another, each track ending with its EndMark.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/song.h"

namespace zirvon {

inline constexpr std::size_t kTapeHeaderSize = 128;
/// The header holds the data size in 16 bits.
inline constexpr std::size_t kMaxTapeData = 0xFFFF;
/// Longest image the reader accepts: the header plus the largest data size
/// a header can state.
inline constexpr std::size_t kMaxTapeImage = kTapeHeaderSize + kMaxTapeData;
inline constexpr std::uint8_t kTapeAttribute = 0xC8;
inline constexpr const char* kDefaultTapeName = "MUSICDATA";

/// Where the header's fields stand: the 16-byte name field, then the data
/// size, load and execution addresses, each two bytes, low byte first.
inline constexpr std::size_t kNameField = 1;
inline constexpr std::size_t kNameFieldSize = 16;
inline constexpr std::size_t kSizeField = 18;
inline constexpr std::size_t kLoadField = 20;
inline constexpr std::size_t kExecField = 22;

using TapeHeader = std::array<std::uint8_t, kTapeHeaderSize>;

/// Cuts a tape name given longer than kLongestTapeName bytes to the
/// longest that fits: between characters where it is UTF-8, else after the
/// last byte that fits. The warning that says so, or nothing where it fits.
/// The command line and the page cut a name given them so.
std::string fit_tape_name(std::string& name);

/// Why `name` cannot be a tape name, or nothing: a control byte in it would
/// end the name early (CR) or reach the screen of the machine that loads
/// it. The command line and the page refuse such a name.
std::string tape_name_refusal(std::string_view name);

/// The header of an image whose data block is `data_size` bytes; only the
/// low 16 bits of the size fit.
TapeHeader make_tape_header(std::string_view tape_name, std::size_t data_size);

/// Header and data of `song` as they go to tape.
std::vector<std::uint8_t> build_tape_image(const Song& song, std::string_view tape_name);

/// Fills the empty tracks of `song` from the bytes of an image. The header is
/// not looked at. Refuses, with a message naming the problem, an image that
/// is too short or too long, whose data ends before ten EndMarks, or that
/// has a track of more than 10,000 events; `song` is then left empty.
bool load_tape_image(std::span<const std::uint8_t> image, Song& song, std::string& error);

/// The longest part of an image file that is read: one byte more than an
/// image can hold, enough to tell that a file is too long.
inline constexpr std::size_t kTapeFileReadLimit = kMaxTapeImage + 1;

/// load_tape_image() for the bytes of the file `file_name`, read up to
/// kTapeFileReadLimit, as every front end reads one: a file that fills the
/// limit is too long, and messages name the file ("song.MZT: not a tape
/// image: ...").
bool load_tape_file(std::string_view file_name, std::span<const std::uint8_t> bytes, Song& song,
                    std::string& error);

/// Whether `bytes` start as a tape image does: its attribute byte, a name
/// ended by CR and the load address in their places.
bool starts_as_tape_image(std::string_view bytes);

}  // namespace zirvon
