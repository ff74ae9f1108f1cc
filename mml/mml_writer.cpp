#include "mml/mml_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "mml/compiler.h"
#include "play/passage.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// Lines longer than this are written one group a line.
constexpr std::size_t kWideLine = 100;
/// How far ahead a gate ratio is tried on the notes that follow.
constexpr std::size_t kLookahead = 32;
/// Dots written at most after a note length.
constexpr int kMostDots = 2;

constexpr std::array<const char*, 12> kNoteNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                 "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::array<int, 6> kTableNumbers{1, 2, 4, 8, 16, 32};

/// A length as a note-length number and dots; number 0: none.
struct LengthForm {
    int number = 0;
    int dots = 0;
};

/// The length table: ticks 0-255 as the shortest number-and-dots that gives them.
std::array<LengthForm, 256> make_length_forms() {
    std::array<LengthForm, 256> forms{};
    for (int dots = kMostDots; dots >= 0; --dots) {
        for (int n : kTableNumbers) {
            const int total = length_ticks(MmlNumber::of(static_cast<std::uint64_t>(n)), static_cast<std::uint64_t>(dots));
            forms[static_cast<std::size_t>(total)] = {n, dots};
        }
    }
    return forms;
}
const std::array<LengthForm, 256> kLengthForms = make_length_forms();

/// What the compiler keeps of a track from note to note, as a track starts.
struct Pen {
    std::int64_t octave = TrackSettings{}.octave;
    int length_number = static_cast<int>(TrackSettings{}.default_length.low);
    std::uint64_t ratio = TrackSettings{}.gate_ratio.low;
};

/// How one note is written: its ticks before the cut to 8 bits, a tie, and
/// the gate ratio in force.
struct NoteForm {
    std::uint64_t ticks = 0;
    bool tie = false;
    std::uint64_t ratio = 7;
};

/// A command letter and its number, "Q7".
std::string command(char letter, std::uint64_t number) {
    std::string text(1, letter);
    text += std::to_string(number);
    return text;
}

/// A note's gate with ratio `ratio`, when it is not tied: the compiler's.
int untied_gate(std::uint64_t ticks, std::uint64_t ratio) {
    return gate_ticks(MmlNumber::of(ticks), MmlNumber::of(ratio)).byte();
}

class TrackWriter {
  public:
    TrackWriter(int track, const std::vector<TrackEvent>& events, std::vector<MmlChange>& changes)
        : track_(track), events_(events), changes_(changes) {}

