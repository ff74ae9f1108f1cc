// Rendering speed of the built-in synthesizer: a minute of a song whose
// eight tracks sound all the time, rendered into WAV bytes (and thrown away).
// The counter x_real_time is seconds of audio rendered per second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/source_text.h"
#include "outputs/analysis.h"
#include "play/player.h"
#include "synth/synth.h"
#include "synth/wav_render.h"

namespace {

/// Eight tracks of quarter notes held to their full length, for a minute.
zirvon::Song busy_song() {
    std::string mml;
    for (int line = 0; line < 15; ++line) {
        for (int track = 1; track <= 8; ++track) {
            mml += std::to_string(track) + "[O" + std::to_string(2 + track / 2) + " L4 Q8 C E G B]\n";
        }
    }
    return std::move(zirvon::analyze_source(mml, "bench.mml").song);
}

void BM_RenderWav(benchmark::State& state) {
    const zirvon::Song song = busy_song();
    const std::uint64_t done = zirvon::play::play_through(song, nullptr).done_tick;
    std::size_t bytes = 0;
    for (auto _ : state) {
        zirvon::synth::WavRender wav(done, [&](std::span<const std::uint8_t> piece) {
            bytes += piece.size();
            return true;
        });
        zirvon::play::play_through(song, [&](std::uint64_t tick, const zirvon::play::MidiMessage& m) {
            wav.add(tick, m);
        });
        benchmark::DoNotOptimize(wav.finish());
    }
    const double seconds = static_cast<double>(done) / 50.0;
    state.counters["x_real_time"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_RenderWav)->Unit(benchmark::kMillisecond);

/// The mix alone: eight voices holding notes, in blocks of 882 frames.
void BM_SynthMix(benchmark::State& state) {
    zirvon::synth::Synth synth(44100);
    for (int track = 1; track <= 8; ++track) {
        synth.send({static_cast<std::uint8_t>(0x90 + track), static_cast<std::uint8_t>(40 + 5 * track), 127});
    }
    std::vector<std::int16_t> out(2 * 882);
    for (auto _ : state) {
        synth.render(out.data(), 882);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_real_time"] =
        benchmark::Counter(0.02 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthMix);

}  // namespace

BENCHMARK_MAIN();
