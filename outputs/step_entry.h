// Step entry: the MML text that keys pressed on a MIDI keyboard put at a
// place of a source. Every front end that listens to a keyboard (the
// language server, the page) asks here, so that a key gives the same text
// wherever it is pressed.
//
// What holds at the place (its block's track, the octave, the default
// length) is what the compiler reads there: a probe note is compiled at the
// place and its event read back. The text written is then compiled too, and
// refused unless it gives the note asked for.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zirvon {

/// A note length as MML writes it: 1, 2, 4, 8, 16 or 32, with dots.
struct EntryLength {
    int number = 4;
    int dots = 0;
};

/// The lowest and highest MIDI note a key may enter: C in `O1` (pitch code
/// 0) and the highest MIDI note.
inline constexpr int kLowestEntryKey = 24;
inline constexpr int kHighestEntryKey = 127;

struct StepEntry {
    /// Why nothing is entered; empty when `text` holds the entry.
    std::string error;
    /// Where `text` goes, as a byte offset of the source: the place asked,
    /// or the end of the command the place fell inside (its number, dots,
    /// accidentals), which would otherwise pass to the note entered.
    std::size_t offset = 0;
    /// What to insert. A blank starts it where the byte before the place
    /// could join its first byte in a Shift-JIS character, and ends it where
    /// what follows the place (a number, dots, an accidental) would otherwise
    /// join the note entered.
    std::string text;
    int track = -1;
    /// The pitch code entered, or -1 for a rest.
    int pitch = -1;
    /// Something to tell the composer: several keys pressed together, of
    /// which the lowest alone is entered.
    std::string note;
};

/// The entry of `keys` (MIDI note numbers pressed together; none: a rest)
/// at byte `offset` of `source`, `length` long (nothing: the default length
/// in force there, written as no number).
///
/// The note is named with a sharp (`C#`); its octave is reached from the
/// one in force with `<` `>` or with `O`, whichever is shorter, the marks on
/// a tie (as the MML writer writes them). The octave reached stays in force
/// for what follows in the track, as any octave mark does. Of keys pressed
/// together only the lowest is entered.
StepEntry step_entry(std::string_view source, std::size_t offset, std::span<const int> keys,
                     std::optional<EntryLength> length);

}  // namespace zirvon
