// Whether a passage of a source with errors may still play: a composer fixes
// one bar while listening to another, so only an error in a block that the
// passage plays keeps it silent. Every front end asks here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "outputs/analysis.h"
#include "play/passage.h"

namespace zirvon {

/// Why `passage` may not play: the first error in a block it plays, named
/// by its block and place ("block 3 holds the error at line 5, column 2"),
/// or one that no block can be given. Empty when the source has no errors
/// or none of them lies in the passage's blocks.
///
/// An error lies in the block of the group around it, and on to the block
/// of the last command it touches (a slipped octave) or the song's end (a
/// full track); one in a group of track 0 or 9, or one of the whole file
/// (line 0), in no block, as those are never heard. An error between
/// groups lies in the blocks of the groups on its line, and in every block
/// when its line has none.
std::string error_in_passage(const SourceAnalysis& analysis, const play::Passage& passage);

/// What a run that plays `passage` of a source with errors comes to.
struct PassageVerdict {
    /// False when an error lies in what would play.
    bool plays = false;
    /// When it does not play, which error keeps it silent (error_in_passage).
    std::string refusal;
    /// The line that counts the problems (problem_summary): with errors it
    /// says that none of them is in what plays, or what is not done
    /// (`not_done`, such as "nothing played") and which error keeps it
    /// silent, and with either the files in `unwritten`.
    std::string summary;
};

/// The verdict on playing `passage`, which the command line prints and the
/// page shows in the same words.
PassageVerdict play_around_errors(const SourceAnalysis& analysis, const play::Passage& passage,
                                  std::string_view not_done, const std::vector<std::string>& unwritten);

}  // namespace zirvon
