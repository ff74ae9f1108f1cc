#include "play/passage.h"

#include <algorithm>
#include <array>
#include <vector>
#include <limits>

#include "text/format.h"

namespace zirvon::play {
namespace {

class NullSink : public MidiSink {
public:
    void send(const MidiMessage&) override {}
};

class CollectingSink : public MidiSink {
public:
    void send(const MidiMessage& message) override { messages.push_back(message); }
    std::vector<MidiMessage> messages;
};

std::string describe(const char* option, const Bound& bound) {
    std::string text = std::string("/") + option + "=";
    if (!bound.text.empty()) return text + bound.text;
    switch (bound.kind) {
        case Bound::Kind::block:
            return text + std::to_string(bound.value);
        case Bound::Kind::time:
            return text + minutes_hundredths(bound.value, false);
        case Bound::Kind::line:
            return text + "line:" + std::to_string(bound.value);
        case Bound::Kind::position:
            return text + "line:" + std::to_string(bound.value) + ":" + std::to_string(bound.column);
    }
    return text;
}

/// The number of a block or line bound, as written.
std::string number_text(const Bound& bound) {
    if (bound.text.empty()) return std::to_string(bound.value);
    const std::size_t colon = bound.text.find(':');
    return colon == std::string::npos ? bound.text : bound.text.substr(colon + 1);
}

std::string block_count_text(std::size_t count) {
    if (count == 0) return "the song has no blocks";
    return "the song has " + counted(count, "block");
}

/// First tick at or after a time: one tick is two hundredths of a second.
std::uint64_t tick_at_or_after(std::uint64_t hundredths) { return hundredths / 2 + hundredths % 2; }

/// The lowest and highest block in which notes or rests of the first line
/// at or after `line` that has any are read; nothing when no line has.
std::optional<std::pair<std::size_t, std::size_t>> blocks_of_line(const Song& song, const SongMap& map,
                                                                  std::uint64_t line) {
    std::uint64_t found = std::numeric_limits<std::uint64_t>::max();
    std::size_t lowest = 0;
    std::size_t highest = 0;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const std::vector<TrackEvent>& events = song.tracks[k].events();
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const std::uint32_t at = song.tracks[k].line(i);
            if (events[i].note >= SyncMark || at < line || at > found) continue;
            const std::size_t block = map.block_of(ticks[i]);
            if (at < found) {
                found = at;
                lowest = highest = block;
            } else {
                lowest = std::min(lowest, block);
                highest = std::max(highest, block);
            }
        }
    }
    if (found == std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
    return std::make_pair(lowest, highest);
}

/// The song ticks on which the event at a place of the source is read and
/// ends (when the next event of its track is read): the note, rest or `]`
/// of tracks 1 to 8 whose text holds the place, or else the first one after
/// it. Nothing when no event stands there or after it.
std::optional<std::pair<std::uint64_t, std::uint64_t>> ticks_at_place(const Song& song, const SongMap& map,
                                                                      std::uint64_t line, std::uint64_t column) {
    const auto key = [](const EventPlace& p) { return std::pair<std::uint64_t, std::uint64_t>{p.line, p.column}; };
    const std::pair<std::uint64_t, std::uint64_t> wanted{line, column};
    std::optional<std::pair<std::uint64_t, std::uint64_t>> best_key;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> ticks;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const std::vector<std::uint64_t>& read = map.read_ticks[k];
        for (std::size_t i = 0; i < read.size(); ++i) {
            const EventPlace place = song.tracks[k].place(i);
            if (place.line == 0) continue;
            const bool holds = place.line == line && place.column <= column && column < place.end_column;
            // An event that holds the place sorts as the place itself.
            const auto at = holds ? wanted : key(place);
            if (at < wanted || (best_key && *best_key <= at)) continue;
            best_key = at;
            ticks = {read[i], i + 1 < read.size() ? read[i + 1] : map.done_tick};
        }
    }
    return ticks;
}

