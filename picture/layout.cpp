#include "picture/layout.h"

#include <algorithm>

#include <bit>
#include <tuple>

namespace zirvon::picture {
namespace {

constexpr int kLeftOutStrip = 8;
constexpr int kEmptyPlot = 18;
constexpr int kRuler = 20;
constexpr int kRowGap = 14;
constexpr int kMidiNotes = 128;
/// No note sounds longer than the largest gate.
constexpr std::uint64_t kLongestNote = 255;

/// Sets a row's pitch range from the notes it draws: from the lowest to the
/// highest, down to a C when it holds none, and at least an octave.
void find_range(const Roll& roll, Row& row) {
    if (row.first_note == row.end_note && row.continued.empty()) return;
    int low = kMidiNotes;
    int high = -1;
    const auto widen = [&](std::size_t j) {
        low = std::min(low, roll.notes[j].midi);
        high = std::max(high, roll.notes[j].midi);
    };
    for (std::size_t j = row.first_note; j < row.end_note; ++j) widen(j);
    for (const std::size_t j : row.continued) widen(j);
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
    const auto first_at = [&](std::uint64_t tick) {
        return static_cast<std::size_t>(
            std::lower_bound(roll.notes.begin(), roll.notes.end(), tick,
                             [](const RollNote& n, std::uint64_t t) { return n.on < t; }) -
            roll.notes.begin());
    };
    for (Row& row : rows) {
        row.first_note = first_at(row.span.start);
        row.end_note = first_at(row.span.end);
    }
    for (std::size_t j = 0; j < roll.notes.size(); ++j) {
        for (std::size_t r = row_of(roll.notes[j].on);
             roll.notes[j].off > rows[r].span.end && r + 1 < rows.size();) {
            rows[++r].continued.push_back(j);
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

std::vector<SharedPart> shared_parts(const std::vector<RollNote>& notes) {
    // The notes by pitch, then in time order. A note lasts at most its
    // gate, so the notes of a pitch that overlap one lie close to it.
    std::vector<std::uint32_t> order(notes.size());
    for (std::size_t j = 0; j < order.size(); ++j) order[j] = static_cast<std::uint32_t>(j);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return notes[a].midi != notes[b].midi ? notes[a].midi < notes[b].midi : a < b;
    });
    std::vector<SharedPart> parts;
    for (std::size_t at = 0; at < order.size(); ++at) {
        const std::size_t j = order[at];
        const RollNote& n = notes[j];
        const std::size_t first = parts.size();
        unsigned lower = 0;  // tracks below n's that sound its pitch with it
        const auto look = [&](std::size_t i) {
            const RollNote& o = notes[order[i]];
            if (o.midi != n.midi) return false;
            if (o.track < n.track && o.on < n.off && n.on < o.off) {
                lower |= 1u << o.track;
                parts.push_back({j, o.track, std::max(o.on, n.on), std::min(o.off, n.off), 0});
            }
            return true;
        };
        for (std::size_t i = at; i-- > 0 && n.on - notes[order[i]].on <= kLongestNote && look(i);) {
        }
        for (std::size_t i = at + 1; i < order.size() && notes[order[i]].on < n.off && look(i); ++i) {
        }
        for (std::size_t p = first; p < parts.size(); ++p) {
            parts[p].rank = std::popcount(lower & ((1u << parts[p].track) - 1));
        }
    }
    // Every field in the order: the parts of a note that three tracks or
    // more sound start together, and no library may order them its own way.
    std::sort(parts.begin(), parts.end(), [](const SharedPart& a, const SharedPart& b) {
        return std::tie(a.note, a.from, a.track, a.to, a.rank) <
               std::tie(b.note, b.from, b.track, b.to, b.rank);
    });
    return parts;
}

}  // namespace zirvon::picture
