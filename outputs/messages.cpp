#include "outputs/messages.h"

#include <vector>

#include "text/format.h"

namespace zirvon {

std::string passage_silence_warning(const Song& song, const play::SongMap& map, const play::Passage& passage,
                                    bool tracks_chosen) {
    if (play::passage_sounds(song, map, passage)) return {};
    if (!tracks_chosen) return "the passage holds no notes; nothing to hear";
    std::vector<std::string> tracks;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if ((passage.audible >> k) & 1u) tracks.push_back(std::to_string(k));
    }
    if (tracks.empty()) return "every track is muted; nothing to hear";
    return (tracks.size() == 1 ? "track " + tracks[0] + " holds" : "tracks " + joined(tracks) + " hold") +
           " no notes in this passage; nothing to hear";
}

std::string passage_left_out_warning(const Song& song, const play::SongMap& map, const play::Passage& passage) {
    const int count = play::left_out_notes(song, map, passage);
    if (count == 0) return {};
    return std::to_string(count) +
           (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are") +
           " left out";
}

}  // namespace zirvon
