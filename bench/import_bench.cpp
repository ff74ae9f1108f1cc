// Bringing music in, timed: a ten-minute song imported from its MIDI file,
// and decompiled from its image to MML (each should take under 50 ms), and
// 10,000 round trips of random songs through the MML writer and the compiler.
#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "mml/mml_writer.h"
#include "outputs/analysis.h"
#include "smf/midi_file.h"
#include "smf/midi_import.h"
#include "tape/tape_image.h"

namespace {

/// Four voices of eighth notes and a bass, bar after bar for ten minutes.
zirvon::Song ten_minute_song() {
    std::string text;
    const char* const kBars[] = {"1[O4 L8 Q7 C D E F G A B >C<]", "2[O3 L8 Q6 E G E G F A F A]",
                                 "3[O4 L4 Q8 C. D8 E F]", "4[O2 L2 Q7 C G]",
                                 "5[O5 L16 Q5 CDEFGAB>C<BAGFEDC<B>]"};
    for (int bar = 0; bar < 290; ++bar) {
        for (const char* b : kBars) text += std::string(b) + "  ";
        text += "\n";
    }
    zirvon::SourceAnalysis a = zirvon::analyze_source(text, "long.mml");
    if (!a.ok() || a.map().done_tick < 30'000)
        throw std::runtime_error("the song is not ten minutes long");
    return std::move(a.song);
}

void BM_ImportTenMinutes(benchmark::State& state) {
    const std::vector<std::uint8_t> file = zirvon::smf::build_midi_file(ten_minute_song(), "LONG").bytes;
    for (auto _ : state) {
        zirvon::smf::ImportedSong imported;
        std::string error;
        if (!zirvon::smf::import_midi(file, imported, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(imported);
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_ImportTenMinutes)->Unit(benchmark::kMillisecond);

void BM_ImportTenMinutesToMml(benchmark::State& state) {
    const std::vector<std::uint8_t> file = zirvon::smf::build_midi_file(ten_minute_song(), "LONG").bytes;
    for (auto _ : state) {
        zirvon::smf::ImportedSong imported;
        std::string error;
        zirvon::smf::import_midi(file, imported, error);
        benchmark::DoNotOptimize(zirvon::write_mml(imported.song));
    }
}
BENCHMARK(BM_ImportTenMinutesToMml)->Unit(benchmark::kMillisecond);

void BM_DecompileTenMinutes(benchmark::State& state) {
    const std::vector<std::uint8_t> image = zirvon::build_tape_image(ten_minute_song(), "LONG");
    for (auto _ : state) {
        zirvon::Song song;
        std::string error;
        zirvon::load_tape_image(image, song, error);
        benchmark::DoNotOptimize(zirvon::write_mml(song));
    }
    state.counters["events"] = static_cast<double>(image.size() / 3);
}
BENCHMARK(BM_DecompileTenMinutes)->Unit(benchmark::kMillisecond);

/// A random song of the events MML gives: notes of any length and of the
/// gates ratios and ties give, rests and sync marks, on every track.
zirvon::Song random_song(std::mt19937& rng) {
    const auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    zirvon::Song song;
    for (int k = 0; k < zirvon::kTrackCount; ++k) {
        for (int n = pick(0, 60); n > 0; --n) {
            const int roll = pick(0, 9);
            const auto length =
                static_cast<std::uint8_t>(pick(0, 3) ? 96 >> pick(0, 5) : pick(1, 255));
            if (roll == 0) {
                song.tracks[k].append_event(zirvon::kSyncEvent);
            } else if (roll == 1) {
                song.tracks[k].append_event({0, length, 0});
            } else {
                const int gate = zirvon::compiled_gate(
                    length, static_cast<std::uint64_t>(pick(1, 8)), roll == 2);
                song.tracks[k].append_event({static_cast<std::uint8_t>(pick(1, 100)), length,
                                             static_cast<std::uint8_t>(gate)});
            }
        }
        song.tracks[k].append_event(zirvon::kEndEvent);
    }
    return song;
}

void BM_RoundTrips(benchmark::State& state) {
    std::mt19937 rng(7);
    for (auto _ : state) {
        const zirvon::Song song = random_song(rng);
        const zirvon::SourceAnalysis back =
            zirvon::analyze_source(zirvon::write_mml(song).text, "r.MML");
        for (int k = 0; k < zirvon::kTrackCount; ++k) {
            if (back.song.tracks[k].events() != song.tracks[k].events())
                state.SkipWithError("a round trip differs");
        }
    }
}
BENCHMARK(BM_RoundTrips)->Iterations(10'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
