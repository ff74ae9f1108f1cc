// Inlay hints: where each block starts, at its first group, from the same
// song map as hover.
#include "lsp/features.h"

namespace zirvon::lsp {

json inlay_hints(const Snapshot& s, const json& params) {
    json hints = json::array();
    Position first{0, 0};
    Position last{INT64_MAX, INT64_MAX};
    if (params.contains("range")) {
        first = position_from(params["range"].at("start"));
        last = position_from(params["range"].at("end"));
    }
    const auto before = [](Position a, Position b) {
        return a.line < b.line || (a.line == b.line && a.character < b.character);
    };
    for (const SourceBlock& block : s.analysis.blocks()) {
        if (block.groups.empty()) continue;
        const EventPlace& open = s.analysis.groups[block.groups.front()].open;
        // Before the track number written ahead of the `[`.
        const std::string_view line = s.analysis.source.line(static_cast<int>(open.line) - 1);
        std::uint32_t column = open.column;
        while (column > 1 && column - 2 < line.size() && line[column - 2] >= '0' &&
               line[column - 2] <= '9')
            --column;
        const Position at = s.position({open.line, column});
        if (before(at, first) || before(last, at)) continue;
        hints.push_back(
            {{"position", to_json(at)},
             {"label", std::to_string(block.number) + " · " + tick_time(block.start_tick)},
             {"paddingRight", true}});
    }
    return hints;
}

}  // namespace zirvon::lsp
