// The MML compiler: turns source lines into the ten tracks of a Song.
//
// Music is written in blocks `n[ ... ]` for track n. Inside a block a
// command letter is followed by its accidentals, number, dots and `%` in any
// order, and is emitted when the next character of another kind arrives.
// Each note or rest becomes one event, each `]` a SyncMark, and when all
// lines are done every track gets its EndMark. Every line starts afresh; the
// track settings (octave, default length, gate ratio) persist from line to
// line. The compiler prints nothing: it collects diagnostics.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mml/diagnostic.h"
#include "mml/mml_number.h"
#include "mml/note_length.h"
#include "mml/song_checks.h"
#include "mml/source_group.h"
#include "mml/source_text.h"
#include "song/song.h"

namespace zirvon {

/// Settings of one track that carry from note to note and line to line.
struct TrackSettings {
    std::int64_t octave = 3;  ///< MML `O4` is octave value 3
    MmlNumber default_length = MmlNumber::of(4);
    MmlNumber gate_ratio = MmlNumber::of(7);
};

class Compiler {
public:
    /// Where a diagnostic or an event points: a line, a column and the
    /// column just past its token (0: a one-byte token).
    struct Span {
        int line = 0;
        int column = 0;
        int end_column = 0;
    };

    /// Compiles into `song`; with `record_places`, each event keeps its
    /// place in the source (diagnostics have theirs either way).
    explicit Compiler(Song& song, bool record_places = true) : song_(song), record_places_(record_places) {
        if (record_places_) {
            for (Track& t : song_.tracks) t.reserve_places();
        }
    }

    /// Compiles one line, given without its terminator; `line_number` from 1
    /// is used in diagnostics.
    void compile_line(std::string_view line, int line_number);

    /// Appends every track's EndMark, checks that the image fits, and warns
    /// about what only the whole song shows (see check_song).
    void finish();

    /// Problems in the order found. Past kMaxShown of a kind they are only
    /// counted, and finish() adds a note that says how many went unshown.
    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
    std::vector<Diagnostic> take_diagnostics() { return std::move(diagnostics_); }
    /// The groups, in the order of the source.
    std::vector<SourceGroup> take_groups() { return std::move(groups_); }
    /// Makes room for `count` groups, so that recording them never moves them.
    void reserve_groups(std::size_t count) { groups_.reserve(count); }
    int error_count() const { return errors_; }
    int warning_count() const { return warnings_; }

    static constexpr int kMaxShown = 1000;

private:
    struct LineState;

    void open_block(LineState& s, int column);
    static int first_digit_since_block(const LineState& s, int column);
    void close_block(LineState& s, int column);
    /// Ends the group the line has open, at the track's current end.
    void end_group(LineState& s, EventPlace close);
    /// A byte of no MML meaning at bytes[i]; returns how many more bytes
    /// of the same character it took.
    std::size_t other_byte(LineState& s, const unsigned char* bytes, std::size_t i, std::size_t n);
    void end_unknown_command(LineState& s, char next);
    /// Reports the unknown command whose number went on to the command now
    /// emitted; `becomes` says what that command became.
    [[gnu::noinline]] void warn_passed_number(LineState& s, const std::string& becomes);
    /// At a byte of 0x80 or more that starts no character read before:
    /// whether it starts a Shift-JIS character whose second byte reads as MML.
    bool shift_jis(LineState& s, const unsigned char* bytes, std::size_t i, std::size_t n);
    void end_shift_jis(LineState& s);
    void flush(LineState& s);
    void emit_pending(LineState& s);
    void emit_note(LineState& s);
    void emit_parameter(LineState& s);
    void append(int track, TrackEvent event, EventPlace place);
    [[gnu::noinline]] void report_full_track(int track, int line, int column);
    [[gnu::noinline]] void warn_cut(const LineState& s, const char* what, const MmlNumber& value);
    [[gnu::noinline]] void warn_note_length(const LineState& s, const MmlNumber& number);
    /// warn_passed_number() for the note being emitted, of `number` and `ticks`.
    [[gnu::noinline]] void warn_passed_to_note(LineState& s, const MmlNumber& number, const MmlNumber& ticks);
    [[gnu::noinline]] void warn_raw_length(const LineState& s, const MmlNumber& number);
    [[gnu::noinline]] void warn_overlap(LineState& s, const MmlNumber& ticks, const MmlNumber& gate);
    [[gnu::noinline]] void warn_parameter_sign(const LineState& s, char sign);

    // Notes out of range and above MIDI 127 (note_ranges.cpp): each cause is
    // reported once, where it is, with the count of notes it touches.
    /// The octave of `track` was just set by the command at `at`: `O`
    /// (`written` is its number) or `<` `>` (`written` is null).
    void octave_changed(int track, Span at, const MmlNumber* written);
    /// octave_changed() where a slip may start or end.
    [[gnu::noinline]] void octave_slip_changed(int track, Span at, const MmlNumber* written);
    /// A note whose pitch code is outside 0-252: an error of its own, or one
    /// more note of the octave slip that put it there.
    void note_out_of_range(int track, Span at, std::int64_t pitch);
    /// A note stored on `track` at `at`, while a run of notes above MIDI 127
    /// may start or end.
    void note_stored(int track, Span at, int pitch);
    void end_octave_slip(int track);
    void end_high_run(int track);
    /// The command being read on its line: from its letter to the byte read now.
    static Span command_span(const LineState& s);
    /// Counts a diagnostic. `text` is a string or a function that makes one;
    /// the function is called only when the diagnostic will be shown, so that
    /// a source full of faults costs a counter per fault beyond the shown ones.
    template <typename Text>
    void report(Severity severity, std::string_view code, Span at, const Text& text);
    /// Reports a problem whose message is completed later, once what it
    /// counts is known: its index in diagnostics_, SIZE_MAX when not shown.
    template <typename Text>
    std::size_t report_open(Severity severity, std::string_view code, Span at, const Text& text);
    /// Gives the problem at `index` (from report_open) its message.
    void complete(std::size_t index, std::string message) {
        if (index < diagnostics_.size()) diagnostics_[index].message = std::move(message);
    }

    /// A track whose octave left the range where note letters fit: O1 to O22.
    struct OctaveSlip {
        bool active = false;
        Span at;              ///< the command that took it there
        std::string octave;   ///< "octave 0", as the message names it
        bool below = false;
        std::uint64_t notes = 0;  ///< out of range since
        Span last;                ///< the last of those notes
        std::size_t shown = SIZE_MAX;
    };
    /// Notes of a played track above MIDI 127, one after another.
    struct HighRun {
        std::uint64_t notes = 0;
        int first_line = 0;
        int last_line = 0;
        int midi = 0;  ///< of its first note
        std::size_t shown = SIZE_MAX;
    };

    Song& song_;
    bool record_places_;
    std::array<TrackSettings, kTrackCount> settings_{};
    std::array<bool, kTrackCount> overflow_reported_{};
    std::array<OctaveSlip, kTrackCount> slips_{};
    std::array<HighRun, kTrackCount> high_runs_{};
    SongClues clues_;
    std::vector<SourceGroup> groups_;
    std::vector<Diagnostic> diagnostics_;
    int errors_ = 0;
    int warnings_ = 0;
    /// Inside a block that a Shift-JIS character's second byte opened: what
    /// the text there does as MML is said by that character's warning alone.
    bool shift_jis_block_ = false;
};

/// How many problems a compile found, the ones past Compiler::kMaxShown too.
struct DiagnosticCounts {
    int errors = 0;
    int warnings = 0;
};

}  // namespace zirvon
