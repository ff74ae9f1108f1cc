// What starting a passage costs: the song's map, the passage's ticks and the
// silent run up to its start, then its first tick. Starting near the end of a
// 10,000-event track must cost little more than starting at block 1.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/source_text.h"
#include "outputs/analysis.h"
#include "play/passage.h"

namespace {

using namespace zirvon;

Song compiled(const std::string& text) {
    return std::move(analyze_source(text, "bench.mml").song);
}

/// Track 1 full: 1,999 blocks of four notes (9,996 events with the sync
/// marks and the end mark), track 2 a held note in each block.
const Song& long_song() {
    static const Song song = [] {
        std::string text;
        for (int line = 0; line < 1999; ++line) text += "1[L16 C D E F] 2[L4 Q8 G]\n";
        return compiled(text);
    }();
    return song;
}

/// The densest case for the silent run: all eight tracks busy with 32nd
/// notes, nearly as many as an image holds (21,570 events in 539 blocks), so few
/// ticks are quiet enough to skip.
const Song& dense_song() {
    static const Song song = [] {
        std::string text;
        for (int line = 0; line < 539; ++line) {
            for (int k = 1; k <= 8; ++k) text += std::to_string(k) + "[L32 C D E F] ";
            text += "\n";
        }
        return compiled(text);
    }();
    return song;
}

const Song& song_of(std::int64_t which) {
    return which == 0 ? long_song() : dense_song();
}

class NullSink : public play::MidiSink {
public:
    void send(const play::MidiMessage& m) override { benchmark::DoNotOptimize(m); }
};

/// Block 1, the middle block or the last one: 0, 500 or 1000 per mille of
/// the way.
std::size_t block_at(const Song& song, std::int64_t per_mille) {
    const std::size_t blocks = play::map_song(song).block_count();
    return 1 + (blocks - 1) * static_cast<std::size_t>(per_mille) / 1000;
}

/// From the song to the passage's first tick, for /from=N.
void BM_StartAtBlock(benchmark::State& state) {
    const Song& song = song_of(state.range(1));
    play::PassageRequest request;
    request.from = play::Bound{play::Bound::Kind::block, block_at(song, state.range(0)), {}};
    NullSink sink;
    for (auto _ : state) {
        const play::SongMap map = play::map_song(song);
        std::string error;
        const auto passage = play::resolve_passage(request, song, map, error);
        play::PassagePlayer player(song, *passage);
        player.tick(sink);
        benchmark::DoNotOptimize(player);
    }
    state.counters["block"] = static_cast<double>(request.from->value);
    state.counters["events"] = static_cast<double>(song.event_count());
}
BENCHMARK(BM_StartAtBlock)
    ->ArgNames({"per_mille", "dense"})
    ->ArgsProduct({{0, 500, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

/// The silent run alone, for /from=N once the map is known.
void BM_SilentRunToBlock(benchmark::State& state) {
    const Song& song = song_of(state.range(1));
    const play::SongMap map = play::map_song(song);
    const play::Passage passage{map.block_starts[block_at(song, state.range(0)) - 1], map.done_tick,
                                play::kAllPlayedTracks};
    for (auto _ : state) {
        play::PassagePlayer player(song, passage);
        benchmark::DoNotOptimize(player);
    }
    state.counters["start_tick"] = static_cast<double>(passage.start);
}
BENCHMARK(BM_SilentRunToBlock)
    ->ArgNames({"per_mille", "dense"})
    ->ArgsProduct({{0, 500, 1000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