    /// The group of events [first, end) as text, `closed` with its `]`.
    std::string group(std::size_t first, std::size_t end, bool closed) {
        std::string text = std::to_string(track_);
        text += '[';
        std::vector<std::string> tokens;
        choose_length(first, end, tokens);
        for (std::size_t i = first; i < end; ++i) event(i, tokens);
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (i > 0) text += ' ';
            text += tokens[i];
        }
        if (closed) text += ']';
        return text;
    }

  private:
    void change(std::size_t index, std::string what) {
        changes_.push_back({track_, index, std::move(what)});
    }

    /// A default length for the group where most of its lengths are one
    /// note length, and more than the one in force.
    void choose_length(std::size_t first, std::size_t end, std::vector<std::string>& tokens) {
        std::array<int, 33> uses{};
        for (std::size_t i = first; i < end; ++i) {
            const TrackEvent& e = events_[i];
            if (e.note > kHighestPitch || e.length == 0) continue;
            const LengthForm form = kLengthForms[e.length];
            if (form.number) ++uses[static_cast<std::size_t>(form.number)];
        }
        int best = pen_.length_number;
        for (int n : kTableNumbers) {
            if (uses[static_cast<std::size_t>(n)] > uses[static_cast<std::size_t>(best)]) best = n;
        }
        if (best != pen_.length_number && uses[static_cast<std::size_t>(best)] >= 2 &&
            uses[static_cast<std::size_t>(best)] >
                uses[static_cast<std::size_t>(pen_.length_number)] + 1) {
            pen_.length_number = best;
            tokens.push_back(command('L', static_cast<std::uint64_t>(best)));
        }
    }

    void event(std::size_t i, std::vector<std::string>& tokens) {
        const TrackEvent& e = events_[i];
        if (e.note == SyncMark || e.note == EndMark) {
            change(i, std::string(e.note == SyncMark ? "sync" : "end") +
                          " mark in the middle of a group");
            return;
        }
        if (e.note > kHighestPitch) {
            change(i, std::string("note code ").append(std::to_string(e.note)) +
                          " (which only ends the sounding note) becomes a rest of 0 ticks");
            tokens.push_back(rest_text(0));
            return;
        }
        if (is_rest(e)) {
            tokens.push_back(rest_text(e.length));
            return;
        }
        const NoteForm form = note_form(i);
        std::string text = form.tie ? "&" : "";
        if (form.ratio != pen_.ratio) {
            tokens.push_back(command('Q', form.ratio));
            pen_.ratio = form.ratio;
        }
        const std::int64_t octave = e.note / 12;
        const std::int64_t step = octave - pen_.octave;
        if (step > 2 || step < -2) {
            tokens.push_back(command('O', static_cast<std::uint64_t>(octave + 1)));
        } else {
            text.append(static_cast<std::size_t>(std::max<std::int64_t>(step, 0)), '>');
            text.append(static_cast<std::size_t>(std::max<std::int64_t>(-step, 0)), '<');
        }
        pen_.octave = octave;
        text += kNoteNames[e.note % 12];
        text += length_text(form.ticks);
        tokens.push_back(std::move(text));
    }

    std::string rest_text(std::uint64_t ticks) const {
        std::string text(1, 'R');
        text += length_text(ticks);
        return text;
    }

    /// `ticks` as a length after a note letter.
    std::string length_text(std::uint64_t ticks) const {
        // No length in the table gives 0 ticks; 64 is the one a composer
        // would try, and the compiler says what it gives.
        if (ticks == 0) return "64";
        if (ticks > 255) return command('%', ticks);
        const LengthForm form = kLengthForms[static_cast<std::size_t>(ticks)];
        if (form.number == 0) return command('%', ticks);
        std::string text = form.number == pen_.length_number ? "" : std::to_string(form.number);
        text.append(static_cast<std::size_t>(form.dots), '.');
        return text;
    }

    /// How many of the notes from `i` on, in a row, ratio `ratio` gives
    /// their gate without a tie.
    std::size_t run_of(std::size_t i, std::uint64_t ratio) const {
        std::size_t run = 0;
        for (std::size_t j = i; j < events_.size() && j < i + kLookahead; ++j) {
            const TrackEvent& e = events_[j];
            if (e.note == SyncMark || is_rest(e)) continue;
            if (!is_note(e) || untied_gate(e.length, ratio) != e.gate) break;
            ++run;
        }
        return run;
    }

    NoteForm note_form(std::size_t i) {
        const TrackEvent& e = events_[i];
        const std::uint64_t ticks = e.length;
        if (untied_gate(ticks, pen_.ratio) == e.gate) return {ticks, false, pen_.ratio};
        // The ratio from 0 to 8 that serves the longest run of notes.
        std::optional<std::uint64_t> best;
        std::size_t best_run = 0;
        for (std::uint64_t r : {8, 7, 6, 5, 4, 3, 2, 1, 0}) {
            if (untied_gate(ticks, r) != e.gate) continue;
            const std::size_t run = run_of(i, r);
            if (!best || run > best_run) {
                best = r;
                best_run = run;
            }
        }
        if (e.gate == e.length && (!best || best_run <= 1 || *best == 0))
            return {ticks, true, pen_.ratio};
        if (best) return {ticks, false, *best};
        if (const std::optional<NoteForm> far = far_form(e)) return *far;
        return nearest_form(i);
    }

    /// Lengths and ratios past the usual: ticks of 256 and more that are
    /// cut to the length byte, and ratios above 8 whose gates are cut to the
    /// gate byte, as a source that made such an event had them.
    static std::optional<NoteForm> far_form(const TrackEvent& e) {
        for (std::uint64_t k = 0; k < 8; ++k) {
            const std::uint64_t ticks = e.length + 256 * k;
            if (ticks == 0) continue;
            for (std::uint64_t m = 0; m <= ticks; ++m) {
                const std::uint64_t wanted = e.gate + 256 * m;
                if (wanted == 0) continue;
                const std::uint64_t ratio = (8 * wanted + ticks - 1) / ticks;
                if (ratio >= 1 && ticks * ratio / 8 == wanted) return NoteForm{ticks, false, ratio};
            }
        }
        return std::nullopt;
    }

    /// No MML gives this gate: the nearest one that a ratio up to 8 or a tie does.
    NoteForm nearest_form(std::size_t i) {
        const TrackEvent& e = events_[i];
        NoteForm form{e.length, true, pen_.ratio};
        int best_gate = e.length;
        for (std::uint64_t r : {pen_.ratio, std::uint64_t{8}, std::uint64_t{7}, std::uint64_t{6},
                                std::uint64_t{5}, std::uint64_t{4}, std::uint64_t{3},
                                std::uint64_t{2}, std::uint64_t{1}, std::uint64_t{0}}) {
            const int gate = untied_gate(e.length, r);
            if (std::abs(gate - e.gate) < std::abs(best_gate - e.gate)) {
                best_gate = gate;
                form = {e.length, false, r};
            }
        }
        change(i, "gate " + std::to_string(e.gate) + " becomes " + std::to_string(best_gate) +
                      ": no gate ratio or tie gives a gate of " + std::to_string(e.gate) +
                      " to a note of " + std::to_string(e.length) + " ticks");
        return form;
    }

    int track_;
    const std::vector<TrackEvent>& events_;
    std::vector<MmlChange>& changes_;
    Pen pen_;
};

