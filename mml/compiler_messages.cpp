// The compiler's messages about what a line holds: unknown characters and
// commands, Shift-JIS text read as MML, cut lengths and gates, odd uses of
// %, Q and signs, full tracks.
#include <algorithm>
#include <string>
#include <string_view>

#include "mml/compiler_internal.h"
#include "text/utf8.h"

namespace zirvon {
namespace {

std::string describe_byte(unsigned char c) {
    if (c >= 0x21 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

/// What a byte that reads as MML does, for a message.
std::string meaning_of(char c) {
    const std::string quoted = std::string("'") + c + "'";
    if (c == '[') return quoted + ", which opens a block";
    if (c == ']') return quoted + ", which closes the block";
    switch (c & ~0x20) {
        case 'R': return quoted + ", a rest";
        case 'L': return quoted + ", which sets the default length";
        case 'O': return quoted + ", which sets the octave";
        case 'Q': return quoted + ", which sets the gate ratio";
        default: return quoted + ", a note";
    }
}

}  // namespace

bool Compiler::shift_jis(LineState& s, const unsigned char* bytes, std::size_t i, std::size_t n) {
    if (const std::size_t length = decode_utf8({reinterpret_cast<const char*>(bytes), n}, i).length) {
        s.character_end = i + length;
        return false;
    }
    if (i + 1 >= n || !is_shift_jis_pair(bytes[i], bytes[i + 1])) return false;
    s.character_end = i + 2;
    const unsigned char trail = bytes[i + 1];
    // Outside a block only `[` means anything; inside, letters and `]` too
    // (no digit and no sign is a second byte).
    const char c = static_cast<char>(trail);
    const bool letter =
        std::string_view("ABCDEFGRLOQ").find(static_cast<char>(c & ~0x20)) != std::string_view::npos;
    const bool read = c == '[' || (s.in_block && (c == ']' || letter));
    if (!read) return false;
    const int column = static_cast<int>(std::min<std::size_t>(i + 1, INT32_MAX));
    if (c == '[') s.shift_jis_open = column + 1;
    if (s.shift_jis_byte == 0) {
        s.shift_jis_byte = c;
        s.shift_jis_shown = report_open(Severity::warning, "shift-jis", {s.line, column, column + 2}, "");
    } else {
        ++s.shift_jis_more;
    }
    return true;
}

void Compiler::end_shift_jis(LineState& s) {
    std::string text = "a Shift-JIS character's second byte is read as " + meaning_of(s.shift_jis_byte);
    if (s.shift_jis_more == 1) text += ", and so is one more on this line";
    if (s.shift_jis_more > 1) text += ", and so are " + std::to_string(s.shift_jis_more) + " more on this line";
    complete(s.shift_jis_shown, text + "; write comments after ';'");
}

std::size_t Compiler::other_byte(LineState& s, const unsigned char* bytes, std::size_t i,
                                 std::size_t n) {
    const unsigned char c = bytes[i];
    const int column = static_cast<int>(std::min<std::size_t>(i + 1, INT32_MAX));
    // A Shift-JIS character whose second byte reads as MML has its warning;
    // its first byte needs none of its own.
    const bool read_as_mml = c >= 0x80 && i >= s.character_end && shift_jis(s, bytes, i, n);
    if (!s.in_block) {
        // A full-width bracket (U+FF3B, U+FF3D) opens no block.
        if (c == 0xEF && n - i >= 3 && bytes[i + 1] == 0xBC && (bytes[i + 2] | 2) == 0xBF) {
            clues_.fullwidth_bracket = true;
        }
        return 0;
    }
    flush(s);
    if (s.unknown) end_unknown_command(s, 0);
    if (c < 0x80) {
        s.unknown = static_cast<char>(c);
        s.unknown_column = column;
        s.number_at_unknown = s.number;
        return 0;
    }
    const std::size_t length =
        decode_utf8({reinterpret_cast<const char*>(bytes), n}, i).length;
    if (length == 0) {
        if (!read_as_mml) {
            report(Severity::warning, "unknown-command", {s.line, column},
                   [c] { return "unknown command " + describe_byte(c) + " is ignored"; });
        }
        return 0;
    }
    const std::string character(reinterpret_cast<const char*>(bytes + i), length);
    report(Severity::warning, "unknown-character", {s.line, column, column + static_cast<int>(length)},
           [&character] {
        return "unknown character '" + character + "' is ignored (MML is written in ASCII)";
    });
    return length - 1;
}

/// Column of the first digit of the number that a `[` at `column`, outside
/// any block, takes, when other characters stand between it and the `[`;
/// else `column`. Outside blocks only a block's `]` starts a new number.
int Compiler::first_digit_since_block(const LineState& s, int column) {
    const std::string_view before = s.text.substr(0, static_cast<std::size_t>(column - 1));
    const std::size_t first = before.find_first_of("0123456789", static_cast<std::size_t>(s.closed_column));
    if (first == std::string_view::npos) return column;
    const bool together = before.find_first_not_of("0123456789", first) == std::string_view::npos;
    return together ? column : static_cast<int>(first) + 1;
}

void Compiler::end_unknown_command(LineState& s, char next) {
    const bool changed = s.number.low != s.number_at_unknown.low || s.number.huge != s.number_at_unknown.huge;
    const bool passes_on = next != 0 && changed && !s.number.is_zero();
    if (passes_on) {
        // Said once the next command is whole: digits after its letter
        // join the number too.
        s.passed_from = s.unknown;
        s.passed_column = s.unknown_column;
        s.passed_number = s.number;
    } else {
        report(Severity::warning, "unknown-command", {s.line, s.unknown_column}, [&] {
            return "unknown command " + describe_byte(static_cast<unsigned char>(s.unknown)) + " is ignored";
        });
    }
    s.quiet_length = passes_on;
    s.unknown = 0;
}

void Compiler::warn_passed_number(LineState& s, const std::string& becomes) {
    report(Severity::warning, "unknown-command", {s.line, s.passed_column}, [&] {
        std::string text = "unknown command " + describe_byte(static_cast<unsigned char>(s.passed_from)) +
                           " is ignored; its number " + s.passed_number.text() + " goes on to '" +
                           static_cast<char>(s.text[s.command_column - 1] & ~0x20) + "'";
        return becomes.empty() ? text : text + ", which becomes " + becomes;
    });
    s.passed_from = 0;
}

void Compiler::warn_parameter_sign(const LineState& s, char sign) {
    report(Severity::warning, "parameter-sign", {s.line, s.at}, [&] {
        return std::string("'") + sign + "' after '" + s.command + "' is ignored: " + s.command +
               " takes no sign";
    });
}

void Compiler::warn_cut(const LineState& s, const char* what, const MmlNumber& value) {
    report(Severity::warning, "cut-to-8-bits", command_span(s), [what, &value] {
        return std::string(what) + " of " + value.text() + " ticks is cut to 8 bits: " +
               std::to_string(value.byte());
    });
}

void Compiler::warn_note_length(const LineState& s, const MmlNumber& number) {
    report(Severity::warning, "note-length", command_span(s), [&number] {
        return "length " + number.text() + " is not a note length (1, 2, 4, 8, 16 or 32): it gives 0 ticks";
    });
}

void Compiler::warn_passed_to_note(LineState& s, const MmlNumber& number, const MmlNumber& ticks) {
    std::string becomes = std::string(1, static_cast<char>(s.text[s.command_column - 1] & ~0x20)) +
                          (s.raw ? "%" : "") + number.text() +
                          std::string(static_cast<std::size_t>(std::min<std::uint64_t>(s.dots, 100)), '.');
    becomes += !s.raw && ticks.is_zero() ? ": not a note length (1, 2, 4, 8, 16 or 32), so it lasts 0 ticks"
                                         : " (" + ticks.text() + " ticks)";
    warn_passed_number(s, becomes);
}

void Compiler::warn_raw_length(const LineState& s, const MmlNumber& number) {
    if (s.number.is_zero()) {
        report(Severity::warning, "raw-length", {s.line, s.raw_column}, [&] {
            const auto after = static_cast<std::size_t>(s.raw_column);
            const bool zero = after < s.text.size() && s.text[after] == '0';
            return std::string(zero ? "'%0'" : "'%' without a number") +
                   " makes the default length " + number.text() +
                   " a count of ticks: the note lasts " + number.text() + " ticks";
        });
    }
    if (s.dots > 0) {
        report(Severity::warning, "raw-dots", {s.line, s.dot_column}, [&] {
            return "a dot does nothing with '%': the note lasts " + number.text() + " ticks";
        });
    }
}

void Compiler::warn_overlap(LineState& s, const MmlNumber& ticks, const MmlNumber& gate) {
    s.overlap_warned = true;
    report(Severity::warning, "gate-overlap", command_span(s), [&] {
        std::string text = "Q";
        text += settings_[s.track].gate_ratio.text();
        return text + " makes the note sound longer than it lasts (gate " + gate.text() + ", length " +
               ticks.text() + "), so it overlaps the next one; Q8 sounds notes their full length";
    });
}

void Compiler::report_full_track(int track, int line, int column) {
    overflow_reported_[track] = true;
    report(Severity::error, "track-full", {line, column}, [track] {
        return "track " + std::to_string(track) +
               " is full: a track holds at most 10,000 events, its end mark included";
    });
}

}  // namespace zirvon
