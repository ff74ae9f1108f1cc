// Hover on what a note does not show by itself: the settings `O`, `L` and
// `Q` that hold for the notes after them, and a length written in ticks.
#include <algorithm>
#include <optional>
#include <string>

#include "lsp/features.h"
#include "lsp/mml_tokens.h"
#include "mml/compiler.h"
#include "outputs/listing.h"
#include "text/format.h"

namespace zirvon::lsp {
namespace {

/// The number written after a setting's letter; nothing when there is none
/// or it is too long to be meant.
std::optional<std::uint64_t> number_of(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::stoull(std::string(digits));
}

std::string what_it_sets(char letter, std::optional<std::uint64_t> n, int track) {
    const std::string of = "track " + std::to_string(track) + "'s ";
    const std::uint64_t value = n.value_or(0);
    if (letter == 'O') {
        const std::uint64_t pitch = value == 0 ? 0 : (value - 1) * 12;
        if (value == 0 || pitch > kHighestPitch) {
            return of +
                   "octave, outside O1 to O22: its notes are out of range until another `O`, `<` "
                   "or `>`";
        }
        return of + "octave: `C` is " + note_name(static_cast<std::uint8_t>(pitch)) + ", MIDI " +
               std::to_string(pitch + kPitchToMidi);
    }
    if (letter == 'L') {
        const int ticks = length_ticks(MmlNumber::of(value), 0);
        if (ticks == 0) {
            return of +
                   "default length, which is no note length (1, 2, 4, 8, 16 or 32): a note without "
                   "one lasts 0 ticks";
        }
        return of + "default length: a note without one lasts " +
               counted(static_cast<std::uint64_t>(ticks), "tick");
    }
    const MmlNumber gate = gate_ticks(MmlNumber::of(24), MmlNumber::of(value));
    return of + "gate, " + std::to_string(value) +
           "/8 of each length: a quarter note (24 ticks) sounds for " +
           counted(gate.huge ? 255 : gate.low, "tick");
}

/// From which moment a setting holds: the first event of its track after it.
std::string holds_from(const Snapshot& s, int track, Place after, char letter) {
    const std::string until =
        letter == 'O' ? "the next `O`, `<` or `>`" : std::string("the next `") + letter + "`";
    if (track < kFirstPlayedTrack || track > kLastPlayedTrack) {
        return "track " + std::to_string(track) + " is kept in the image but never played";
    }
    for (const PlacedEvent& e : s.events) {
        if (e.track != track || e.place.line < after.line ||
            (e.place.line == after.line && e.place.column < after.column)) {
            continue;
        }
        const std::vector<std::uint64_t>& ticks = s.analysis.map().read_ticks[track];
        if (e.index >= ticks.size()) break;
        const std::uint64_t tick = ticks[e.index];
        return "holds from block " + std::to_string(s.analysis.map().block_of(tick)) + " · " +
               tick_time(tick) + " (tick " + std::to_string(tick) + ") until " + until;
    }
    return "no note of track " + std::to_string(track) + " follows it";
}

}  // namespace

std::string setting_hover_text(const Snapshot& s, Place at, EventPlace& range) {
    if (at.line == 0 || static_cast<int>(at.line) > s.analysis.source.count_lines()) return {};
    const std::string_view line = s.analysis.source.line(static_cast<int>(at.line) - 1);
    for (const Token& t : line_tokens(line)) {
        const auto column = static_cast<int>(at.column);
        if (t.kind != Token::Kind::setting || column < t.column || column >= t.end_column) continue;
        const std::string_view text =
            line.substr(static_cast<std::size_t>(t.column - 1),
                        static_cast<std::size_t>(t.end_column - t.column));
        range = {at.line, static_cast<std::uint32_t>(t.column),
                 static_cast<std::uint32_t>(t.end_column)};
        std::string hover = "**`" + std::string(text) + "`**";
        if (t.track < 0) return hover + "  \nin a block of no track: it sets nothing";
        const std::optional<std::uint64_t> n = number_of(text.substr(1));
        return hover + " · " + what_it_sets(t.letter, n, t.track) + "  \n" +
               holds_from(s, t.track, {at.line, static_cast<std::uint32_t>(t.end_column)},
                          t.letter);
    }
    return {};
}

std::string raw_length_text(const Snapshot& s, const PlacedEvent& e, Place at) {
    const std::string_view line = s.analysis.source.line(static_cast<int>(e.place.line) - 1);
    const std::size_t from = e.place.column - 1;
    const std::size_t to = std::min<std::size_t>(e.place.end_column - 1, line.size());
    if (from >= to) return {};
    const std::string_view token = line.substr(from, to - from);
    NoteText note;
    if (!read_note_text(token, note) || !note.raw) return {};
    const std::size_t i = at.column - 1 - from;
    const std::size_t digits =
        note.digits.empty() ? 0 : static_cast<std::size_t>(note.digits.data() - token.data());
    const bool on_digits = !note.digits.empty() && i >= digits && i < digits + note.digits.size();
    if (i >= token.size() || (token[i] != '%' && !on_digits)) return {};
    if (note.digits.empty())
        return "`%` · a length in ticks: with no number it takes the default length as ticks";
    const std::string ticks =
        note.digits.size() > 9 ? "far more than 255" : std::string(note.digits);
    return "`%" + std::string(note.digits) + "` · a length in ticks, not a note length: " + ticks +
           " ticks, whatever `L` says";
}

}  // namespace zirvon::lsp
