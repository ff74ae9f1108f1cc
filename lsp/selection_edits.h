// Changing the music of a selection: transposing its notes by a semitone
// or an octave, doubling or halving its lengths. Each rewrite is compiled
// before it is offered, so what the editor gets does what its title says
// and moves nothing outside the selection. Pure.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "lsp/document.h"
#include "lsp/text_edits.h"

namespace zirvon::lsp {

enum class Rewrite {
    semitone_up,
    semitone_down,
    octave_up,
    octave_down,
    double_length,
    halve_length
};

struct Rewritten {
    std::vector<TextEdit> edits;
    std::string refusal;  ///< why it cannot be done; empty when it can
};

/// The edits that rewrite the notes and rests starting in the bytes
/// [from, to) of the snapshot's text.
Rewritten rewrite_selection(const Snapshot& snapshot, std::size_t from, std::size_t to,
                            Rewrite how);

/// Whether a note or rest of tracks 0 to 9 starts in [from, to).
bool selection_has_notes(const Snapshot& snapshot, std::size_t from, std::size_t to);

}  // namespace zirvon::lsp
