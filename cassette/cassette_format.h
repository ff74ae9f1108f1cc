// How a tape image is turned into sound for the machine's tape input: the
// layout of the blocks on tape, the polarity of the wave, and the samples.
#pragma once

namespace zirvon::cassette {

struct CassetteFormat {
    /// Short gaps and one copy of each block, instead of the monitor's own
    /// long gaps and two copies.
    bool fast = false;
    /// Low half of each pulse first: for decks and adapters that turn the
    /// wave over on its way to the machine.
    bool inverted = false;
    int sample_rate = 44100;
    /// 8 = unsigned 8-bit samples, 16 = signed 16-bit.
    int sample_bits = 16;
};

/// The sample rates and sizes a recording is written with.
inline constexpr int kCassetteRates[] = {22050, 44100, 48000};
inline constexpr int kCassetteSampleBits[] = {8, 16};

}  // namespace zirvon::cassette
