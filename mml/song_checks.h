// Checks of a whole compiled song: the mistakes that no single line shows.
#pragma once

#include <array>
#include <vector>

#include "mml/diagnostic.h"
#include "mml/source_group.h"
#include "song/song.h"

namespace zirvon {

/// What the compiler noticed on the way that the checks need.
struct SongClues {
    /// The source holds a full-width bracket outside the blocks.
    bool fullwidth_bracket = false;
};

/// The highest data size that loads on the target: from 0x315A to the end
/// of its 64 KB address space.
inline constexpr std::size_t kMaxLoadableData = 0x10000 - kLoadAddress;

/// Warnings about a compiled song, its end marks included:
/// - nothing to hear: no note in tracks 1 to 8;
/// - tracks 1 to 8 that hold different numbers of blocks, one warning for
///   each track whose count is not the one most tracks have: where its
///   blocks first part from theirs on the lines they share, or else at its
///   last block (`groups`, in the order of the source, tell where);
/// - data that runs past the target's address space when loaded.
std::vector<Diagnostic> check_song(const Song& song, const SongClues& clues,
                                   const std::vector<SourceGroup>& groups);

}  // namespace zirvon
