// The parts of the compiler that its two source files share: the state of
// the line being compiled, and how a problem is counted and kept. Private to
// mml/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "mml/compiler.h"

namespace zirvon {

/// State of the line being compiled; every line starts with a fresh one.
/// (Its members go from the widest to the narrowest, with no padding
/// between them: it is cleared for every line.)
struct Compiler::LineState {
    enum class Pending : std::uint8_t { none, note, parameter };

    // A constructor of its own, so that the members are set one by one: the
    // implicit one clears the whole state with a string instruction that
    // costs more than the stores, once a line.
    LineState(std::string_view line_text, int line_number) : text(line_text), line(line_number) {}

    std::string_view text;  ///< the line
    std::size_t group = SIZE_MAX;  ///< index of the open group; SIZE_MAX: none
    MmlNumber number;
    std::int64_t semitone = 0;
    std::uint64_t dots = 0;
    MmlNumber number_at_unknown;  ///< digits after `unknown` change the number, which goes on
    /// An unknown command whose number went on to the command being read:
    /// reported once that command is whole, saying what it became.
    MmlNumber passed_number;
    /// Bytes before this index belong to a character that started earlier
    /// (UTF-8, or Shift-JIS read as two bytes).
    std::size_t character_end = 0;
    /// Shift-JIS characters whose second byte reads as MML: where the first
    /// one is reported (an index into the diagnostics, or SIZE_MAX), its
    /// second byte, and how many more the line holds.
    std::size_t shift_jis_shown = SIZE_MAX;
    int line = 0;
    int at = 0;  ///< column of the byte being read; past the line at its end
    int track = -1;  ///< -1: no block yet, or a block whose number is no track
    int block_column = 0;
    int closed_column = 0;  ///< of the last `]` that closed a block; 0: none yet
    int command_column = 0;
    int dot_column = 0;  ///< of the first dot
    int raw_column = 0;
    int unknown_column = 0;
    int passed_column = 0;
    int shift_jis_more = 0;
    int shift_jis_open = 0;  ///< column of the last such byte that is a `[`
    bool in_block = false;
    bool overlap_warned = false;  ///< in this block
    Pending pending = Pending::none;
    char command = 0;
    bool has_digits = false;  ///< a digit went into `number` since it was cleared
    bool rest = false;
    bool raw = false;
    bool tie = false;
    /// An unknown command letter waiting to be reported, once it is known
    /// whether a number follows it that goes on to the next command.
    char unknown = 0;
    bool quiet_length = false;  ///< the note's length was reported with `unknown`
    char passed_from = 0;
    char shift_jis_byte = 0;

    void clear_number() {
        number = {};
        has_digits = false;
    }
};

/// The highest octave value in which a note letter fits: O22, whose C is
/// pitch code 252.
inline constexpr std::int64_t kTopOctave = kHighestPitch / 12;

inline void Compiler::octave_changed(int track, Span at, const MmlNumber* written) {
    // Nearly every change stays in range with no slip open: a test, no call.
    const std::int64_t octave = settings_[track].octave;
    if (slips_[track].active || octave < 0 || octave > kTopOctave) [[unlikely]] {
        octave_slip_changed(track, at, written);
    }
}

template <typename Text>
std::size_t Compiler::report_open(Severity severity, std::string_view code, Span at, const Text& text) {
    const std::size_t before = diagnostics_.size();
    report(severity, code, at, text);
    return diagnostics_.size() > before ? before : SIZE_MAX;
}

template <typename Text>
void Compiler::report(Severity severity, std::string_view code, Span at, const Text& text) {
    if (severity == Severity::warning && shift_jis_block_) return;
    int& count = severity == Severity::error ? errors_ : warnings_;
    if (++count > kMaxShown) return;
    if constexpr (std::is_invocable_v<const Text&>) {
        diagnostics_.push_back({severity, at.line, at.column, std::string(text()), code, at.end_column});
    } else {
        diagnostics_.push_back({severity, at.line, at.column, std::string(text), code, at.end_column});
    }
}

}  // namespace zirvon
