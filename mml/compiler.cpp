#include "mml/compiler.h"

#include <algorithm>
#include <string>

#include "mml/compiler_internal.h"

namespace zirvon {
namespace {

/// What a byte of MML is, looked up once per byte.
enum CharClass : std::uint8_t {
    kOther,      // unknown inside a block, ignored outside
    kBlank,      // separates commands
    kComment,    // ;
    kDigit,      // 0-9
    kOpen,       // [
    kClose,      // ]
    kRaw,        // %
    kDot,        // .
    kSharp,      // + #
    kFlat,       // -
    kOctaveUp,   // >
    kOctaveDown, // <
    kTie,        // &
    kNote,       // C D E F G A B, either case
    kRest,       // R
    kParameter,  // L O Q
};

constexpr std::array<CharClass, 256> make_classes() {
    std::array<CharClass, 256> t{};
    for (unsigned char c : {' ', '\t', '\r', '\v', '\f', '\n'}) t[c] = kBlank;
    for (char c = '0'; c <= '9'; ++c) t[static_cast<unsigned char>(c)] = kDigit;
    t[';'] = kComment;
    t['['] = kOpen;
    t[']'] = kClose;
    t['%'] = kRaw;
    t['.'] = kDot;
    t['+'] = kSharp;
    t['#'] = kSharp;
    t['-'] = kFlat;
    t['>'] = kOctaveUp;
    t['<'] = kOctaveDown;
    t['&'] = kTie;
    for (char c : {'C', 'D', 'E', 'F', 'G', 'A', 'B'}) {
        t[static_cast<unsigned char>(c)] = kNote;
        t[static_cast<unsigned char>(c + 32)] = kNote;
    }
    for (char c : {'R', 'L', 'O', 'Q'}) {
        t[static_cast<unsigned char>(c)] = c == 'R' ? kRest : kParameter;
        t[static_cast<unsigned char>(c + 32)] = c == 'R' ? kRest : kParameter;
    }
    return t;
}
constexpr std::array<CharClass, 256> kClasses = make_classes();

/// Semitone of a note letter, upper case, from 'A'.
constexpr std::array<int, 7> kSemitones{9, 11, 0, 2, 4, 5, 7};

/// The place an event records of the span that made it.
EventPlace place_of(Compiler::Span span) {
    return {static_cast<std::uint32_t>(span.line), static_cast<std::uint32_t>(span.column),
            static_cast<std::uint32_t>(span.end_column)};
}

/// Octaves stay within these bounds; from there no file of sane size can
/// bring a note back into range, so the bound changes no result.
constexpr std::int64_t kOctaveLimit = std::int64_t{1} << 40;

}  // namespace

void Compiler::compile_line(std::string_view text, int line_number) {
    LineState s(text, line_number);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const auto column = [](std::size_t i) {
        return static_cast<int>(std::min<std::size_t>(i + 1, INT32_MAX));
    };
    // Digits, `[` and `;` count everywhere; everything else only inside a
    // block, since text outside blocks is a comment. Any character that is
    // not part of a command (its accidentals, number, dots, `%`) ends the
    // command before it.
    // `s.at` is set only before what may end a command or report at it:
    // digits, dots and `%` are most of the bytes of a dense song.
    bool commented = false;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = bytes[i];
        switch (kClasses[c]) {
            case kComment:
                s.at = column(i);
                commented = true;
                i = n;
                break;
            case kDigit:
                s.number.push_digit(c - '0');
                s.has_digits = true;
                break;
            case kOpen:
                s.at = column(i);
                open_block(s, column(i));
                break;
            case kRaw:
                if (!s.in_block) break;
                s.raw = true;
                s.raw_column = column(i);
                break;
            case kDot:
                if (!s.in_block) break;
                if (s.dots++ == 0) s.dot_column = column(i);
                break;
            case kSharp:
            case kFlat:
                if (!s.in_block) break;
                if (s.pending == LineState::Pending::note && s.rest) {
                    report(Severity::warning, "rest-accidental", {s.line, column(i)},
                           "accidental after a rest is ignored");
                } else if (s.pending == LineState::Pending::parameter) [[unlikely]] {
                    s.at = column(i);
                    warn_parameter_sign(s, static_cast<char>(c));
                } else {
                    s.semitone += c == '-' ? -1 : 1;
                }
                break;
            case kBlank:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                break;
            case kNote:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                if (s.unknown) end_unknown_command(s, static_cast<char>(c & ~0x20));
                s.pending = LineState::Pending::note;
                s.rest = false;
                s.semitone = kSemitones[(c & ~0x20) - 'A'];
                s.command_column = column(i);
                break;
            case kClose:
                s.at = column(i);
                close_block(s, column(i));
                break;
            case kRest:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                if (s.unknown) end_unknown_command(s, 'R');
                s.pending = LineState::Pending::note;
                s.rest = true;
                s.semitone = 0;
                s.command_column = column(i);
                break;
            case kParameter:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                s.command = static_cast<char>(c & ~0x20);
                if (s.unknown) end_unknown_command(s, s.command);
                s.pending = LineState::Pending::parameter;
                s.command_column = column(i);
                break;
            case kOctaveUp:
            case kOctaveDown:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                if (s.track >= 0) {
                    auto& octave = settings_[s.track].octave;
                    octave = c == '>' ? std::min(octave + 1, kOctaveLimit)
                                      : std::max(octave - 1, -kOctaveLimit);
                    octave_changed(s.track, {s.line, column(i), column(i) + 1}, nullptr);
                }
                break;
            case kTie:
                if (!s.in_block) break;
                s.at = column(i);
                flush(s);
                s.tie = true;
                break;
            case kOther:
                s.at = column(i);
                i += other_byte(s, bytes, i, n);
                break;
            default:
                // The table holds only the classes above; saying so spares
                // a test of every byte's class before the jump.
                __builtin_unreachable();
        }
    }
    // The end of the line, or a `;`, emits the command still pending.
    if (!commented) s.at = column(n);
    if (s.in_block) {
        emit_pending(s);
        if (s.unknown) end_unknown_command(s, 0);
        end_group(s, {});
        report(Severity::warning, "unclosed-block", {s.line, s.block_column},
               "block is not closed on this line: its notes are kept, but no sync mark is written");
    }
    shift_jis_block_ = false;
    if (s.shift_jis_byte) end_shift_jis(s);
}

