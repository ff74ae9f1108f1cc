#include "picture/piano_roll.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "picture/layout.h"
#include "picture/palette.h"
#include "picture/svg_writer.h"
#include "text/format.h"

namespace zirvon::picture {
namespace {

constexpr int kLeft = 48;
constexpr int kRight = 28;
constexpr int kTitleBaseline = 26;
constexpr int kLegendTop = 38;
constexpr int kRowsTop = 66;
constexpr int kLegendEntry = 84;
constexpr std::string_view kLeftOutLegend = "above a row: left out, above MIDI 127";

std::string title_text(const Roll& roll, const PictureTitle& title) {
    std::string text = title.file_name + " \u00B7 " + title.tape_name + " \u00B7 " +
                       minutes_seconds(roll.length);
    if (!roll.whole_song) text += " from " + minutes_seconds(roll.song_start);
    text += " \u00B7 ";
    if (roll.song_blocks == 0) {
        text += "no blocks";
    } else if (roll.whole_song) {
        text += counted(roll.song_blocks, "block");
    } else {
        text += roll.first_block == roll.last_block ? "block " + std::to_string(roll.first_block)
                                                    : "blocks " + std::to_string(roll.first_block) +
                                                          "-" + std::to_string(roll.last_block);
        text += " of " + std::to_string(roll.song_blocks);
    }
    std::string muted;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (((roll.audible >> k) & 1u) == 0)
            muted += (muted.empty() ? "" : ", ") + std::to_string(k);
    }
    if (!muted.empty()) text += " \u00B7 muted: " + muted;
    text += " \u00B7 ";
    if (roll.empty()) {
        text += roll.whole_song && muted.empty() ? "empty: no notes on tracks 1 to 8"
                                                 : "empty: no notes in this passage";
    } else {
        text += counted(roll.notes.size(), "note");
        if (!roll.left_out.empty())
            text += ", " + std::to_string(roll.left_out.size()) + " left out";
    }
    return text;
}

/// Rough width of a text in pixels, to keep it inside the picture.
int text_width(std::string_view text, int font_size) {
    return static_cast<int>(text.size()) * font_size * 6 / 10;
}

class RollWriter {
  public:
    RollWriter(const Roll& roll, const PictureTitle& title, const TextSink& sink)
        : roll_(roll),
          title_(title_text(roll, title)),
          shared_(shared_parts(roll.notes)),
          svg_(sink) {
        for (const RollNote& n : roll.notes) shown_[n.track] = true;
        for (const RollNote& n : roll.left_out) shown_[n.track] = true;
    }

    bool write() {
        // A picture of nothing is its title alone, however long the silence.
        const std::vector<Row> rows = roll_.empty() ? std::vector<Row>{} : lay_out(roll_, kRowsTop);
        std::uint64_t widest = 0;
        for (const Row& row : rows) widest = std::max(widest, row.span.end - row.span.start);
        const int legend = legend_entries() * kLegendEntry +
                           (roll_.left_out.empty() ? 0 : 19 + text_width(kLeftOutLegend, 12));
        const int width = std::max({kLeft + static_cast<int>(widest) * kTickWidth + kRight,
                                    2 * 16 + text_width(title_, 15), 2 * 16 + legend});
        const int height = rows.empty() ? kRowsTop + 12 : rows.back().bottom + 12;

        svg_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << width
             << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << ' ' << height
             << "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\">\n";
        svg_ << "<title>";
        svg_.text(title_);
        svg_ << "</title>\n<rect width=\"" << width << "\" height=\"" << height << "\" fill=\""
             << kBackground << "\"/>\n";
        svg_ << "<text x=\"16\" y=\"" << kTitleBaseline
             << "\" font-size=\"15\" font-weight=\"bold\" fill=\"" << kText << "\">";
        svg_.text(title_);
        svg_ << "</text>\n";
        write_legend();
        for (const Row& row : rows) {
            write_row(row);
            if (!svg_.flush()) return false;
        }
        svg_ << "</svg>\n";
        return svg_.flush(true);
    }

  private:
    int legend_entries() const {
        return static_cast<int>(std::count(shown_.begin(), shown_.end(), true));
    }

