#include "picture/layout.h"

#include <algorithm>
#include <array>

namespace zirvon::picture {
namespace {

constexpr int kBlockBand = 14;
constexpr int kLeftOutStrip = 8;
constexpr int kEmptyPlot = 18;
constexpr int kRuler = 20;
constexpr int kRowGap = 14;
constexpr int kMidiNotes = 128;

/// Sets a row's pitch range from the notes it draws: from the lowest to the
/// highest, down to a C when it holds none, and at least an octave.
void find_range(const Roll& roll, Row& row) {
    if (row.pieces.empty()) return;
    int low = kMidiNotes;
    int high = -1;
    for (const Piece& p : row.pieces) {
        low = std::min(low, roll.notes[p.note].midi);
        high = std::max(high, roll.notes[p.note].midi);
    }
    if (high / 12 == low / 12 && low % 12 != 0) low -= low % 12;
    row.low = low;
    row.high = std::max(high, low + 11);
}

}  // namespace

std::vector<RowSpan> break_rows(std::uint64_t length, const std::vector<BlockLine>& block_lines,
                                std::uint64_t row_ticks) {
    std::vector<std::uint64_t> starts;
    for (const BlockLine& line : block_lines) starts.push_back(line.tick);
    std::vector<RowSpan> rows;
    std::uint64_t start = 0;
    while (start < length) {
        const std::uint64_t limit = start + row_ticks;
        if (limit >= length) {
            rows.push_back({start, length});
            break;
        }
        // The farthest block start within reach; the block after it must
        // fit in a row of its own, else it is split here anyway.
        auto next = std::upper_bound(starts.begin(), starts.end(), start);
        std::uint64_t end = start;
        while (next != starts.end() && *next <= limit) end = *next++;
        const std::uint64_t after = next == starts.end() ? length : *next;
        if (end == start || after - end > row_ticks) end = limit;
        rows.push_back({start, end});
        start = end;
    }
    return rows;
}

std::vector<Row> lay_out(const Roll& roll, int top) {
    const std::vector<RowSpan> spans = break_rows(roll.length, roll.block_lines);
    std::vector<Row> rows(spans.size());
    std::vector<std::uint64_t> starts;
    for (std::size_t r = 0; r < spans.size(); ++r) {
        rows[r].span = spans[r];
        starts.push_back(spans[r].start);
    }
    const auto row_of = [&](std::uint64_t tick) {
        const auto at = std::upper_bound(starts.begin(), starts.end(), tick);
        return static_cast<std::size_t>(std::max<std::ptrdiff_t>(at - starts.begin() - 1, 0));
    };
    for (std::size_t j = 0; j < roll.notes.size(); ++j) {
        const RollNote& n = roll.notes[j];
        for (std::size_t r = row_of(n.on); r < rows.size(); ++r) {
            const RowSpan& s = rows[r].span;
            rows[r].pieces.push_back(
                {j, std::max(n.on, s.start), std::min(n.off, s.end), n.on < s.start});
            if (n.off <= s.end) break;
        }
    }
    for (std::size_t j = 0; j < roll.left_out.size(); ++j) {
        if (!rows.empty()) rows[row_of(roll.left_out[j].on)].left_out.push_back(j);
    }
    int y = top;
    for (Row& row : rows) {
        find_range(roll, row);
        row.top = y;
        row.plot_top = y + kBlockBand + (row.left_out.empty() ? 0 : kLeftOutStrip) + kPlotPad;
        row.plot_bottom =
            row.plot_top + (row.has_notes() ? (row.high - row.low + 1) * kLaneHeight : kEmptyPlot);
        row.bottom = row.plot_bottom + kPlotPad + kRuler;
        y = row.bottom + kRowGap;
    }
    return rows;
}

std::vector<int> unison_levels(const std::vector<RollNote>& notes) {
    // Each track's notes of each pitch, in time order; a track sounds one
    // note at a time, so they follow one another and their ends are in
    // order too.
    struct Span {
        std::uint64_t on, off;
    };
    std::array<std::array<std::vector<Span>, kMidiNotes>, kTrackCount> by_pitch;
    for (const RollNote& n : notes) by_pitch[n.track][n.midi].push_back({n.on, n.off});
    std::vector<int> levels;
    levels.reserve(notes.size());
    for (const RollNote& n : notes) {
        int level = 0;
        for (int t = 0; t < n.track; ++t) {
            const std::vector<Span>& spans = by_pitch[t][n.midi];
            const auto first =
                std::upper_bound(spans.begin(), spans.end(), n.on,
                                 [](std::uint64_t tick, const Span& s) { return tick < s.off; });
            if (first != spans.end() && first->on < n.off) ++level;
        }
        levels.push_back(level);
    }
    return levels;
}

}  // namespace zirvon::picture