void Compiler::open_block(LineState& s, int column) {
    if (s.in_block) {
        end_group(s, {});
        if (s.unknown) end_unknown_command(s, 0);
        report(Severity::warning, "nested-block", {s.line, column}, [&s] {
            return "'[' inside the block opened at column " + std::to_string(s.block_column) +
                   ": that block gets no sync mark, so its voice falls out of step; close it with "
                   "']' first";
        });
    }
    // A `[` that is a Shift-JIS character's second byte has its own warning.
    if (!s.has_digits && s.shift_jis_open != column) {
        report(Severity::warning, "no-track-number", {s.line, column},
               "this block has no track number, so it goes to track 0, which is kept in the image but "
               "not played");
    }
    if (s.number.at_most(kTrackCount - 1)) {
        s.track = static_cast<int>(s.number.low);
        s.group = groups_.size();
        groups_.push_back({s.track, place_of({s.line, column, column + 1}), {}, song_.tracks[s.track].count(), 0});
    } else {
        s.track = -1;
        // Digits apart from the `[`, outside blocks, are most likely a
        // comment's: point at the first of them.
        const int first = s.in_block ? column : first_digit_since_block(s, column);
        const bool stray = first != column;
        report(Severity::error, "track-number", {s.line, first, column + 1}, [&s, stray] {
            std::string text = s.number.huge ? "track number is far outside 0-9"
                                             : "track number " + s.number.text() + " is outside 0-9";
            if (stray) {
                text += "; text outside blocks is a comment, but digits there join the next "
                        "block's track number: put them after ';'";
            }
            return text;
        });
    }
    s.clear_number();
    s.in_block = true;
    s.block_column = column;
    shift_jis_block_ = s.shift_jis_open == column;
    s.overlap_warned = false;
}

[[gnu::always_inline]] inline void Compiler::close_block(LineState& s, int column) {
    if (!s.in_block) {
        report(Severity::warning, "stray-close", {s.line, column}, "']' without an open block is ignored");
        return;
    }
    flush(s);
    if (s.unknown) end_unknown_command(s, 0);
    const EventPlace place = place_of({s.line, column, column + 1});
    if (s.track >= 0) append(s.track, kSyncEvent, place);
    end_group(s, place);
    s.clear_number();
    s.in_block = false;
    s.closed_column = column;
    shift_jis_block_ = false;
}

void Compiler::flush(LineState& s) {
    if (s.pending != LineState::Pending::none) emit_pending(s);
}

void Compiler::emit_pending(LineState& s) {
    switch (s.pending) {
        case LineState::Pending::note:
            emit_note(s);
            break;
        case LineState::Pending::parameter:
            emit_parameter(s);
            break;
        case LineState::Pending::none:
            break;
    }
}

