#include "outputs/step_entry.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "mml/note_length.h"
#include "outputs/analysis.h"

namespace zirvon {
namespace {

constexpr std::array<const char*, 12> kNoteNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                 "F#", "G",  "G#", "A",  "A#", "B"};

/// A byte that a command runs over after its letter: its number, dots,
/// accidentals and `%`.
bool continues_command(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '%' || c == '+' || c == '#' || c == '-';
}

bool command_letter(char c) {
    const char upper = static_cast<char>(c & ~0x20);
    return (upper >= 'A' && upper <= 'G') || upper == 'R' || upper == 'L' || upper == 'O' || upper == 'Q';
}

/// The event the compile of `source` with `text` at `offset` makes of the
/// command whose letter is `letter` bytes into `text`.
struct Found {
    int track = -1;
    TrackEvent event;
};

std::optional<Found> compile_with(std::string_view source, std::size_t offset, std::string_view text,
                                  std::size_t letter) {
    std::string edited;
    edited.reserve(source.size() + text.size());
    edited.append(source.substr(0, offset)).append(text).append(source.substr(offset));
    const SourceAnalysis a = analyze_source(std::move(edited), "entry");
    const auto [line, column] = a.source.place_of(offset + letter);
    for (int k = 0; k < kTrackCount; ++k) {
        const Track& track = a.song.tracks[k];
        // Events are in the order of the source, so the first one at or past
        // the place decides.
        for (std::size_t i = 0; i < track.count(); ++i) {
            const EventPlace p = track.place(i);
            if (p.line < line || (p.line == line && p.column < column)) continue;
            if (p.line == line && p.column == column) return Found{k, track.events()[i]};
            break;
        }
    }
    return std::nullopt;
}

/// Why nothing can be entered at `offset`, once no note compiles there.
std::string why_no_note(std::string_view source, std::size_t offset) {
    const SourceAnalysis a = analyze_source(std::string(source), "entry");
    const auto [line, column] = a.source.place_of(offset);
    const std::string_view text = a.source.line(static_cast<int>(line) - 1);
    if (text.substr(0, column - 1).find(';') != std::string_view::npos) return "the place is in a comment";
    for (const SourceGroup& g : a.groups) {
        if (g.open.line != line || g.open.column >= column) continue;
        if (g.close.line != 0 && g.close.column < column) continue;
        return "track " + std::to_string(g.track) + " is full";
    }
    return "the place is not inside a block of a track 0-9, `n[ ... ]`";
}

std::string octave_text(std::int64_t in_force, bool known, int octave) {
    std::string absolute(1, 'O');
    absolute += std::to_string(octave + 1);
    if (!known) return absolute;
    const std::int64_t step = octave - in_force;
    const std::size_t marks = static_cast<std::size_t>(step < 0 ? -step : step);
    if (marks > absolute.size()) return absolute;
    return std::string(marks, step > 0 ? '>' : '<');
}

}  // namespace

StepEntry step_entry(std::string_view source, std::size_t offset, std::span<const int> keys,
                     std::optional<EntryLength> length) {
    StepEntry entry;
    if (!keys.empty()) {
        const int lowest = *std::min_element(keys.begin(), keys.end());
        if (lowest < kLowestEntryKey || lowest > kHighestEntryKey) {
            entry.error = "MIDI note " + std::to_string(lowest) + " is outside what MML writes, MIDI " +
                          std::to_string(kLowestEntryKey) + " (C in O1) to " + std::to_string(kHighestEntryKey);
            return entry;
        }
        entry.pitch = lowest - kPitchToMidi;
        if (keys.size() > 1) {
            entry.note = std::to_string(keys.size()) + " keys pressed together: only the lowest, MIDI " +
                         std::to_string(lowest) + ", is entered";
        }
    }
    int chosen_ticks = 0;
    if (length) {
        if (length->number > 0 && length->dots >= 0 && length->dots <= 3) {
            chosen_ticks = length_ticks(MmlNumber::of(static_cast<std::uint64_t>(length->number)),
                                        static_cast<std::uint64_t>(length->dots));
        }
        if (chosen_ticks == 0) {
            entry.error = "length " + std::to_string(length->number) +
                          std::string(static_cast<std::size_t>(std::clamp(length->dots, 0, 4)), '.') +
                          " is not a note length (1, 2, 4, 8, 16 or 32, with up to 3 dots)";
            return entry;
        }
    }

    // A place inside a command moves to its end: its number and dots stay its own.
    offset = std::min(offset, source.size());
    while (offset > 0 && offset < source.size() && continues_command(source[offset]) &&
           (continues_command(source[offset - 1]) || command_letter(source[offset - 1]))) {
        ++offset;
    }
    entry.offset = offset;
    const std::string before = offset > 0 && static_cast<unsigned char>(source[offset - 1]) >= 0x80 ? " " : "";
    const bool blank_after = offset < source.size() && continues_command(source[offset]);

    // What the place holds, as the compiler reads it: a C there gives the
    // octave in force and the default length; where the octave is out of
    // range, a C in O1 gives the rest.
    bool octave_known = true;
    std::optional<Found> probe = compile_with(source, offset, before + "C ", before.size());
    if (!probe) {
        octave_known = false;
        probe = compile_with(source, offset, before + "O1C ", before.size() + 2);
    }
    if (!probe) {
        entry.error = why_no_note(source, offset);
        return entry;
    }
    entry.track = probe->track;
    const int default_ticks = probe->event.length;
    const int ticks = length ? chosen_ticks : default_ticks;

    std::string text = before;
    std::size_t letter = text.size();
    if (entry.pitch < 0) {
        text += 'R';
    } else {
        text += octave_text(probe->event.note / 12, octave_known, entry.pitch / 12);
        letter = text.size();
        text += kNoteNames[static_cast<std::size_t>(entry.pitch % 12)];
    }
    if (length && chosen_ticks != default_ticks) {
        text += std::to_string(length->number);
        text.append(static_cast<std::size_t>(length->dots), '.');
    }
    if (blank_after) text += ' ';

    // The text as it will read: refused unless it gives the note asked for.
    const std::optional<Found> made = compile_with(source, offset, text, letter);
    const bool right = made && made->track == entry.track && made->event.length == ticks &&
                       (entry.pitch < 0 ? is_rest(made->event) : made->event.note == entry.pitch);
    if (!right) {
        entry.error = "`" + text + "` would not read as the note pressed here";
        return entry;
    }
    entry.text = std::move(text);
    return entry;
}

}  // namespace zirvon
