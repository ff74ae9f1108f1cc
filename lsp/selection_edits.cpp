#include "lsp/selection_edits.h"

#include <array>
#include <cctype>
#include <set>
#include <utility>

#include "lsp/mml_tokens.h"
#include "mml/compiler.h"
#include "outputs/listing.h"

namespace zirvon::lsp {
namespace {

struct Selected {
    const PlacedEvent* event;
    std::size_t begin;
    std::size_t end;
};

std::vector<Selected> selected_events(const Snapshot& s, std::size_t from, std::size_t to) {
    std::vector<Selected> list;
    for (const PlacedEvent& e : s.events) {
        if (s.analysis.song.tracks[e.track].events()[e.index].note == SyncMark) continue;
        const std::size_t begin = offset_of(s, e.place.line, e.place.column);
        if (begin >= from && begin < to)
            list.push_back({&e, begin, offset_of(s, e.place.line, e.place.end_column)});
    }
    return list;
}

const TrackEvent& event_of(const Snapshot& s, const PlacedEvent& e) {
    return s.analysis.song.tracks[e.track].events()[e.index];
}

std::string where(const Snapshot& s, const Selected& n) {
    const Position p = s.positions.position_of(n.begin);
    return "line " + std::to_string(p.line + 1) + ", column " + std::to_string(p.character + 1);
}

/// A note's name for a semitone from its octave's C, spelt with sharps on
/// the way up and flats on the way down; past B or below C it keeps its
/// octave with accidentals, so that no octave mark moves.
std::string spelled(const NoteText& note, int semitone, bool up) {
    static constexpr std::array<const char*, 12> kUp{"C",  "C+", "D",  "D+", "E",  "F",
                                                     "F+", "G",  "G+", "A",  "A+", "B"};
    static constexpr std::array<const char*, 12> kDown{"C",  "D-", "D",  "E-", "E",  "F",
                                                       "G-", "G",  "A-", "A",  "B-", "B"};
    std::string name;
    if (semitone > 11) {
        name.assign(1, 'B').append(static_cast<std::size_t>(semitone - 11), '+');
    } else if (semitone < 0) {
        name.assign(1, 'C').append(static_cast<std::size_t>(-semitone), '-');
    } else {
        name = (up ? kUp : kDown)[static_cast<std::size_t>(semitone)];
    }
    for (char& c : name) {
        if (c == '+' && note.sharp_sign) c = '#';
    }
    if (note.lower) name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return name;
}

/// The text of a note without its letter and accidentals.
std::string tail_of(std::string_view text) {
    std::string tail;
    for (char c : text.substr(1)) {
        if (c != '+' && c != '#' && c != '-') tail += c;
    }
    return tail;
}

std::string range_refusal(const Snapshot& s, const std::vector<Selected>& notes, int step) {
    for (const Selected& n : notes) {
        const int pitch = event_of(s, *n.event).note + step;
        if (pitch < 0)
            return "the note at " + where(s, n) + " would go below the lowest note, " +
                   note_name(0);
        if (pitch > kHighestPitch) {
            return "the note at " + where(s, n) + " would go above the highest note, " +
                   note_name(kHighestPitch);
        }
    }
    return {};
}

/// The refusal where a selected note's text is not one the rewrites read.
Rewritten unreadable(const Snapshot& s, const Selected& n) {
    return {{}, "the note at " + where(s, n) + " cannot be rewritten"};
}

Rewritten semitone(const Snapshot& s, const std::vector<Selected>& notes, int step) {
    Rewritten r{{}, range_refusal(s, notes, step)};
    if (!r.refusal.empty()) return r;
    for (const Selected& n : notes) {
        const std::string_view text = s.text().substr(n.begin, n.end - n.begin);
        NoteText note;
        if (!read_note_text(text, note)) return unreadable(s, n);
        r.edits.push_back(
            {n.begin, n.end, spelled(note, note.semitones + step, step > 0) + tail_of(text)});
    }
    return r;
}

/// An octave mark before the first command of each block's part of the
/// selection and the opposite one after the last, so that the track's
/// octave after the selection stays; an `O` inside moves with the notes.
Rewritten octave(const Snapshot& s, const std::vector<Selected>& notes, std::size_t from,
                 std::size_t to, int step) {
    Rewritten r{{}, range_refusal(s, notes, step * 12)};
    if (!r.refusal.empty()) return r;
    const std::string up = step > 0 ? ">" : "<";
    const std::string down = step > 0 ? "<" : ">";
    for (const SourceGroup& group : s.analysis.groups) {
        const std::uint32_t line = group.open.line;
        if (offset_of(s, line + 1, 1) <= from || offset_of(s, line, 1) >= to) continue;
        const std::string_view text = s.analysis.source.line(static_cast<int>(line) - 1);
        std::vector<Token> run;
        bool has_note = false;
        for (const Token& t : line_tokens(text)) {
            const auto column = static_cast<std::uint32_t>(t.column);
            if (column <= group.open.column ||
                (group.close.column != 0 && column >= group.close.column))
                continue;
            if (t.kind == Token::Kind::open || t.kind == Token::Kind::close) continue;
            const std::size_t begin = offset_of(s, line, column);
            if (begin < from || begin >= to) continue;
            run.push_back(t);
            has_note = has_note || t.kind == Token::Kind::note;
        }
        if (!has_note) continue;
        const auto at = [&](int column) {
            return offset_of(s, line, static_cast<std::uint32_t>(column));
        };
        // An `O` first sets the octave itself: moving it is enough.
        if (run.front().letter != 'O')
            r.edits.push_back({at(run.front().column), at(run.front().column), up});
        for (const Token& t : run) {
            if (t.letter != 'O') continue;
            const std::string_view digits =
                text.substr(static_cast<std::size_t>(t.column),
                            static_cast<std::size_t>(t.end_column - t.column - 1));
            const bool plain = digits.size() < 6 &&
                               digits.find_first_not_of("0123456789") == std::string_view::npos;
            const int value = plain && !digits.empty() ? std::stoi(std::string(digits)) : 0;
            if (plain && value + step >= 0) {
                r.edits.push_back(
                    {at(t.column + 1), at(t.end_column), std::to_string(value + step)});
            } else {
                r.edits.push_back({at(t.end_column), at(t.end_column), up});
            }
        }
        r.edits.push_back({at(run.back().end_column), at(run.back().end_column), down});
    }
    return r;
}

/// The written length (a note length with dots, or `%` ticks) of `ticks`.
std::string length_form(const NoteText& note, std::uint64_t ticks) {
    if (note.raw)
        return ticks >= 1 && ticks <= 255 ? std::string(1, '%').append(std::to_string(ticks))
                                          : std::string();
    for (int dots : {note.dots, 0, 1, 2, 3}) {
        for (std::uint64_t number : {1, 2, 4, 8, 16, 32}) {
            if (static_cast<std::uint64_t>(length_ticks(
                    MmlNumber::of(number), static_cast<std::uint64_t>(dots))) == ticks) {
                return std::to_string(number).append(static_cast<std::size_t>(dots), '.');
            }
        }
    }
    return {};
}

Rewritten lengths(const Snapshot& s, const std::vector<Selected>& notes, bool twice) {
    Rewritten r;
    for (const Selected& n : notes) {
        const std::string_view text = s.text().substr(n.begin, n.end - n.begin);
        NoteText note;
        if (!read_note_text(text, note)) return unreadable(s, n);
        std::uint64_t ticks = event_of(s, *n.event).length;
        if (note.raw && !note.digits.empty() && note.digits.size() < 6)
            ticks = std::stoull(std::string(note.digits));
        const std::uint64_t wanted = twice ? ticks * 2 : ticks / 2;
        const std::string form =
            ticks == 0 || (!twice && ticks % 2 != 0) ? "" : length_form(note, wanted);
        if (form.empty()) {
            return {{},
                    std::string(text) + " at " + where(s, n) + " (" + std::to_string(ticks) +
                        " ticks) has no length " + (twice ? "twice" : "half") + " as long"};
        }
        std::string rewritten(1, text[0]);
        for (char c : text.substr(1)) {
            if (c == '+' || c == '#' || c == '-') rewritten += c;
        }
        r.edits.push_back({n.begin, n.end, rewritten + form});
    }
    return r;
}

/// How far a transposition moves a note, in semitones; 0 for the lengths.
int pitch_step(Rewrite how) {
    switch (how) {
        case Rewrite::semitone_up: return 1;
        case Rewrite::semitone_down: return -1;
        case Rewrite::octave_up: return 12;
        case Rewrite::octave_down: return -12;
        default: return 0;
    }
}

/// Whether the edited text compiles to the same events but for the
/// selected ones, changed as `how` says.
bool compiles_as_meant(const Snapshot& s, const std::vector<Selected>& selected, const Rewritten& r,
                       Rewrite how) {
    const SourceAnalysis after =
        analyze_source(apply_edits(std::string(s.text()), r.edits), s.analysis.name);
    if (after.counts.errors != s.analysis.counts.errors) return false;
    std::set<std::pair<int, std::size_t>> chosen;
    for (const Selected& n : selected) chosen.insert({n.event->track, n.event->index});
    for (int k = 0; k < kTrackCount; ++k) {
        const auto& was = s.analysis.song.tracks[k].events();
        const auto& is = after.song.tracks[k].events();
        if (was.size() != is.size()) return false;
        for (std::size_t i = 0; i < was.size(); ++i) {
            TrackEvent want = was[i];
            const bool rest = want.gate == 0;
            if (chosen.count({k, i})) {
                if (how == Rewrite::double_length) {
                    want.length = static_cast<std::uint8_t>(want.length * 2);
                } else if (how == Rewrite::halve_length) {
                    want.length = static_cast<std::uint8_t>(want.length / 2);
                } else if (!rest) {
                    want.note = static_cast<std::uint8_t>(want.note + pitch_step(how));
                }
                // A new length brings its own gate.
                if (how == Rewrite::double_length || how == Rewrite::halve_length)
                    want.gate = is[i].gate;
            }
            if (want.note != is[i].note || want.length != is[i].length || want.gate != is[i].gate)
                return false;
        }
    }
    return true;
}

}  // namespace

bool selection_has_notes(const Snapshot& s, std::size_t from, std::size_t to) {
    return !selected_events(s, from, to).empty();
}

Rewritten rewrite_selection(const Snapshot& s, std::size_t from, std::size_t to, Rewrite how) {
    std::vector<Selected> selected = selected_events(s, from, to);
    std::vector<Selected> notes;
    for (const Selected& n : selected) {
        if (event_of(s, *n.event).gate != 0) notes.push_back(n);
    }
    const bool pitch = how != Rewrite::double_length && how != Rewrite::halve_length;
    if ((pitch ? notes : selected).empty())
        return {{}, pitch ? "the selection holds no note" : "the selection holds no note or rest"};
    Rewritten r;
    switch (how) {
        case Rewrite::semitone_up:
            r = semitone(s, notes, 1);
            break;
        case Rewrite::semitone_down:
            r = semitone(s, notes, -1);
            break;
        case Rewrite::octave_up:
            r = octave(s, notes, from, to, 1);
            break;
        case Rewrite::octave_down:
            r = octave(s, notes, from, to, -1);
            break;
        case Rewrite::double_length:
            r = lengths(s, selected, true);
            break;
        case Rewrite::halve_length:
            r = lengths(s, selected, false);
            break;
    }
    if (r.refusal.empty() && !compiles_as_meant(s, pitch ? notes : selected, r, how)) {
        return {{}, "the selection cannot be rewritten so that nothing else changes"};
    }
    return r;
}

}  // namespace zirvon::lsp
