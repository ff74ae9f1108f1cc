// Speed of the cassette signal, both ways, for the largest image: the
// standard layout then runs 14.7 minutes. Writing renders the WAV file (and
// throws it away); reading decodes the recording of it, clean or with a
// dropout. The counter
// x_real_time is seconds of recording handled per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "cassette/cassette_reader.h"
#include "cassette/cassette_writer.h"

namespace {

using namespace zirvon::cassette;

std::vector<std::uint8_t> largest_image() {
    std::vector<std::uint8_t> image(128 + 0xFFFF);
    std::mt19937 rng(7);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    image[18] = image[19] = 0xFF;
    return image;
}

void BM_WriteCassette(benchmark::State& state) {
    const auto image = largest_image();
    const CassetteFormat format{.sample_rate = static_cast<int>(state.range(0))};
    for (auto _ : state) {
        std::size_t bytes = 0;
        benchmark::DoNotOptimize(write_cassette_wav(image, format, [&](std::span<const std::uint8_t> b) {
            bytes += b.size();
            return true;
        }));
        benchmark::DoNotOptimize(bytes);
    }
    const double seconds = CassetteSignal(image, format).seconds();
    state.counters["x_real_time"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["recording_s"] = seconds;
}
BENCHMARK(BM_WriteCassette)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);

/// Reads the recording of the largest image; with a dropout in the first
/// copy of the data block, every edge finder and polarity is tried.
void BM_ReadCassette(benchmark::State& state) {
    const auto image = largest_image();
    const int rate = 44100;
    CassetteSignal signal(image, {.sample_rate = rate});
    std::vector<std::vector<float>> channels(1, std::vector<float>(signal.frames()));
    signal.render(channels[0]);
    if (state.range(0) != 0) {
        const CassetteSection& data = signal.sections()[6];
        std::fill_n(channels[0].begin() + static_cast<std::ptrdiff_t>(data.first_frame + data.frames / 2), rate / 20,
                    0.0f);
    }
    for (auto _ : state) {
        const CassetteReading reading = read_cassette(channels, rate);
        if (reading.files.size() != 1 || reading.files[0].data.size() != 0xFFFF) state.SkipWithError("not read");
    }
    state.counters["x_real_time"] = benchmark::Counter(
        signal.seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadCassette)->ArgName("dropout")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
