// Compile throughput on the two songs that bound a compile: the largest
// valid song (an image's 21,845 events, so the whole-song checks run) and
// a 371 KB song whose ten tracks are filled close to their 10,000 events
// (too much for one image: its errors skip those checks).
//
// `compile_bench --write-songs FOLDER` writes both songs there instead, as
// valid.mml and dense.mml, for bench/compile_speed.py to time whole runs of
// the program on them.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "outputs/analysis.h"

namespace {

/// `lines` lines of two blocks for each of the ten tracks, 16 events a
/// track a line, using the whole dialect.
std::string dense_lines(int lines) {
    static const char* const kBars[] = {
        "[O4 L8 Q7 C D E F G A B >C<]  [R4 C+8. D-16 &E%12 F#4 G.]\r\n",
        "[O3 L16 Q6 CDEFGAB>C<BAGF]   [L4 O5 C2 <B4 A8 G8. R16]\r\n",
    };
    std::string text = "Benchmark song: every track close to full\r\n";
    for (int line = 0; line < lines; ++line) {
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

/// 624 lines leave each track just short of full: 371 KB.
std::string dense_song() { return dense_lines(624); }

/// 124 lines are 21,710 events with the end marks; one more block of 134
/// notes makes the 21,845 that an image's header can count.
std::string valid_song() { return dense_lines(124) + "1[O4 L32 " + std::string(134, 'C') + "]\r\n"; }

void compile(benchmark::State& state, const std::string& text, zirvon::EventPlaces places) {
    for (auto _ : state) {
        zirvon::SourceAnalysis analysis = zirvon::analyze_source(text, "bench.mml", places);
        benchmark::DoNotOptimize(analysis.song);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["source_bytes"] = static_cast<double>(text.size());
}

// A plain compile, as `zirvon song.mml` makes it.
void BM_CompileValid(benchmark::State& state) { compile(state, valid_song(), zirvon::EventPlaces::skipped); }
BENCHMARK(BM_CompileValid)->Unit(benchmark::kMillisecond);
void BM_CompileDense(benchmark::State& state) { compile(state, dense_song(), zirvon::EventPlaces::skipped); }
BENCHMARK(BM_CompileDense)->Unit(benchmark::kMillisecond);

// With the place of every event, as the language server, the page, /svg
// and passages bounded by source lines need.
void BM_CompileValidWithPlaces(benchmark::State& state) {
    compile(state, valid_song(), zirvon::EventPlaces::recorded);
}
BENCHMARK(BM_CompileValidWithPlaces)->Unit(benchmark::kMillisecond);
void BM_CompileDenseWithPlaces(benchmark::State& state) {
    compile(state, dense_song(), zirvon::EventPlaces::recorded);
}
BENCHMARK(BM_CompileDenseWithPlaces)->Unit(benchmark::kMillisecond);

// What an output that plays pays on top: the song map, built on first use.
void BM_CompileValidAndMap(benchmark::State& state) {
    const std::string text = valid_song();
    for (auto _ : state) {
        zirvon::SourceAnalysis analysis = zirvon::analyze_source(text, "bench.mml", zirvon::EventPlaces::skipped);
        benchmark::DoNotOptimize(analysis.map().done_tick);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CompileValidAndMap)->Unit(benchmark::kMillisecond);

bool write_songs(const std::string& folder) {
    for (const auto& [name, text] : {std::pair{"valid.mml", valid_song()}, std::pair{"dense.mml", dense_song()}}) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out << text;
        if (!out.flush()) {
            std::cerr << "compile_bench: cannot write " << folder << "/" << name << "\n";
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-songs") == 0) return write_songs(argv[2]) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