/// Song tick of one end of a passage; nothing, with a message, when the
/// song has no such place.
std::optional<std::uint64_t> resolve_bound(const char* option, const Bound& bound, bool is_end,
                                           const Song& song, const SongMap& map, std::string& error) {
    const std::size_t blocks = map.block_count();
    switch (bound.kind) {
        case Bound::Kind::block:
            if (bound.value == 0 || bound.value > blocks) {
                error = describe(option, bound) + ": there is no block " + number_text(bound) +
                        "; " + block_count_text(blocks);
                return std::nullopt;
            }
            // Within the block count, checked above.
            return is_end ? map.block_end(static_cast<std::size_t>(bound.value))
                          : map.block_starts[static_cast<std::size_t>(bound.value - 1)];
        case Bound::Kind::time: {
            const std::uint64_t tick = tick_at_or_after(bound.value);
            if (tick > map.done_tick) {
                error = describe(option, bound) + " is past the end of the song, at " +
                        minutes_hundredths(map.done_tick * 2, false);
                return std::nullopt;
            }
            if (!is_end && tick == map.done_tick) {
                error = describe(option, bound) + " is where the song ends: the passage would be empty";
                return std::nullopt;
            }
            return tick;
        }
        case Bound::Kind::line: {
            const auto found = blocks_of_line(song, map, bound.value);
            if (!found) {
                error = describe(option, bound) + ": no block of tracks 1 to 8 starts on line " +
                        number_text(bound) + " or after it";
                return std::nullopt;
            }
            return is_end ? map.block_end(found->second) : map.block_starts[found->first - 1];
        }
        case Bound::Kind::position: {
            const auto found = ticks_at_place(song, map, bound.value, bound.column);
            if (!found) {
                error = describe(option, bound) + ": no note, rest or ']' of tracks 1 to 8 stands at line " +
                        std::to_string(bound.value) + ", column " + std::to_string(bound.column) +
                        " or after it";
                return std::nullopt;
            }
            return is_end ? found->second : found->first;
        }
    }
    return std::nullopt;
}

}  // namespace

std::size_t SongMap::block_of(std::uint64_t tick) const {
    return static_cast<std::size_t>(std::upper_bound(block_starts.begin(), block_starts.end(), tick) -
                                    block_starts.begin());
}

std::uint64_t SongMap::block_end(std::size_t block) const {
    return block < block_starts.size() ? block_starts[block] : done_tick;
}

SongMap map_song(const Song& song) {
    SongMap map;
    bool any_sound = false;
    std::uint64_t last_sound = 0;
    Player player(song, 0);
    player.set_read_hook([&](int k, std::size_t i, std::uint64_t tick) {
        const std::vector<TrackEvent>& events = song.tracks[k].events();
        if (i >= events.size()) return;  // a track without its end mark
        map.read_ticks[k].push_back(tick);
        if (events[i].note < SyncMark) {
            any_sound = true;
            last_sound = tick;
        }
    });
    NullSink sink;
    while (!player.done()) {
        player.skip_quiet_ticks(std::numeric_limits<std::uint64_t>::max());
        player.tick(sink);
        if (player.released()) map.releases.push_back(player.ticks() - 1);
    }
    map.done_tick = player.ticks() - 1;

    // Blocks start on tick 0 and on each release; the last release starts
    // one only when something is played on or after it. Sync marks alone
    // make no blocks: with no note or rest there is nothing to play.
    if (any_sound) {
        map.block_starts.push_back(0);
        map.block_starts.insert(map.block_starts.end(), map.releases.begin(), map.releases.end());
        const bool sound_after_last = any_sound && (map.releases.empty() || last_sound >= map.releases.back());
        if (!sound_after_last) map.block_starts.pop_back();
    }
    return map;
}

Passage whole_song(const SongMap& map) { return {0, map.done_tick, kAllPlayedTracks}; }

namespace {

/// Calls `visit(event, tick)` for every note or rest of the tracks that
/// `passage` sounds, with the tick it is read on, until it returns true;
/// true when it did.
template <typename Visit>
bool find_sounded(const Song& song, const SongMap& map, const Passage& passage, Visit visit) {
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (!((passage.audible >> k) & 1u)) continue;
        const std::vector<TrackEvent>& events = song.tracks[k].events();
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            if (sounds_note(events[i]) && visit(events[i], ticks[i])) return true;
        }
    }
    return false;
}

}  // namespace

