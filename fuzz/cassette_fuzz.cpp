// Arbitrary bytes read as a WAV file and decoded as a recording of a tape;
// bytes that are not a WAV file are read as a train of pulses instead, so
// that the block reader sees gaps, tape marks and blocks gone wrong.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cassette/cassette_reader.h"
#include "cassette/wav_samples.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace zirvon::cassette;

constexpr int kRate = 22050;

/// Each byte a pulse or a pause: its low two bits say which (short, long,
/// of the length its other bits give, or a pause of that many tenths of a
/// millisecond).
std::vector<float> pulses(std::span<const std::uint8_t> bytes) {
    std::vector<float> wave;
    const auto hold = [&wave](double us, float level) {
        wave.insert(wave.end(), static_cast<std::size_t>(us * kRate / 1e6), level);
    };
    for (std::uint8_t b : bytes) {
        const int arg = b >> 2;
        switch (b & 3) {
            case 0: hold(240, 0.9f), hold(264, -0.9f); break;
            case 1: hold(464, 0.9f), hold(494, -0.9f); break;
            case 2: hold(50 + 10 * arg, 0.9f), hold(50 + 10 * arg, -0.9f); break;
            default: hold(100 * arg, 0); break;
        }
    }
    return wave;
}

void check(const CassetteReading& r) {
    FUZZ_CHECK(!r.files.empty() || !r.error.empty());
    for (std::size_t i = 0; i < r.files.size(); ++i) {
        const TapeFileFound& f = r.files[i];
        const std::size_t size = f.header[18] | f.header[19] << 8;
        FUZZ_CHECK(f.header_check.first_ok || f.header_check.second_ok);
        const bool data_ok = f.data_check.first_ok || f.data_check.second_ok;
        FUZZ_CHECK(data_ok ? f.data.size() == size : f.data.empty());
        // Only the last file can be the one that failed.
        FUZZ_CHECK(data_ok || (i + 1 == r.files.size() && !r.error.empty()));
        FUZZ_CHECK(f.seconds >= 0 && f.speed > 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    std::vector<std::vector<float>> channels;
    int rate = 0;
    std::string error;
    if (read_wav_samples(input, channels, rate, error)) {
        FUZZ_CHECK(error.empty() || !channels.empty());
        FUZZ_CHECK(!channels.empty() && rate > 0);
        for (const auto& c : channels) FUZZ_CHECK(c.size() == channels[0].size());
        // A long recording at a high rate is slow to fuzz, not more telling.
        if (channels.size() * channels[0].size() <= 1'000'000 && rate <= 200'000) {
            check(read_cassette(channels, rate));
        }
        return 0;
    }
    FUZZ_CHECK(!error.empty() && channels.empty());
    channels.assign(1, pulses(input));
    check(read_cassette(channels, kRate));
    return 0;
}
