// One look at an MML source: everything a front end needs to show it, play
// it or write it. The command line, /watch, the language server and the
// browser all go through analyze_source(); nothing else compiles a source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/diagnostic.h"
#include "mml/source_text.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// A block of the song as it plays, with the groups of the source that
/// play in it.
struct SourceBlock {
    std::size_t number = 0;  ///< from 1
    std::uint64_t start_tick = 0;
    std::uint64_t end_tick = 0;  ///< the next block's start, or the song's end
    /// Indexes into SourceAnalysis::groups, in the order of the source.
    std::vector<std::size_t> groups;
    /// The first and last line of those groups; 0 when it has none.
    std::uint32_t first_line = 0;
    std::uint32_t last_line = 0;
};

class SourceAnalysis {
public:
    /// The name the messages give the source: the file as it was read.
    std::string name;
    SourceText source{std::string()};
    /// The compiled song; each event of it knows its place in the source
    /// unless the compile skipped them.
    Song song;
    /// The problems in the order found. Past Compiler::kMaxShown of a kind
    /// they are only counted, and a note at the end says how many.
    std::vector<Diagnostic> diagnostics;
    /// How many problems there are, all of them.
    DiagnosticCounts counts;
    /// Every group `n[ ... ]` of the source, in its order.
    std::vector<SourceGroup> groups;

    /// True when the source has no errors: the song may be written and played.
    bool ok() const { return counts.errors == 0; }

    /// Where the blocks start and on which tick each event of tracks 1 to 8
    /// is read: one silent run of the player, made when it is first asked
    /// for (a plain compile never needs it).
    const play::SongMap& map() const;
    /// The blocks of the song, from map(), each with its groups.
    std::vector<SourceBlock> blocks() const;
    /// The block (from 1) in which the group at `group` plays; 0 for a group
    /// of track 0 or 9, or one with no events.
    std::size_t block_of_group(std::size_t group) const;

private:
    mutable std::optional<play::SongMap> map_;
};

/// Whether a compile records the place in the source of every event. The
/// piano roll, passages bounded by source lines, the language server and the
/// page read them; a plain compile does not, and skips their cost.
enum class EventPlaces { recorded, skipped };

/// Compiles `bytes`, the source called `name` in messages. The diagnostics
/// and groups know their places whatever `places` says.
SourceAnalysis analyze_source(std::string bytes, std::string name, EventPlaces places = EventPlaces::recorded);

}  // namespace zirvon