int left_out_notes(const Song& song, const SongMap& map, const Passage& passage) {
    int count = 0;
    find_sounded(song, map, passage, [&](const TrackEvent& e, std::uint64_t tick) {
        count += above_midi(e) && tick >= passage.start && tick < passage.end;
        return false;
    });
    return count;
}

bool passage_sounds(const Song& song, const SongMap& map, const Passage& passage) {
    return find_sounded(song, map, passage, [&](const TrackEvent& e, std::uint64_t tick) {
        return !above_midi(e) && tick < passage.end && tick + e.gate > passage.start;
    });
}

std::optional<Passage> resolve_passage(const PassageRequest& request, const Song& song,
                                       const SongMap& map, std::string& error) {
    Passage passage = whole_song(map);
    passage.audible = request.audible;
    if (request.from) {
        const auto start = resolve_bound("from", *request.from, false, song, map, error);
        if (!start) return std::nullopt;
        passage.start = *start;
    }
    if (request.to) {
        const auto end = resolve_bound("to", *request.to, true, song, map, error);
        if (!end) return std::nullopt;
        passage.end = *end;
    }
    if (passage.end <= passage.start) {
        if (!request.to) {
            error = "the passage would be empty";
        } else if (request.from) {
            error = describe("to", *request.to) + " is at or before " + describe("from", *request.from) +
                    ": the passage would be empty";
        } else {
            error = describe("to", *request.to) + " is at the start of the song: the passage would be empty";
        }
        return std::nullopt;
    }
    return passage;
}

PassagePlayer::PassagePlayer(const Song& song, const Passage& passage)
    : passage_(passage), at_start_(song, passage.audible), player_(song, passage.audible) {
    NullSink sink;
    while (at_start_.ticks() < passage.start && !at_start_.done()) {
        if (at_start_.skip_quiet_ticks(passage.start - at_start_.ticks()) == 0) at_start_.tick(sink);
    }
    player_ = at_start_;
}

void PassagePlayer::tick(MidiSink& sink) {
    if (done_) return;
    if (song_tick() >= passage_.end) {
        player_.release_all(sink);
        done_ = true;
        return;
    }
    if (ticks_ == 0) {
        first_tick(sink);
    } else {
        player_.tick(sink);
    }
    ++ticks_;
}

void PassagePlayer::first_tick(MidiSink& sink) {
    std::array<int, kTrackCount> held{};
    for (int k = 0; k < kTrackCount; ++k) held[k] = player_.audible(k) ? player_.sounding_note(k) : -1;
    CollectingSink tick;
    player_.tick(tick);
    // A note that sounds across the start is heard from its first tick,
    // unless it ends on that tick: a note-on and its note-off at one
    // instant would be a note of no length. The first message of its
    // channel tells, as the player ends a track's note before anything else.
    for (int k = 0; k < kTrackCount; ++k) {
        if (held[k] < 0) continue;
        const auto first = std::find_if(tick.messages.begin(), tick.messages.end(),
                                        [k](const MidiMessage& m) { return (m.status & 0x0F) == k; });
        if (first != tick.messages.end() && first->status == kNoteOff + k && first->data1 == held[k]) {
            tick.messages.erase(first);
        } else {
            sink.send({static_cast<std::uint8_t>(kNoteOn + k), static_cast<std::uint8_t>(held[k]), kVelocity});
        }
    }
    for (const MidiMessage& message : tick.messages) sink.send(message);
}

void PassagePlayer::restart() {
    player_ = at_start_;
    ticks_ = 0;
    done_ = false;
}

PassageRun play_passage(const Song& song, const Passage& passage, const StampedEmit& emit) {
    PassagePlayer player(song, passage);
    StampingSink sink(emit);
    run_without_clock(player, sink);
    return {player.ticks(), player.left_out_notes()};
}

}  // namespace zirvon::play