/// The groups of one track: where each starts and ends, and whether a sync
/// mark closes it.
struct Group {
    std::size_t first = 0;
    std::size_t end = 0;
    bool closed = false;
    std::string text;
};

std::vector<Group> track_groups(int k, const Track& track, std::vector<MmlChange>& changes) {
    const auto& events = track.events();
    std::size_t body = events.size();
    if (body == 0 || events.back().note != EndMark) {
        changes.push_back({k, events.size(), "the track gets its end mark"});
    } else {
        --body;
        const TrackEvent& end = events.back();
        if (end.length != 0 || end.gate != 0) {
            changes.push_back({k, body, "the end mark's length and gate become 0"});
        }
    }
    // The compiler keeps room for the end mark in a track of 10,000 events.
    if (body >= kTrackCapacity) {
        changes.push_back(
            {k, kTrackCapacity - 1, "the events from here on are left out: a track holds 10,000"});
        body = kTrackCapacity - 1;
    }
    std::vector<Group> groups;
    std::size_t first = 0;
    for (std::size_t i = 0; i < body; ++i) {
        if (events[i].note != SyncMark) continue;
        if (events[i].length != 0 || events[i].gate != 0) {
            changes.push_back({k, i, "the sync mark's length and gate become 0"});
        }
        groups.push_back({first, i, true, {}});
        first = i + 1;
    }
    if (first < body) groups.push_back({first, body, false, {}});
    return groups;
}

std::string block_comment(std::size_t block, const play::SongMap& map) {
    std::string text = "; block " + std::to_string(block + 1);
    if (block < map.block_starts.size()) {
        text += "  " + minutes_hundredths(map.block_starts[block] * 100 / kTicksPerSecond);
    }
    return text;
}

}  // namespace

int compiled_gate(std::uint64_t ticks, std::uint64_t ratio, bool tie) {
    return tie ? static_cast<int>(ticks & 0xFF) : untied_gate(ticks, ratio);
}

WrittenMml write_mml(const Song& song, const std::vector<std::string>& header) {
    WrittenMml out;
    std::array<std::vector<Group>, kTrackCount> groups;
    std::size_t lines = 0;
    for (int k = 0; k < kTrackCount; ++k) {
        const Track& track = song.tracks[k];
        groups[k] = track_groups(k, track, out.changes);
        TrackWriter writer(k, track.events(), out.changes);
        for (Group& g : groups[k]) g.text = writer.group(g.first, g.end, g.closed);
        lines = std::max(lines, groups[k].size());
    }
    // Stable: an event's changes stay in the order they were found, the same
    // with every library.
    std::stable_sort(out.changes.begin(), out.changes.end(),
                     [](const MmlChange& a, const MmlChange& b) {
                         return std::tie(a.track, a.index) < std::tie(b.track, b.index);
                     });

    // Each track's column is as wide as its widest group on a one-line block.
    std::array<std::size_t, kTrackCount> width{};
    std::vector<bool> one_line(lines, true);
    for (std::size_t j = 0; j < lines; ++j) {
        std::size_t total = 0;
        bool open = false;
        for (int k = 0; k < kTrackCount; ++k) {
            if (j >= groups[k].size()) continue;
            total += groups[k][j].text.size() + 2;
            open = open || !groups[k][j].closed;
        }
        // A group left open ends its line: one that opens after it would
        // be inside it.
        one_line[j] = total <= kWideLine && !open;
        if (!one_line[j]) continue;
        for (int k = 0; k < kTrackCount; ++k) {
            if (j < groups[k].size()) width[k] = std::max(width[k], groups[k][j].text.size());
        }
    }

    for (const std::string& line : header) out.text += "; " + printable(line) + "\n";
    const play::SongMap map = play::map_song(song);
    for (std::size_t j = 0; j < lines; ++j) {
        const std::string comment = block_comment(j, map);
        if (!one_line[j]) {
            out.text += comment + "\n";
            for (int k = 0; k < kTrackCount; ++k) {
                if (j < groups[k].size()) out.text += groups[k][j].text + "\n";
            }
            continue;
        }
        std::string line;
        std::size_t column = 0;
        for (int k = 0; k < kTrackCount; ++k) {
            if (j < groups[k].size()) {
                line.append(column - std::min(column, line.size()), ' ');
                line += groups[k][j].text;
                line += "  ";
            }
            if (width[k] > 0) column += width[k] + 2;
        }
        line.append(column - std::min(column, line.size()), ' ');
        out.text += line + comment + "\n";
    }
    return out;
}

}  // namespace zirvon
