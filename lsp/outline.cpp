// The blocks of a document as symbols and code lenses, and the playhead's
// notes.
#include <algorithm>

#include "lsp/features.h"

namespace zirvon::lsp {
namespace {

/// SymbolKind.Event: a block is a moment of the song.
constexpr int kEventSymbol = 24;

/// The start of compiler line `line` and the end of its text.
std::pair<Position, Position> line_range(const Snapshot& s, std::uint32_t first, std::uint32_t last) {
    const Position start = s.position({first, 1});
    // The last byte of the line's text: the place just before the next line.
    const std::size_t next = s.offset_of({last + 1, 1});
    std::size_t end = next;
    const std::string_view text = s.text();
    if (end > 0 && end <= text.size() && text[end - 1] == '\n') --end;
    if (end > 0 && end <= text.size() && text[end - 1] == '\r') --end;
    return {start, s.positions.position_of(std::max(end, s.offset_of({first, 1})))};
}

}  // namespace

json document_symbols(const Snapshot& s) {
    json symbols = json::array();
    for (const SourceBlock& block : s.analysis.blocks()) {
        if (block.first_line == 0) continue;
        const auto [start, end] = line_range(s, block.first_line, block.last_line);
        const auto [first_start, first_end] = line_range(s, block.first_line, block.first_line);
        symbols.push_back({{"name", "Block " + std::to_string(block.number) + " · " + tick_time(block.start_tick)},
                           {"detail", "ticks " + std::to_string(block.start_tick) + " to " + std::to_string(block.end_tick)},
                           {"kind", kEventSymbol},
                           {"range", range_json(start, end)},
                           {"selectionRange", range_json(first_start, first_end)}});
    }
    return symbols;
}

json code_lenses(const Snapshot& s) {
    json lenses = json::array();
    for (const SourceBlock& block : s.analysis.blocks()) {
        if (block.first_line == 0) continue;
        const auto [start, end] = line_range(s, block.first_line, block.first_line);
        json argument = {{"uri", s.uri}, {"from", block.number}};
        lenses.push_back({{"range", range_json(start, end)},
                          {"command", {{"title", "▶ Block " + std::to_string(block.number)},
                                       {"command", "zirvon.play"},
                                       {"arguments", json::array({argument})}}}});
    }
    return lenses;
}

json playing_params(const Snapshot& s, play::TrackMask audible, std::uint64_t tick) {
    const play::SongMap& map = s.analysis.map();
    json notes = json::array();
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (!((audible >> k) & 1u)) continue;
        // The event read last on or before the tick is the only one that may
        // sound: reading the next one ends it.
        const std::vector<std::uint64_t>& read = map.read_ticks[k];
        const auto after = std::upper_bound(read.begin(), read.end(), tick);
        if (after == read.begin()) continue;
        const auto i = static_cast<std::size_t>(after - read.begin() - 1);
        const TrackEvent& e = s.analysis.song.tracks[k].events()[i];
        const bool sounds = sounds_note(e) && !above_midi(e) && tick < read[i] + e.gate;
        const EventPlace place = s.analysis.song.tracks[k].place(i);
        if (!sounds || place.line == 0) continue;
        const Position start = s.position({place.line, place.column});
        const Position end = s.position({place.line, place.end_column});
        notes.push_back({{"track", k}, {"line", start.line}, {"character", start.character},
                         {"endCharacter", end.line == start.line ? end.character : start.character + 1}});
    }
    return {{"uri", s.uri}, {"version", s.version}, {"tick", tick}, {"time", tick_time(tick)}, {"block", map.block_of(tick)},
            {"notes", std::move(notes)}};
}

}  // namespace zirvon::lsp
