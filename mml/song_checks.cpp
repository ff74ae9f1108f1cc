#include "mml/song_checks.h"

#include <algorithm>
#include <map>
#include <string>

#include "text/format.h"

namespace zirvon {
namespace {

bool sounds(const TrackEvent& e) { return e.note <= kHighestPitch && e.gate > 0; }

bool holds_notes(const Track& track) {
    return std::any_of(track.events().begin(), track.events().end(), sounds);
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

void check_block_counts(const Song& song, const SongClues& clues, std::vector<Diagnostic>& out) {
    std::array<int, kTrackCount> count_of{};
    std::map<int, std::vector<int>> tracks_by_count;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const auto& events = song.tracks[k].events();
        if (events.size() <= 1) continue;  // only its end mark: it does not play
        count_of[k] = static_cast<int>(std::count(events.begin(), events.end(), kSyncEvent));
        tracks_by_count[count_of[k]].push_back(k);
    }
    if (tracks_by_count.size() < 2) return;
    // The count most tracks have is taken as meant; on a tie, the larger.
    auto usual = tracks_by_count.begin();
    for (auto it = tracks_by_count.begin(); it != tracks_by_count.end(); ++it) {
        if (it->second.size() >= usual->second.size()) usual = it;
    }
    const auto& [usual_count, usual_tracks] = *usual;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (song.tracks[k].count() <= 1 || count_of[k] == usual_count) continue;
        const SourcePlace at = clues.last_block[k];
        out.push_back({Severity::warning, at.line, at.column,
                       "track " + std::to_string(k) + " has " + blocks(count_of[k]) + ", " +
                           track_list(usual_tracks) + (usual_tracks.size() == 1 ? " has " : " have ") +
                           blocks(usual_count) +
                           ": the voices wait for each other at every ']', so they fall out of step",
                       "block-count"});
    }
}

}  // namespace

std::vector<Diagnostic> check_song(const Song& song, const SongClues& clues) {
    std::vector<Diagnostic> out;
    bool any = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) any = any || holds_notes(song.tracks[k]);
    if (!any) out.push_back(nothing_to_hear(song, clues));
    check_block_counts(song, clues, out);
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
