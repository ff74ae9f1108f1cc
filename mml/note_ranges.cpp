// Notes that fall outside what an image stores or what plays. One slip of
// the octave puts every later note of its track out of range, and one `>`
// too many every later note above what MIDI carries; so each is reported
// once, at its cause or its first note, with the count of notes it touches.
// The count is known only when the slip or the run ends, so the message is
// completed then (the problem keeps its place in the order found).
#include <string>

#include "mml/compiler_internal.h"
#include "text/format.h"

namespace zirvon {
void Compiler::octave_slip_changed(int track, Span at, const MmlNumber* written) {
    const std::int64_t octave = settings_[track].octave;
    const bool out = octave < 0 || octave > kTopOctave;
    OctaveSlip& slip = slips_[track];
    // `<` and `>` move a slipped octave on; an `O` starts afresh.
    if (slip.active && (!out || written)) end_octave_slip(track);
    if (!out || slip.active) return;
    std::string name = "octave " + std::to_string(octave + 1);
    if (written && written->huge) name = "this octave";
    slip = {true, at, std::move(name), octave < 0, 0, {}, SIZE_MAX};
}

void Compiler::note_out_of_range(int track, Span at, std::int64_t pitch) {
    OctaveSlip& slip = slips_[track];
    if (!slip.active) {
        report(Severity::error, "note-range", at, [pitch] {
            return "note is out of range: pitch code " + std::to_string(pitch) + " is outside 0-252";
        });
    } else if (slip.notes++ == 0) {
        slip.shown = report_open(Severity::error, "octave-range", slip.at, "");
    }
    slip.last = at;
}

void Compiler::end_octave_slip(int track) {
    OctaveSlip& slip = slips_[track];
    if (slip.notes > 0) {
        std::string text = slip.octave + (slip.below ? " is below the lowest, O1; " : " is above the highest, O22; ");
        text += slip.notes == 1 ? "the note after it on track " + std::to_string(track) + " is out of range"
                                : "the " + with_commas(slip.notes) + " notes after it on track " +
                                      std::to_string(track) + " are out of range";
        complete(slip.shown, std::move(text));
        if (slip.shown < diagnostics_.size()) {
            diagnostics_[slip.shown].reach_line = slip.last.line;
            diagnostics_[slip.shown].reach_column = slip.last.column;
        }
    }
    slip = {};
}

void Compiler::note_stored(int track, Span at, int pitch) {
    HighRun& run = high_runs_[track];
    const int midi = pitch + kPitchToMidi;
    if (midi <= kHighestMidiNote) {
        end_high_run(track);
        return;
    }
    if (track < kFirstPlayedTrack || track > kLastPlayedTrack) return;  // never heard anyway
    if (run.notes++ == 0) {
        run.first_line = at.line;
        run.midi = midi;
        run.shown = report_open(Severity::warning, "above-midi", at, "");
    }
    run.last_line = at.line;
}

void Compiler::end_high_run(int track) {
    HighRun& run = high_runs_[track];
    if (run.notes == 1) {
        complete(run.shown, "this note, MIDI " + std::to_string(run.midi) +
                                ", is above MIDI 127, the highest that plays; it is kept in the image but "
                                "not heard");
    } else if (run.notes > 1) {
        const std::string where =
            run.last_line == run.first_line ? "on this line" : "to line " + std::to_string(run.last_line);
        complete(run.shown, "the " + with_commas(run.notes) + " notes from here " + where +
                                " are above MIDI 127, the highest that plays; they are kept in the image "
                                "but not heard");
    }
    run = {};
}

}  // namespace zirvon
