// Compile throughput on a large song: every track filled close to its
// 10,000-event capacity with lines that use the whole dialect.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/source_text.h"

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

void BM_Compile(benchmark::State& state) {
    const zirvon::SourceText source(large_song());
    std::size_t bytes = 0;
    for (int k = 0; k < source.count_lines(); ++k) bytes += source.line(k).size() + 2;
    for (auto _ : state) {
        zirvon::Song song;
        std::vector<zirvon::Diagnostic> diagnostics;
        zirvon::compile(source, song, diagnostics);
        benchmark::DoNotOptimize(song);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["source_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

void BM_LoadAndCompile(benchmark::State& state) {
    const std::string text = large_song();
    for (auto _ : state) {
        const zirvon::SourceText source(text);
        zirvon::Song song;
        std::vector<zirvon::Diagnostic> diagnostics;
        zirvon::compile(source, song, diagnostics);
        benchmark::DoNotOptimize(song);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadAndCompile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
