// The samples of a WAV file, for the builds that have no audio-file library
// at hand and for the tests: PCM of 8, 16, 24 and 32 bits, float of 32 and
// 64, the extensible format too, any number of channels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zirvon::cassette {

/// Reads `bytes` as a WAV file into one vector of samples (-1..1) a
/// channel. False with `error` (one sentence, no file name) when it is not a
/// WAV file that can be read.
bool read_wav_samples(std::span<const std::uint8_t> bytes, std::vector<std::vector<float>>& channels,
                      int& sample_rate, std::string& error);

}  // namespace zirvon::cassette
