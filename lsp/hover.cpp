#include <algorithm>

#include "lsp/features.h"
#include "outputs/listing.h"
#include "text/format.h"

namespace zirvon::lsp {
namespace {

bool played(int track) { return track >= kFirstPlayedTrack && track <= kLastPlayedTrack; }

std::string at_tick(std::uint64_t tick) { return tick_time(tick) + " (tick " + std::to_string(tick) + ")"; }

/// Where an event of a played track falls in time, errors or not: the map
/// is of what compiled.
std::string timing(const Snapshot& s, const PlacedEvent& e, const char* verb) {
    if (!played(e.track)) return "track " + std::to_string(e.track) + " is kept in the image but never played";
    const std::vector<std::uint64_t>& ticks = s.analysis.map().read_ticks[e.track];
    if (e.index >= ticks.size()) return "never reached";
    return "block " + std::to_string(s.analysis.map().block_of(ticks[e.index])) + " · " + verb + " at " +
           at_tick(ticks[e.index]);
}

std::string event_text(const Snapshot& s, const PlacedEvent& e) {
    const TrackEvent& event = s.analysis.song.tracks[e.track].events()[e.index];
    const std::string where = "track " + std::to_string(e.track) + ", event " + std::to_string(e.index);
    if (event.note == SyncMark) {
        std::string text = "**`]`** · " + where + "  \ntrack " + std::to_string(e.track) +
                           " waits here for the others";
        if (played(e.track)) {
            const play::SongMap& map = s.analysis.map();
            const std::uint64_t read = map.read_ticks[e.track][e.index];
            const std::size_t block = map.block_of(read);
            text += "; block " + std::to_string(block) + " ends on " + at_tick(map.block_end(block));
        } else {
            text += "  \n" + timing(s, e, "");
        }
        return text;
    }
    const std::string lasts = "length " + counted(event.length, "tick") + ", lasts " +
                              counted(event.length + 1u, "tick");
    if (event.gate == 0) return "**rest** · " + where + "  \n" + lasts + "  \n" + timing(s, e, "starts");
    const int midi = event.note + kPitchToMidi;
    const std::string pitch = midi <= kHighestMidiNote ? "MIDI " + std::to_string(midi)
                                                       : "above MIDI 127: left out of the preview";
    return "**" + note_name(event.note) + "** · " + pitch + " · " + where + "  \n" + lasts + " · gate " +
           counted(event.gate, "tick") + "  \n" + timing(s, e, "first heard");
}

std::string group_text(const Snapshot& s, std::size_t g) {
    const SourceGroup& group = s.analysis.groups[g];
    std::string text = "**track " + std::to_string(group.track) + "**";
    if (!played(group.track)) return text + "  \nkept in the image but never played";
    const std::size_t block = s.analysis.block_of_group(g);
    if (block == 0) return text + "  \nplays nothing";
    return text + " · block " + std::to_string(block) + "  \nthe block starts at " +
           at_tick(s.analysis.map().block_starts[block - 1]);
}

json hover(const Snapshot& s, const EventPlace& place, std::string text) {
    return {{"contents", {{"kind", "markdown"}, {"value", std::move(text)}}},
            {"range", range_json(s.position({place.line, place.column}), s.position({place.line, place.end_column}))}};
}

}  // namespace

std::string tick_time(std::uint64_t tick) {
    return minutes_hundredths(tick * (100 / kTicksPerSecond));
}

json hover_result(const Snapshot& s, Position position) {
    const Place at = s.place(position);
    if (const PlacedEvent* e = s.event_at(at)) {
        const std::string raw = raw_length_text(s, *e, at);
        return hover(s, e->place, event_text(s, *e) + (raw.empty() ? "" : "  \n" + raw));
    }
    EventPlace setting;
    if (std::string text = setting_hover_text(s, at, setting); !text.empty()) return hover(s, setting, std::move(text));
    // A group's `[`, or the track number written before it.
    const auto& groups = s.analysis.groups;
    const std::string_view line =
        at.line >= 1 && static_cast<int>(at.line) <= s.analysis.source.count_lines()
            ? s.analysis.source.line(static_cast<int>(at.line) - 1) : std::string_view();
    const auto digits_from = [&](const EventPlace& open) {
        std::uint32_t column = open.column;
        while (column > 1 && column - 2 < line.size() && line[column - 2] >= '0' && line[column - 2] <= '9') --column;
        return column;
    };
    const auto g = std::find_if(groups.begin(), groups.end(), [&](const SourceGroup& group) {
        return group.open.line == at.line && digits_from(group.open) <= at.column && at.column <= group.open.column;
    });
    if (g == groups.end()) return nullptr;
    const EventPlace range{g->open.line, digits_from(g->open), g->open.column + 1};
    return hover(s, range, group_text(s, static_cast<std::size_t>(g - groups.begin())));
}

}  // namespace zirvon::lsp
