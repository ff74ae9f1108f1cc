#include "outputs/passage_errors.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "outputs/summary.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// The blocks (from 1) a place in the source lies in: one, none (0) or,
/// when it cannot be told, every one.
struct BlocksAt {
    std::size_t first = 0;
    std::size_t last = 0;
    bool every = false;
};

bool at_or_before(const EventPlace& a, std::uint32_t line, std::uint32_t column) {
    return std::tie(a.line, a.column) <= std::tie(line, column);
}

BlocksAt blocks_at(const SourceAnalysis& a, int at_line, int at_column) {
    BlocksAt out;
    if (at_line <= 0) return out;
    const auto line = static_cast<std::uint32_t>(at_line);
    const auto column = static_cast<std::uint32_t>(at_column);
    const std::vector<SourceGroup>& groups = a.groups;
    // The last group opened at or before the place.
    const auto after = std::partition_point(groups.begin(), groups.end(), [&](const SourceGroup& g) {
        return at_or_before(g.open, line, column);
    });
    // A group never closed runs on to the next one's '['.
    if (after != groups.begin() &&
        ((after - 1)->close.line == 0 ||
         at_or_before({line, column, 0}, (after - 1)->close.line, (after - 1)->close.column))) {
        out.first = out.last = a.block_of_group(static_cast<std::size_t>(after - 1 - groups.begin()));
        return out;
    }
    // Between groups, as a block whose track number is wrong: the blocks of
    // its line.
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].open.line != line) continue;
        const std::size_t b = a.block_of_group(g);
        if (b == 0) continue;
        out.first = out.first == 0 ? b : std::min(out.first, b);
        out.last = std::max(out.last, b);
    }
    out.every = out.first == 0;
    return out;
}

/// The blocks an error holds: those from its place to the last command it
/// touches; for a full track, every block from its place on, as all that
/// follows on the track is dropped.
BlocksAt blocks_of_error(const SourceAnalysis& a, const Diagnostic& d) {
    BlocksAt held = blocks_at(a, d.line, d.column);
    if (held.every || held.first == 0) return held;
    if (d.code == "track-full") held.last = a.map().block_count();
    if (d.reach_line > 0) {
        const BlocksAt reach = blocks_at(a, d.reach_line, d.reach_column);
        if (reach.every) return reach;
        held.last = std::max(held.last, reach.last);
    }
    return held;
}

std::string place_of(const Diagnostic& d) {
    return "line " + std::to_string(d.line) + ", column " + std::to_string(d.column);
}

}  // namespace

std::string error_in_passage(const SourceAnalysis& analysis, const play::Passage& passage) {
    if (analysis.ok()) return {};
    const play::SongMap& map = analysis.map();
    const std::size_t first = map.block_of(passage.start);
    const std::size_t last = map.block_of(passage.end > passage.start ? passage.end - 1 : passage.start);
    int placed = 0;
    for (const Diagnostic& d : analysis.diagnostics) {
        if (d.severity != Severity::error) continue;
        ++placed;
        const BlocksAt held = blocks_of_error(analysis, d);
        if (held.every) return "the error at " + place_of(d) + " lies in no block, so it may be in any";
        if (held.first == 0 || held.last < first || held.first > last) continue;
        return "block " + std::to_string(std::max(held.first, first)) + " holds the error at " + place_of(d);
    }
    // Past the errors shown, the rest are only counted: where they lie is
    // not known.
    if (placed < analysis.counts.errors) {
        return counted(static_cast<std::uint64_t>(analysis.counts.errors - placed), "error") +
               " not shown, so where they lie is not known";
    }
    return {};
}

PassageVerdict play_around_errors(const SourceAnalysis& analysis, const play::Passage& passage,
                                  std::string_view not_done, const std::vector<std::string>& unwritten) {
    std::string refusal = error_in_passage(analysis, passage);
    if (refusal.empty()) return {true, {}, problem_summary(analysis.counts, "none in what plays", unwritten)};
    std::string summary = problem_summary(analysis.counts, std::string(not_done) + ": " + refusal, unwritten);
    return {false, std::move(refusal), std::move(summary)};
}

}  // namespace zirvon