    void write_legend() {
        svg_ << "<g class=\"legend\" font-size=\"12\" fill=\"" << kText << "\">\n";
        int x = 16;
        for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
            if (!shown_[k]) continue;
            const TrackColour& c = kTrackColours[k - 1];
            svg_ << "<rect x=\"" << x << "\" y=\"" << kLegendTop
                 << "\" width=\"14\" height=\"12\" fill=\"" << c.fill << "\" stroke=\"" << c.outline
                 << "\"/><text x=\"" << x + 19 << "\" y=\"" << kLegendTop + 11 << "\">Track " << k
                 << "</text>\n";
            x += kLegendEntry;
        }
        if (!roll_.left_out.empty()) {
            svg_ << "<rect x=\"" << x << "\" y=\"" << kLegendTop + 4
                 << "\" width=\"14\" height=\"5\" fill=\"" << kBackground << "\" stroke=\""
                 << kLeftOutOutline << "\" stroke-dasharray=\"2 1\"/><text x=\"" << x + 19
                 << "\" y=\"" << kLegendTop + 11 << "\">" << kLeftOutLegend << "</text>\n";
        }
        if (roll_.empty()) {
            svg_ << "<text x=\"16\" y=\"" << kLegendTop + 11 << "\" fill=\"" << kFaintText
                 << "\">Nothing sounds here.</text>\n";
        }
        svg_ << "</g>\n";
    }

    int x_of(const Row& row, std::uint64_t tick) const {
        return kLeft + static_cast<int>(tick - row.span.start) * kTickWidth;
    }
    int right_of(const Row& row) const { return x_of(row, row.span.end); }
    int y_of(const Row& row, int midi) const {
        return row.plot_top + (row.high - midi) * kLaneHeight;
    }

    void write_row(const Row& row) {
        svg_ << "<g class=\"row\" data-start=\"" << row.span.start << "\" data-end=\""
             << row.span.end << "\">\n";
        write_grid(row);
        write_block_lines(row);
        write_notes(row);
        write_left_out(row);
        write_ruler(row);
        svg_ << "</g>\n";
    }

    void write_grid(const Row& row) {
        const int right = right_of(row);
        svg_ << "<rect x=\"";
        svg_.half(kLeft - 1);
        svg_ << "\" y=\"";
        svg_.half(row.plot_top - kPlotPad - 1);
        svg_ << "\" width=\"" << right - kLeft + 1 << "\" height=\""
             << row.plot_bottom - row.plot_top + 2 * kPlotPad + 1 << "\" fill=\"none\" stroke=\""
             << kFrame << "\"/>\n";
        if (!row.has_notes()) {
            svg_ << "<text x=\"" << kLeft + 6 << "\" y=\"" << row.plot_top + 13
                 << "\" font-size=\"10\" fill=\"" << kFaintText << "\">no notes</text>\n";
            return;
        }
        for (int c = row.low + (12 - row.low % 12) % 12; c <= row.high; c += 12) {
            const int below = y_of(row, c) + kLaneHeight;
            if (c != row.low) {
                svg_ << "<line x1=\"" << kLeft << "\" y1=\"";
                svg_.half(below);
                svg_ << "\" x2=\"" << right << "\" y2=\"";
                svg_.half(below);
                svg_ << "\" stroke=\"" << kOctaveLine << "\"/>\n";
            }
            svg_ << "<text x=\"" << kLeft - 6 << "\" y=\"" << below - 1
                 << "\" font-size=\"10\" text-anchor=\"end\" fill=\"" << kFaintText << "\">"
                 << NoteName{c} << "</text>\n";
        }
    }

    /// "line 6" or "lines 6-9": where block `block` is written; empty
    /// when the song has no source.
    std::string source_of(std::size_t block) const {
        if (block == 0 || block > roll_.block_sources.size()) return {};
        const SourceLines& lines = roll_.block_sources[block - 1];
        if (lines.first == 0) return {};
        if (lines.first == lines.last) return "line " + std::to_string(lines.first);
        return "lines " + std::to_string(lines.first) + "-" + std::to_string(lines.last);
    }

    /// Where the block line at `line` stands in `row`, or the row's end.
    int next_line_x(const Row& row, std::vector<BlockLine>::const_iterator line) const {
        return line != roll_.block_lines.end() && line->tick < row.span.end ? x_of(row, line->tick)
                                                                           : right_of(row);
    }

