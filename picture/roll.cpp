#include "picture/roll.h"

#include <algorithm>
#include <array>

namespace zirvon::picture {
namespace {

/// Index of the event of track k read on song tick `tick`, or -1. A track
/// reads at most one event a tick, so the ticks are strictly increasing.
long read_on(const play::SongMap& map, int k, std::uint64_t tick) {
    const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
    const auto at = std::lower_bound(ticks.begin(), ticks.end(), tick);
    return at != ticks.end() && *at == tick ? static_cast<long>(at - ticks.begin()) : -1;
}

/// Source place of the last note with a gate that track k read before song
/// tick `tick`: the note still sounding there.
EventPlace place_of_held_note(const Song& song, const play::SongMap& map, int k,
                                std::uint64_t tick) {
    const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
    const std::vector<TrackEvent>& events = song.tracks[k].events();
    auto i = static_cast<std::size_t>(std::lower_bound(ticks.begin(), ticks.end(), tick) -
                                      ticks.begin());
    while (i-- > 0) {
        if (sounds_note(events[i])) return song.tracks[k].place(i);
    }
    return {};
}

/// Gives each note the source place of the event that started it. A note-on
/// on passage tick 0 comes from the event read then only when it is the
/// last note-on of its track on that tick; any before it is a note held
/// across the passage's start.
void find_lines(const Song& song, const play::SongMap& map, const play::Passage& passage,
                std::vector<RollNote>& notes) {
    std::array<int, kTrackCount> ons_at_start{};
    for (const RollNote& n : notes) {
        if (n.on == 0) ++ons_at_start[n.track];
    }
    std::array<int, kTrackCount> seen_at_start{};
    for (RollNote& n : notes) {
        const bool last_at_start = n.on == 0 && ++seen_at_start[n.track] == ons_at_start[n.track];
        const long i = read_on(map, n.track, passage.start + n.on);
        const std::vector<TrackEvent>& events = song.tracks[n.track].events();
        const bool read_then =
            i >= 0 && sounds_note(events[static_cast<std::size_t>(i)]) &&
            events[static_cast<std::size_t>(i)].note + kPitchToMidi == n.midi;
        if (read_then && (n.on > 0 || last_at_start)) {
            n.place = song.tracks[n.track].place(static_cast<std::size_t>(i));
        } else {
            n.place = place_of_held_note(song, map, n.track, passage.start);
        }
    }
}

/// The notes above MIDI 127 read inside the passage on its audible tracks,
/// each until its gate runs out, the track's next event ends it, or the
/// passage ends.
std::vector<RollNote> find_left_out(const Song& song, const play::SongMap& map,
                                    const play::Passage& passage) {
    std::vector<RollNote> found;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (((passage.audible >> k) & 1u) == 0) continue;
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        const std::vector<TrackEvent>& events = song.tracks[k].events();
        auto i = static_cast<std::size_t>(
            std::lower_bound(ticks.begin(), ticks.end(), passage.start) - ticks.begin());
        for (; i < ticks.size() && ticks[i] < passage.end; ++i) {
            const TrackEvent& e = events[i];
            if (!sounds_note(e) || !above_midi(e)) continue;
            std::uint64_t off = std::min(ticks[i] + e.gate, passage.end);
            if (i + 1 < ticks.size()) off = std::min(off, ticks[i + 1]);
            found.push_back({k, ticks[i] - passage.start, off - passage.start,
                             e.note + kPitchToMidi, map.block_of(ticks[i]),
                             song.tracks[k].place(i)});
        }
    }
    return found;
}

/// The lines each block of the song is written on; empty when no event
/// has a line.
std::vector<SourceLines> find_block_sources(const Song& song, const play::SongMap& map) {
    std::vector<SourceLines> sources(map.block_count());
    bool any = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const std::uint32_t line = song.tracks[k].line(i);
            const std::size_t block = map.block_of(ticks[i]);
            if (line == 0 || block == 0) continue;
            SourceLines& lines = sources[block - 1];
            lines.first = lines.first == 0 ? line : std::min(lines.first, line);
            lines.last = std::max(lines.last, line);
            any = true;
        }
    }
    if (!any) sources.clear();
    return sources;
}

}  // namespace

Roll collect_roll(const Song& song, const play::SongMap& map, const play::Passage& passage) {
    Roll roll;
    std::size_t most = 0;  // every note-on comes from an event, or is held at the start
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k)
        most += song.tracks[k].count() + 1;
    roll.notes.reserve(most);
    std::array<long, kTrackCount> sounding;
    sounding.fill(-1);
    const play::PassageRun run =
        play::play_passage(song, passage, [&](std::uint64_t tick, const play::MidiMessage& m) {
            const int k = m.status & 0x0F;
            if (sounding[k] >= 0) {
                roll.notes[static_cast<std::size_t>(sounding[k])].off = tick;
                sounding[k] = -1;
            }
            if ((m.status & 0xF0) == 0x90) {
                sounding[k] = static_cast<long>(roll.notes.size());
                roll.notes.push_back(
                    {k, tick, tick, m.data1, map.block_of(passage.start + tick), {}});
            }
        });
    find_lines(song, map, passage, roll.notes);
    roll.left_out = find_left_out(song, map, passage);
    roll.length = run.done_tick;
    roll.song_start = passage.start;
    for (std::size_t b = 1; b < map.block_count(); ++b) {
        const std::uint64_t tick = map.block_starts[b];
        if (tick > passage.start && tick < passage.end)
            roll.block_lines.push_back({b + 1, tick - passage.start});
    }
    roll.song_blocks = map.block_count();
    roll.block_sources = find_block_sources(song, map);
    if (roll.song_blocks > 0 && passage.end > passage.start) {
        roll.first_block = map.block_of(passage.start);
        roll.last_block = map.block_of(passage.end - 1);
    }
    roll.whole_song = passage.start == 0 && passage.end == map.done_tick;
    roll.audible = passage.audible;
    return roll;
}

}  // namespace zirvon::picture
