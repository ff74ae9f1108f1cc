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
struct Compiler::LineState {
    enum class Pending { none, note, parameter };

    std::string_view text;  ///< the line
    int line = 0;
    int at = 0;  ///< column of the byte being read; past the line at its end
    int track = -1;  ///< -1: no block yet, or a block whose number is no track
    bool in_block = false;
    int block_column = 0;
    std::size_t group = SIZE_MAX;  ///< index of the open group; SIZE_MAX: none
    int closed_column = 0;  ///< of the last `]` that closed a block; 0: none yet
    bool overlap_warned = false;  ///< in this block
    Pending pending = Pending::none;
    char command = 0;
    int command_column = 0;
    MmlNumber number;
    bool has_digits = false;  ///< a digit went into `number` since it was cleared
    std::int64_t semitone = 0;
    bool rest = false;
    std::uint64_t dots = 0;
    int dot_column = 0;  ///< of the first dot
    bool raw = false;
    int raw_column = 0;
    bool tie = false;
    /// An unknown command letter waiting to be reported, once it is known
    /// whether a number follows it that goes on to the next command.
    char unknown = 0;
    int unknown_column = 0;
    MmlNumber number_at_unknown;  ///< digits after it change the number, which goes on
    bool quiet_length = false;  ///< the note's length was reported with `unknown`
    /// An unknown command whose number went on to the command being read:
    /// reported once that command is whole, saying what it became.
    char passed_from = 0;
    int passed_column = 0;
    MmlNumber passed_number;
    /// Bytes before this index belong to a character that started earlier
    /// (UTF-8, or Shift-JIS read as two bytes).
    std::size_t character_end = 0;
    /// Shift-JIS characters whose second byte reads as MML: where the first
    /// one is reported (an index into the diagnostics, or SIZE_MAX), its
    /// second byte, and how many more the line holds.
    std::size_t shift_jis_shown = SIZE_MAX;
    char shift_jis_byte = 0;
    int shift_jis_more = 0;
    int shift_jis_open = 0;  ///< column of the last such byte that is a `[`

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
