// Compile throughput on a large song: every track filled close to its
// 10,000-event capacity with lines that use the whole dialect.
#include <benchmark/benchmark.h>

#include <string>

#include "mml/analysis.h"

namespace {

std::string large_song() {
    // 16 events a line; 624 lines a track leave each track just short of full.
    static const char* const kBars[] = {
        "[O4 L8 Q7 C D E F G A B >C<]  [R4 C+8. D-16 &E%12 F#4 G.]\r\n",
        "[O3 L16 Q6 CDEFGAB>C<BAGF]   [L4 O5 C2 <B4 A8 G8. R16]\r\n",
    };
    std::string text = "Benchmark song: every track close to full\r\n";
    for (int line = 0; line < 624; ++line) {
        for (int track = 0; track < 10; ++track) {
            const std::string bar = kBars[(line + track) % 2];
            const std::string n = std::to_string(track);
            // Two blocks a line for this track: "n[...]  n[...]".
            const auto split = bar.find("  ");
            text += n + bar.substr(0, split) + "  " + n + bar.substr(split + 2);
        }
    }
    return text;
}

void BM_AnalyzeSource(benchmark::State& state) {
    const std::string text = large_song();
    for (auto _ : state) {
        zirvon::SourceAnalysis analysis = zirvon::analyze_source(text, "large.mml");
        benchmark::DoNotOptimize(analysis.song);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["source_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_AnalyzeSource)->Unit(benchmark::kMillisecond);

// What an output that plays pays on top: the song map, built on first use.
void BM_AnalyzeSourceAndMap(benchmark::State& state) {
    const std::string text = large_song();
    for (auto _ : state) {
        zirvon::SourceAnalysis analysis = zirvon::analyze_source(text, "large.mml");
        benchmark::DoNotOptimize(analysis.map().done_tick);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_AnalyzeSourceAndMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
