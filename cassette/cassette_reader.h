// Reading a recording of a cassette back into the files on it, as the
// machine's monitor would load them, but tolerant of what tapes and decks do
// to the signal: speed, wow, polarity, filtering, noise, hum and DC.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zirvon::cassette {

/// What the checksums said of a block's copies.
struct BlockCheck {
    bool first_ok = false;
    bool second_present = false;
    bool second_ok = false;
};

/// One file found on the recording.
struct TapeFileFound {
    /// Where the file starts in the recording.
    double seconds = 0;
    std::array<std::uint8_t, 128> header{};
    /// The data block, as long as the header says; empty when it could not
    /// be read.
    std::vector<std::uint8_t> data;
    BlockCheck header_check, data_check;
    bool inverted = false;
    /// The tape's speed against the nominal one: 1.02 runs 2 % fast.
    double speed = 1.0;
};

struct CassetteReading {
    std::vector<TapeFileFound> files;
    /// What the front end says and goes on: a first copy that failed and
    /// the second that was used, a block without its header skipped.
    std::vector<std::string> warnings;
    /// Empty, or why the recording cannot be read: one sentence naming the
    /// block, the time in the recording (m:ss) and what was wrong. The
    /// files before the one that failed are still in `files`; the one that
    /// failed is there too when only its data block failed.
    std::string error;
};

/// Decodes the files on a recording of one or more channels (samples in
/// -1..1, every channel as long as the first); of several channels, the one
/// that decodes is read.
CassetteReading read_cassette(std::span<const std::vector<float>> channels, int sample_rate);

}  // namespace zirvon::cassette
