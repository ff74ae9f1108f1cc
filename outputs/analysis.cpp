#include "outputs/analysis.h"

#include <algorithm>
#include <utility>

namespace zirvon {

const play::SongMap& SourceAnalysis::map() const {
    if (!map_) map_ = play::map_song(song);
    return *map_;
}

std::size_t SourceAnalysis::block_of_group(std::size_t group) const {
    const SourceGroup& g = groups.at(group);
    if (g.track < kFirstPlayedTrack || g.track > kLastPlayedTrack || g.first_event >= g.end_event) return 0;
    const std::vector<std::uint64_t>& ticks = map().read_ticks[g.track];
    if (g.first_event >= ticks.size()) return 0;
    return map().block_of(ticks[g.first_event]);
}

std::vector<SourceBlock> SourceAnalysis::blocks() const {
    const play::SongMap& m = map();
    std::vector<SourceBlock> out(m.block_count());
    for (std::size_t b = 0; b < out.size(); ++b) {
        out[b].number = b + 1;
        out[b].start_tick = m.block_starts[b];
        out[b].end_tick = m.block_end(b + 1);
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const std::size_t b = block_of_group(g);
        if (b == 0) continue;
        SourceBlock& block = out[b - 1];
        const std::uint32_t line = groups[g].open.line;
        block.groups.push_back(g);
        block.first_line = block.first_line == 0 ? line : std::min(block.first_line, line);
        block.last_line = std::max(block.last_line, line);
    }
    return out;
}

SourceAnalysis analyze_source(std::string bytes, std::string name, EventPlaces places) {
    SourceAnalysis a;
    a.name = std::move(name);
    a.source = SourceText(std::move(bytes));
    Compiler compiler(a.song, places == EventPlaces::recorded);
    // Every group opens with a '['; counting them costs less than moving
    // the groups as their vector grows.
    const std::string_view text = a.source.text();
    // (In pieces of 240, each summed in 8 bits, which the compiler does 16
    // bytes at a time; it does not do so with std::count.)
    std::size_t opens = 0;
    for (std::size_t at = 0; at < text.size(); at += 240) {
        const std::string_view piece = text.substr(at, 240);
        unsigned char in_piece = 0;
        for (const char c : piece) in_piece = static_cast<unsigned char>(in_piece + (c == '[' ? 1 : 0));
        opens += in_piece;
    }
    compiler.reserve_groups(opens);
    const int lines = a.source.count_lines();
    for (int k = 0; k < lines; ++k) compiler.compile_line(a.source.line(k), k + 1);
    compiler.finish();
    a.diagnostics = compiler.take_diagnostics();
    a.counts = {compiler.error_count(), compiler.warning_count()};
    a.groups = compiler.take_groups();
    return a;
}

}  // namespace zirvon
