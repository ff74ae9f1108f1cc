// Where a piano roll puts things: the passage cut into rows like the lines
// of a score, each row's pitch range, and which parts of which notes each
// row draws. Every row has the same scale, kTickWidth pixels a tick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/roll.h"

namespace zirvon::picture {

inline constexpr int kTickWidth = 2;
/// Longest row: 14.4 seconds.
inline constexpr std::uint64_t kRowTicks = 720;
/// Height of one semitone.
inline constexpr int kLaneHeight = 8;
/// Room between a row's frame and its highest and lowest lane.
inline constexpr int kPlotPad = 4;
/// Height of the band above a row's frame that numbers its blocks, each
/// with the source lines it is written on under its number.
inline constexpr int kBlockBand = 25;

/// Passage ticks [start, end) of one row.
struct RowSpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;

    friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

/// Cuts [0, length) into rows of at most `row_ticks`. A row ends where a
/// block starts (`block_lines`) when the next block fits in a row of its
/// own; a block longer than a row is split, and its first part fills the
/// rest of the row it starts in.
std::vector<RowSpan> break_rows(std::uint64_t length, const std::vector<BlockLine>& block_lines,
                                std::uint64_t row_ticks = kRowTicks);

struct Row {
    RowSpan span;
    /// The notes that start in the row, [first_note, end_note) of the
    /// roll's, which are in time order; each is drawn up to the row's end.
    std::size_t first_note = 0;
    std::size_t end_note = 0;
    /// Notes that started in a row before and still sound at its start.
    std::vector<std::size_t> continued;
    /// Left-out notes that start in the row.
    std::vector<std::size_t> left_out;
    /// MIDI numbers of its lowest and highest lane: its notes' range, with
    /// a C in it, at least an octave. high < low when the row draws no note.
    int low = 0;
    int high = -1;
    /// Its top (the band of block numbers), the top and bottom of its
    /// lanes (the frame is kPlotPad outside them), and its bottom (below
    /// the time ruler), in pixels.
    int top = 0;
    int plot_top = 0;
    int plot_bottom = 0;
    int bottom = 0;

    bool has_notes() const { return high >= low; }
};

/// The rows of `roll`, the first at `top`.
std::vector<Row> lay_out(const Roll& roll, int top);

/// A stretch of a note while a note of a lower track sounds its pitch (a
/// unison): the note is drawn whole, and there it shows the lower track's
/// colour through its middle, so that both stay visible.
struct SharedPart {
    std::size_t note = 0;  ///< index of the higher track's note
    int track = 0;         ///< the lower track
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    /// The lower track's place among those that share the note's pitch
    /// with it, from 0: where in the note's height its colour shows.
    int rank = 0;

    friend bool operator==(const SharedPart&, const SharedPart&) = default;
};

/// Every shared part of `notes`, by note, then in time order.
std::vector<SharedPart> shared_parts(const std::vector<RollNote>& notes);

}  // namespace zirvon::picture
