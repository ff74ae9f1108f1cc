#include "mml/song_checks.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "text/format.h"

namespace zirvon {
namespace {

bool holds_notes(const Track& track) {
    return std::any_of(track.events().begin(), track.events().end(), sounds_note);
}

/// "track 1", "tracks 1 and 3", "tracks 1, 3 and 4".
std::string track_list(const std::vector<int>& tracks) {
    std::vector<std::string> numbers;
    for (const int k : tracks) numbers.push_back(std::to_string(k));
    return (tracks.size() == 1 ? "track " : "tracks ") + joined(numbers);
}

std::string blocks(int n) { return counted(static_cast<std::uint64_t>(n), "block"); }

Diagnostic nothing_to_hear(const Song& song, const SongClues& clues) {
    std::string text = "nothing to hear: tracks 1 to 8 hold no notes";
    if (clues.fullwidth_bracket) {
        text += " (full-width brackets open no block: write n[ ... ] with ASCII brackets)";
    } else if (holds_notes(song.tracks[0]) || holds_notes(song.tracks[kTrackCount - 1])) {
        text += " (tracks 0 and 9 are kept in the image but not played)";
    } else {
        text += " (notes go in blocks such as 1[C D E])";
    }
    return {Severity::warning, 0, 0, text, "nothing-to-hear"};
}

/// The `[` of every closed group, track by track: block n of track k is
/// the place at [k][n].
using BlockPlaces = std::array<std::vector<EventPlace>, kTrackCount>;

/// Whether two tracks' blocks stand on a common line; each track's blocks
/// come in the order of the source, so their lines never go down.
bool share_a_line(const std::vector<EventPlace>& a, const std::vector<EventPlace>& b) {
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i].line == b[j].line) return true;
        a[i].line < b[j].line ? ++i : ++j;
    }
    return false;
}

/// Where track `k`'s count of blocks first parts from track `usual`'s, in a
/// song that writes their blocks side by side on the same lines: the first
/// block of `usual` that `k` lacks on its line, or the first block of `k`
/// that `usual` lacks. The text says which; empty when k's blocks share no
/// line with it (a song written a track at a time), as then only k's last
/// block says anything.
std::pair<EventPlace, std::string> parting(const BlockPlaces& blocks, int k, int usual) {
    const std::vector<EventPlace>& mine = blocks[k];
    const std::vector<EventPlace>& theirs = blocks[usual];
    if (!share_a_line(mine, theirs)) return {};
    std::size_t n = 0;
    while (n < mine.size() && n < theirs.size() && mine[n].line == theirs[n].line) ++n;
    const std::string number = std::to_string(n + 1);
    if (n < theirs.size() && (n == mine.size() || theirs[n].line < mine[n].line)) {
        return {theirs[n], "; the counts part on this line, where track " + std::to_string(k) +
                               " has no block " + number};
    }
    return {mine[n], "; the counts part at this block, track " + std::to_string(k) + "'s block " +
                         number + ", which track " + std::to_string(usual) + " does not have on this line"};
}

void check_block_counts(const Song& song, const std::vector<SourceGroup>& groups,
                        std::vector<Diagnostic>& out) {
    // Each closed group wrote its track one sync mark (a song checked here
    // has no errors, so none was refused for a full track): counting the
    // groups spares reading every event.
    std::array<int, kTrackCount> count_of{};
    for (const SourceGroup& g : groups) count_of[g.track] += g.close.line != 0 ? 1 : 0;
    std::map<int, std::vector<int>> tracks_by_count;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (song.tracks[k].count() <= 1) continue;  // only its end mark: it does not play
        tracks_by_count[count_of[k]].push_back(k);
    }
    if (tracks_by_count.size() < 2) return;
    // The count most tracks have is taken as meant; on a tie, the larger.
    auto usual = tracks_by_count.begin();
    for (auto it = tracks_by_count.begin(); it != tracks_by_count.end(); ++it) {
        if (it->second.size() >= usual->second.size()) usual = it;
    }
    const auto& [usual_count, usual_tracks] = *usual;
    BlockPlaces places;
    std::array<EventPlace, kTrackCount> last_open{};
    for (const SourceGroup& g : groups) {
        if (g.close.line != 0) places[g.track].push_back(g.open);
        last_open[g.track] = g.open;
    }
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (song.tracks[k].count() <= 1 || count_of[k] == usual_count) continue;
        std::pair<EventPlace, std::string> at{last_open[k], ""};
        for (const int r : usual_tracks) {
            if (auto found = parting(places, k, r); found.first.line != 0) {
                at = std::move(found);
                break;
            }
        }
        out.push_back({Severity::warning, static_cast<int>(at.first.line), static_cast<int>(at.first.column),
                       "track " + std::to_string(k) + " has " + blocks(count_of[k]) + ", " +
                           track_list(usual_tracks) + (usual_tracks.size() == 1 ? " has " : " have ") +
                           blocks(usual_count) +
                           ": the voices wait for each other at every ']', so they fall out of step" +
                           at.second,
                       "block-count"});
    }
}

}  // namespace

std::vector<Diagnostic> check_song(const Song& song, const SongClues& clues,
                                   const std::vector<SourceGroup>& groups) {
    std::vector<Diagnostic> out;
    bool any = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) any = any || holds_notes(song.tracks[k]);
    if (!any) out.push_back(nothing_to_hear(song, clues));
    check_block_counts(song, groups, out);
    const std::size_t data_size = 3 * song.event_count();
    if (data_size > kMaxLoadableData && data_size <= 0xFFFF) {
        out.push_back({Severity::warning, 0, 0,
                       "the image holds " + std::to_string(data_size) +
                           " bytes of data; loaded at " + hex(kLoadAddress, 4) + ", only " +
                           std::to_string(kMaxLoadableData) +
                           " fit below the end of the 64 KB address space, so it cannot load on "
                           "the target",
                       "load-address"});
    }
    return out;
}

}  // namespace zirvon