    void write_block_lines(const Row& row) {
        int label_end = 0;
        // A block's number, left out where it would run into the one before,
        // and under it its source lines where they fit before the next block
        // line: so the numbers are the same whether the song has a source.
        const auto label = [&](std::size_t block, int x, int next_x, const char* colour) {
            const std::string number = std::to_string(block);
            if (x < label_end + 4) return;
            svg_ << "<text x=\"" << x + 3 << "\" y=\"" << row.top + 11
                 << "\" font-size=\"10\" fill=\"" << colour << "\">" << number << "</text>\n";
            label_end = x + 3 + text_width(number, 10);
            const std::string source = source_of(block);
            if (source.empty() || x + 3 + text_width(source, 9) + 4 > next_x) return;
            svg_ << "<text class=\"source\" x=\"" << x + 3 << "\" y=\"" << row.top + 22
                 << "\" font-size=\"9\" fill=\"" << kFaintText << "\">" << source << "</text>\n";
        };
        const auto first = std::lower_bound(
            roll_.block_lines.begin(), roll_.block_lines.end(), row.span.start,
            [](const BlockLine& line, std::uint64_t tick) { return line.tick < tick; });
        // The block the row starts in, when no line stands there: the
        // passage's first block, or in grey the block that a row before began.
        if (roll_.first_block != 0 &&
            (first == roll_.block_lines.end() || first->tick != row.span.start)) {
            const std::size_t block =
                first == roll_.block_lines.begin() ? roll_.first_block : (first - 1)->block;
            label(block, kLeft, next_line_x(row, first), row.span.start == 0 ? kText : kFaintText);
        }
        for (auto line = first; line != roll_.block_lines.end() && line->tick < row.span.end;
             ++line) {
            const int x = x_of(row, line->tick);
            svg_ << "<line class=\"block\" data-block=\"" << line->block << "\" data-tick=\""
                 << line->tick << "\" x1=\"";
            svg_.half(x);
            svg_ << "\" y1=\"" << row.top + 2 << "\" x2=\"";
            svg_.half(x);
            svg_ << "\" y2=\"" << row.plot_bottom + kPlotPad << "\" stroke=\"" << kBlockLine
                 << "\"/>\n";
            label(line->block, x, next_line_x(row, line + 1), kText);
        }
    }

