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
#include <string_view>
#include <vector>

#include "mml/diagnostic.h"
#include "mml/mml_number.h"
#include "mml/song_checks.h"
#include "mml/source_text.h"
#include "song/song.h"

namespace zirvon {

/// Ticks of a note-length number with `dots` dots: 0 for a number that is not
/// in the length table (1, 2, 4, 8, 16, 32 give 96 down to 3). Each dot adds
/// half of what the dot before it added, in whole ticks.
int length_ticks(const MmlNumber& number, std::uint64_t dots);

/// Gate ticks: ticks x ratio / 8, truncated, at least 1.
MmlNumber gate_ticks(const MmlNumber& ticks, const MmlNumber& ratio);

/// Settings of one track that carry from note to note and line to line.
struct TrackSettings {
    std::int64_t octave = 3;  ///< MML `O4` is octave value 3
    MmlNumber default_length = MmlNumber::of(4);
    MmlNumber gate_ratio = MmlNumber::of(7);
};

class Compiler {
public:
    explicit Compiler(Song& song) : song_(song) {}

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
    int error_count() const { return errors_; }
    int warning_count() const { return warnings_; }

    static constexpr int kMaxShown = 1000;

private:
    struct LineState;

    void open_block(LineState& s, int column);
    static int first_digit_since_block(const LineState& s, int column);
    void close_block(LineState& s, int column);
    /// A byte of no MML meaning at bytes[i]; returns how many more bytes
    /// of the same character it took.
    std::size_t other_byte(LineState& s, const unsigned char* bytes, std::size_t i, std::size_t n);
    void end_unknown_command(LineState& s, char next);
    void flush(LineState& s);
    void emit_pending(LineState& s);
    void emit_note(LineState& s);
    void emit_parameter(LineState& s);
    void append(int track, TrackEvent event, int line, int column);
    [[gnu::noinline]] void report_full_track(int track, int line, int column);
    [[gnu::noinline]] void warn_cut(const LineState& s, const char* what, const MmlNumber& value);
    [[gnu::noinline]] void warn_raw_length(const LineState& s, const MmlNumber& number);
    [[gnu::noinline]] void warn_overlap(LineState& s, const MmlNumber& ticks, const MmlNumber& gate);
    /// Counts a diagnostic. `text` is a string or a function that makes one;
    /// the function is called only when the diagnostic will be shown, so that
    /// a source full of faults costs a counter per fault beyond the shown ones.
    template <typename Text>
    void report(Severity severity, int line, int column, const Text& text);

    Song& song_;
    std::array<TrackSettings, kTrackCount> settings_{};
    std::array<bool, kTrackCount> overflow_reported_{};
    SongClues clues_;
    std::vector<Diagnostic> diagnostics_;
    int errors_ = 0;
    int warnings_ = 0;
};

/// How many problems a compile found, the ones past Compiler::kMaxShown too.
struct DiagnosticCounts {
    int errors = 0;
    int warnings = 0;
};

/// Compiles every line of `source` into the empty tracks of `song` and ends
/// the tracks. Returns false when any error was found; `diagnostics` then
/// holds every problem of the source, in order, and `counts` (if given) how
/// many there were.
bool compile(const SourceText& source, Song& song, std::vector<Diagnostic>& diagnostics,
             DiagnosticCounts* counts = nullptr);

}  // namespace zirvon