void Compiler::emit_note(LineState& s) {
    if (s.track >= 0) [[likely]] {
        const TrackSettings& settings = settings_[s.track];
        const MmlNumber& number = s.number.is_zero() ? settings.default_length : s.number;
        // The number is read field by field, not copied whole: its digits
        // were just stored a field at a time, and one wide read of them
        // waits until those stores are done.
        MmlNumber ticks;
        if (!s.raw) [[likely]] {
            const int ticks_of_number = length_ticks(number, s.dots);
            if (ticks_of_number == 0 && !s.quiet_length) [[unlikely]] warn_note_length(s, number);
            ticks = MmlNumber::of(static_cast<std::uint64_t>(ticks_of_number));
        } else {
            ticks = {number.low, number.huge};
            if (s.number.is_zero() || s.dots > 0) [[unlikely]] warn_raw_length(s, number);
        }
        if (s.passed_from) [[unlikely]] warn_passed_to_note(s, number, ticks);
        const MmlNumber gate = s.tie ? ticks : gate_ticks(ticks, settings.gate_ratio);
        if (!ticks.at_most(255)) warn_cut(s, "length", ticks);
        if (s.rest) {
            append(s.track, {0, ticks.byte(), 0}, place_of(command_span(s)));
        } else {
            if (!gate.at_most(255)) warn_cut(s, "gate", gate);
            if ((gate.low > ticks.low || gate.huge) && !ticks.huge && !ticks.is_zero() &&
                !s.overlap_warned) [[unlikely]] {
                warn_overlap(s, ticks, gate);
            }
            const std::int64_t pitch = settings.octave * 12 + s.semitone;
            if (pitch < 0 || pitch > kHighestPitch) [[unlikely]] {
                note_out_of_range(s.track, command_span(s), pitch);
            } else {
                append(s.track, {static_cast<std::uint8_t>(pitch), ticks.byte(), gate.byte()},
                       place_of(command_span(s)));
                if (pitch + kPitchToMidi > kHighestMidiNote || high_runs_[s.track].notes > 0) [[unlikely]] {
                    note_stored(s.track, command_span(s), static_cast<int>(pitch));
                }
            }
        }
    } else if (s.passed_from) [[unlikely]] {
        warn_passed_number(s, "");  // on a track, said above with what the note became
    }
    s.raw = false;
    s.pending = LineState::Pending::none;
    s.clear_number();
    s.dots = 0;
    s.tie = false;
    s.quiet_length = false;
}

void Compiler::emit_parameter(LineState& s) {
    if (s.track >= 0) {
        TrackSettings& settings = settings_[s.track];
        switch (s.command) {
            case 'L':
                // Field by field, as in emit_note(): a whole copy waits for the digits' stores.
                settings.default_length = {s.number.low, s.number.huge};
                break;
            case 'O':
                settings.octave = s.number.at_most(kOctaveLimit)
                                      ? static_cast<std::int64_t>(s.number.low) - 1
                                      : kOctaveLimit;
                octave_changed(s.track, command_span(s), &s.number);
                break;
            case 'Q':
                settings.gate_ratio = {s.number.low, s.number.huge};
                break;
            default:
                break;
        }
        if (s.passed_from) [[unlikely]] warn_passed_number(s, std::string(1, s.command) + s.number.text());
    } else if (s.passed_from) [[unlikely]] {
        warn_passed_number(s, "");
    }
    s.pending = LineState::Pending::none;
    s.clear_number();
    s.quiet_length = false;
}

[[gnu::always_inline]] inline void Compiler::append(int track, TrackEvent event, EventPlace place) {
    Track& t = song_.tracks[track];
    // The last place of every track is kept for its EndMark.
    if (t.count() + 1 < kTrackCapacity) [[likely]] {
        if (record_places_) {
            t.append_event(event, place);
        } else {
            t.append_event(event);
        }
    } else if (!overflow_reported_[track]) {
        report_full_track(track, static_cast<int>(place.line), static_cast<int>(place.column));
    }
}

void Compiler::end_group(LineState& s, EventPlace close) {
    if (s.group == SIZE_MAX) return;
    SourceGroup& group = groups_[s.group];
    group.close = close;
    group.end_event = song_.tracks[group.track].count();
    s.group = SIZE_MAX;
}

Compiler::Span Compiler::command_span(const LineState& s) {
    return {s.line, s.command_column, std::max(s.at, s.command_column + 1)};
}

void Compiler::finish() {
    for (int k = 0; k < kTrackCount; ++k) {
        end_octave_slip(k);
        end_high_run(k);
    }
    for (Track& track : song_.tracks) track.append_event(kEndEvent);
    const std::size_t data_size = 3 * song_.event_count();
    if (data_size > 0xFFFF) {
        report(Severity::error, "data-size", {},
               "the tape image would hold " + std::to_string(data_size) +
                   " bytes of data; at most 65535 fit in its header");
    }
    // A song with errors is not written; what it would sound like is moot.
    if (errors_ == 0) {
        for (Diagnostic& d : check_song(song_, clues_, groups_)) {
            report(d.severity, d.code, {d.line, d.column, d.end_column}, d.message);
        }
    }
    const int hidden_warnings = std::max(warnings_ - kMaxShown, 0);
    const int hidden_errors = std::max(errors_ - kMaxShown, 0);
    if (hidden_warnings + hidden_errors > 0) {
        const auto count = [](int n, const char* what) {
            return std::to_string(n) + " more " + what + (n == 1 ? "" : "s");
        };
        std::string text = hidden_warnings ? count(hidden_warnings, "warning") : "";
        if (hidden_warnings && hidden_errors) text += " and ";
        if (hidden_errors) text += count(hidden_errors, "error");
        diagnostics_.push_back({Severity::note, 0, 0, text + " not shown", "not-shown"});
    }
}

}  // namespace zirvon