    /// The notes of a row, a group for each track: first the bars that
    /// carry on notes from the row before, then the notes that start here.
    void write_notes(const Row& row) {
        for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
            opened_ = false;
            for (const std::size_t j : row.continued) {
                if (roll_.notes[j].track == k) write_bar(row, j, true);
            }
            for (std::size_t j = row.first_note; j < row.end_note; ++j) {
                if (roll_.notes[j].track == k) write_bar(row, j, false);
            }
            if (opened_) svg_ << "</g>\n";
        }
    }

    void write_bar(const Row& row, std::size_t j, bool continuation) {
        const RollNote& n = roll_.notes[j];
        const TrackColour& colour = kTrackColours[n.track - 1];
        if (!opened_) {
            svg_ << "<g stroke=\"" << colour.outline << "\">\n";
            opened_ = true;
        }
        const std::uint64_t from = std::max(n.on, row.span.start);
        const bool cut = n.off > row.span.end;  // goes on in the next row
        const std::uint64_t to = cut ? row.span.end : n.off;
        const int width = std::max(static_cast<int>(to - from) * kTickWidth - (cut ? 0 : 1), 1);
        if (continuation) {
            svg_ << "<rect class=\"cont\" data-track=\"" << n.track << "\" data-tick=\"" << n.on
                 << "\"";
        } else {
            svg_ << "<rect class=\"note\" data-track=\"" << n.track << "\" data-tick=\"" << n.on
                 << "\" data-off=\"" << n.off << "\" data-midi=\"" << n.midi << "\"";
        }
        svg_ << " x=\"" << x_of(row, from) << "\" y=\"" << y_of(row, n.midi) + 1 << "\" width=\""
             << width << "\" height=\"6\" fill=\"" << colour.fill << '"';
        if (continuation) {
            svg_ << "/>\n";
        } else {
            svg_ << "><title>track " << n.track << ' ' << NoteName{n.midi} << ", block " << n.block
                 << ", " << ExactTime{n.on};
            if (n.place.line != 0) svg_ << ", line " << n.place.line;
            svg_ << "</title></rect>\n";
        }
        write_shared(row, j, to);
        svg_.flush();
    }

    /// The parts of note j, up to tick `to` of its row, where lower tracks
    /// sound its pitch: a thin bar of each one's colour through its middle.
    void write_shared(const Row& row, std::size_t j, std::uint64_t to) {
        static constexpr std::array<int, 3> kInsets{3, 1, 5};
        const auto first = std::lower_bound(shared_.begin(), shared_.end(), j,
                                            [](const SharedPart& p, std::size_t note) { return p.note < note; });
        const RollNote& n = roll_.notes[j];
        for (auto p = first; p != shared_.end() && p->note == j; ++p) {
            const std::uint64_t from = std::max(p->from, row.span.start);
            const std::uint64_t end = std::min(p->to, to);
            if (from >= end) continue;
            svg_ << "<rect class=\"shared\" data-track=\"" << p->track << "\" data-over=\"" << n.track
                 << "\" data-tick=\"" << p->from << "\" data-off=\"" << p->to << "\" data-midi=\"" << n.midi
                 << "\" x=\"" << x_of(row, from) << "\" y=\""
                 << y_of(row, n.midi) + kInsets[static_cast<std::size_t>(std::min(p->rank, 2))]
                 << "\" width=\"" << std::max(static_cast<int>(end - from) * kTickWidth - 1, 1)
                 << "\" height=\"2\" fill=\"" << kTrackColours[p->track - 1].fill
                 << "\" stroke=\"none\" pointer-events=\"none\"/>\n";
        }
    }

    /// Left-out notes: dashed bars above the row's frame, "> 127" beside them.
    void write_left_out(const Row& row) {
        if (row.left_out.empty()) return;
        const int y = row.top + kBlockBand + 1;
        svg_ << "<text x=\"" << kLeft - 6 << "\" y=\"" << y + 6
             << "\" font-size=\"9\" text-anchor=\"end\" fill=\"" << kFaintText
             << "\">&gt; 127</text>\n<g stroke=\"" << kLeftOutOutline
             << "\" stroke-dasharray=\"2 1\">\n";
        for (const std::size_t j : row.left_out) {
            const RollNote& n = roll_.left_out[j];
            const std::uint64_t to = std::min(n.off, row.span.end);
            svg_ << "<rect class=\"left-out\" data-track=\"" << n.track << "\" data-tick=\"" << n.on
                 << "\" data-off=\"" << n.off << "\" data-midi=\"" << n.midi << "\" x=\""
                 << x_of(row, n.on) << "\" y=\"" << y << "\" width=\""
                 << std::max(static_cast<int>(to - n.on) * kTickWidth - 1, 1)
                 << "\" height=\"5\" fill=\"" << kTrackColours[n.track - 1].fill
                 << "\"><title>track " << n.track << ' ' << NoteName{n.midi} << " (MIDI " << n.midi
                 << ") left out, block " << n.block << ", " << ExactTime{n.on};
            if (n.place.line != 0) svg_ << ", line " << n.place.line;
            svg_ << "</title></rect>\n";
        }
        svg_ << "</g>\n";
    }

    /// A mark every second of the passage's time, each labelled m:ss.
    void write_ruler(const Row& row) {
        const std::uint64_t first = (row.span.start + kTicksPerSecond - 1) / kTicksPerSecond;
        const int base = row.plot_bottom + kPlotPad;
        std::string marks;
        svg_ << "<g font-size=\"10\" text-anchor=\"middle\" fill=\"" << kFaintText << "\">\n";
        for (std::uint64_t s = first; s * kTicksPerSecond <= row.span.end; ++s) {
            const int x = x_of(row, s * kTicksPerSecond);
            marks += 'M' + std::to_string(x) + ".5 " + std::to_string(base) + "v4";
            svg_ << "<text x=\"" << x << "\" y=\"" << base + 15 << "\">"
                 << minutes_seconds(s * kTicksPerSecond) << "</text>\n";
        }
        svg_ << "</g>\n";
        if (!marks.empty())
            svg_ << "<path d=\"" << marks << "\" stroke=\"" << kFaintText << "\"/>\n";
    }

    const Roll& roll_;
    std::string title_;
    std::vector<SharedPart> shared_;
    std::array<bool, kTrackCount> shown_{};
    SvgWriter svg_;
    bool opened_ = false;  ///< a track's group of notes is open
};

}  // namespace

bool write_piano_roll(const Roll& roll, const PictureTitle& title, const TextSink& sink) {
    return RollWriter(roll, title, sink).write();
}

std::string draw_piano_roll(const Roll& roll, const PictureTitle& title) {
    std::string document;
    write_piano_roll(roll, title, [&](std::string_view piece) {
        document += piece;
        return true;
    });
    return document;
}


}  // namespace zirvon::picture
