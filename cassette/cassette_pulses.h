// The machine's tape signal as a train of pulses: what the monitor writes
// for a file, in the order it writes it, and the lengths of the two pulses.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "cassette/cassette_format.h"

namespace zirvon::cassette {

/// A short pulse is a 0 bit, a long pulse a 1 bit; each is high, then low.
inline constexpr int kShortHighUs = 240;
inline constexpr int kShortUs = 504;
inline constexpr int kLongHighUs = 464;
inline constexpr int kLongUs = 958;

/// The monitor's standard layout.
inline constexpr int kLongGap = 22000;
inline constexpr int kShortGap = 11000;
inline constexpr int kLongTapeMark = 40;
inline constexpr int kShortTapeMark = 20;
inline constexpr int kCopySeparator = 256;
/// The fast layout: gaps long enough for the machine to find them and to
/// print the tape name between header and data, one copy of each block.
inline constexpr int kFastLongGap = 4000;
inline constexpr int kFastShortGap = 2000;

/// A run of pulses that belongs to one part of the file.
struct PulseSection {
    std::string_view what;
    std::size_t first_pulse;
    std::size_t pulses;
};

/// Every pulse of a file on tape, true for long, and the sections they
/// make up. `image` is the 128-byte header followed by the data block.
struct PulseTrain {
    std::vector<bool> pulses;
    std::vector<PulseSection> sections;
};

PulseTrain tape_pulses(std::span<const std::uint8_t> image, const CassetteFormat& format);

/// The checksum the monitor writes after a block: its count of 1 bits.
std::uint16_t block_checksum(std::span<const std::uint8_t> block);

}  // namespace zirvon::cassette
