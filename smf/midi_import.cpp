#include "smf/midi_import.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <tuple>

#include "mml/mml_writer.h"
#include "mml/song_checks.h"
#include "smf/smf_reader.h"
#include "text/format.h"

namespace zirvon::smf {
namespace {

__extension__ typedef unsigned __int128 Wide;

/// No note starts later than this: a tape image holds less than this much
/// music of any kind (21,845 events of at most 256 ticks).
constexpr std::uint64_t kLastTick = std::uint64_t{1} << 23;
/// Bar lines looked at, at most: a file of bars shorter than a tick gets no
/// more of them.
constexpr std::size_t kMostBarLines = 1'000'000;
/// Events of one track, its end mark left out, and of the whole image.
constexpr std::size_t kTrackRoom = kTrackCapacity - 1;
/// Events that load on the target (see check_song), end marks included.
constexpr std::size_t kImageRoom = kMaxLoadableData / 3;
constexpr int kVoices = kLastPlayedTrack - kFirstPlayedTrack + 1;
constexpr std::uint8_t kPercussionChannel = 9;
constexpr int kLowestImportedKey = kPitchToMidi;

/// The file's times as microseconds and as 20 ms ticks, through its tempo map.
class TimeMap {
  public:
    explicit TimeMap(const SmfFile& file) {
        if (file.smpte) {
            // Frames "29" are 30000/1001 a second.
            const bool drop = file.frames == 29;
            scale_ = static_cast<std::uint64_t>(drop ? 30'000 : file.frames) *
                     static_cast<std::uint64_t>(file.ticks_per_frame);
            segments_.push_back({0, 0, drop ? 1'001'000'000u : 1'000'000u});
            return;
        }
        scale_ = file.division;
        segments_.push_back({0, 0, 500'000});
        for (const SmfTempo& t : file.tempos) {
            Segment& last = segments_.back();
            if (t.tick == last.tick) {
                last.rate = t.microseconds;
                continue;
            }
            const Wide at = last.at + static_cast<Wide>(t.tick - last.tick) * last.rate;
            segments_.push_back({t.tick, at, t.microseconds});
        }
    }
    /// Microseconds x scale_ at file tick `tick`.
    Wide scaled(std::uint64_t tick) const {
        auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                   [](std::uint64_t t, const Segment& s) { return t < s.tick; });
        --it;
        return it->at + static_cast<Wide>(tick - it->tick) * it->rate;
    }
    std::uint64_t micros(std::uint64_t tick) const { return clamp(scaled(tick) / scale_); }
    /// The nearest 20 ms tick.
    std::uint64_t tick(std::uint64_t file_tick) const {
        const Wide per_tick = static_cast<Wide>(kTickMicroseconds) * scale_;
        return clamp((scaled(file_tick) + per_tick / 2) / per_tick);
    }

  private:
    struct Segment {
        std::uint64_t tick;
        Wide at;
        std::uint64_t rate;
    };
    static std::uint64_t clamp(Wide v) {
        return v > kLastTick * 1'000'000 ? kLastTick * 1'000'000 : static_cast<std::uint64_t>(v);
    }

    std::vector<Segment> segments_;
    std::uint64_t scale_ = 1;
};

/// A note on its way: the file's note, its ticks and what became of it.
struct Candidate {
    std::size_t source = 0;  ///< index in SmfFile::notes
    std::uint64_t a = 0;     ///< start tick
    std::uint64_t b = 0;     ///< end tick, after a
    std::uint64_t end = 0;   ///< b before a bar line cut it
    std::uint64_t e = 0;     ///< where its track is free again: b, and at least a + 2
    std::uint8_t pitch = 0;
    int line = 0;        ///< the file's track and channel
    bool outer = false;  ///< highest or lowest sounding where it starts
    bool shorter = false;
    bool kept = false;
    bool cut_at_bar = false;
    int track = 0;
    std::uint64_t on = 0;
    std::uint64_t release = 0;
};

std::uint64_t busy_end(std::uint64_t a, std::uint64_t b) {
    return std::max(b, a + 2);
}

/// The bar lines of the file up to (and one past) `last`, in file ticks,
/// from its time signatures.
std::vector<std::uint64_t> bar_lines(const SmfFile& file, std::uint64_t last) {
    // Positions in 1/256 of a file tick, so that every bar of n/2^k is whole.
    const std::uint64_t quarter =
        file.smpte ? std::max<std::uint64_t>(
                         static_cast<std::uint64_t>(file.frames * file.ticks_per_frame) / 2, 1)
                   : file.division;
    const auto length_of = [quarter](const SmfMeter& m) {
        return static_cast<std::uint64_t>(m.numerator) * 4 * quarter * 256 >> m.denominator_power;
    };
    std::vector<std::uint64_t> lines;
    std::uint64_t length = length_of({});
    std::uint64_t at = 0;
    std::size_t next_meter = 0;
    const auto& meters = file.meters;
    while (lines.size() < kMostBarLines) {
        while (next_meter < meters.size() && meters[next_meter].tick * 256 <= at) {
            length = length_of(meters[next_meter++]);
        }
        std::uint64_t next = at + std::max<std::uint64_t>(length, 1);
        if (next_meter < meters.size() && meters[next_meter].tick * 256 < next)
            next = meters[next_meter].tick * 256;
        lines.push_back(next / 256);
        if (next / 256 > last) break;
        at = next;
    }
    return lines;
}

/// A range-add, range-max tree over the slots of compressed ticks.
class Crowd {
  public:
    explicit Crowd(std::size_t n)
        : size_(std::max<std::size_t>(n, 1)), max_(4 * size_), add_(4 * size_) {}
    int most(std::size_t from, std::size_t to) const { return query(1, 0, size_, from, to); }
    void add(std::size_t from, std::size_t to) { update(1, 0, size_, from, to); }

  private:
    int query(std::size_t node, std::size_t lo, std::size_t hi, std::size_t from,
              std::size_t to) const {
        if (to <= lo || hi <= from) return 0;
        if (from <= lo && hi <= to) return max_[node];
        const std::size_t mid = (lo + hi) / 2;
        return add_[node] +
               std::max(query(2 * node, lo, mid, from, to), query(2 * node + 1, mid, hi, from, to));
    }
    void update(std::size_t node, std::size_t lo, std::size_t hi, std::size_t from,
                std::size_t to) {
        if (to <= lo || hi <= from) return;
        if (from <= lo && hi <= to) {
            ++max_[node];
            ++add_[node];
            return;
        }
        const std::size_t mid = (lo + hi) / 2;
        update(2 * node, lo, mid, from, to);
        update(2 * node + 1, mid, hi, from, to);
        max_[node] = add_[node] + std::max(max_[2 * node], max_[2 * node + 1]);
    }

    std::size_t size_;
    std::vector<int> max_;
    std::vector<int> add_;
};

/// Marks the notes that are the highest or lowest sounding where they start.
void mark_outer(std::vector<Candidate>& notes) {
    std::vector<const Candidate*> sounding;
    for (std::size_t i = 0; i < notes.size();) {
        const std::uint64_t a = notes[i].a;
        std::erase_if(sounding, [a](const Candidate* c) { return c->e <= a; });
        std::size_t j = i;
        for (; j < notes.size() && notes[j].a == a; ++j) sounding.push_back(&notes[j]);
        int high = 0;
        int low = 255;
        for (const Candidate* c : sounding) {
            high = std::max<int>(high, c->pitch);
            low = std::min<int>(low, c->pitch);
        }
        for (; i < j; ++i) notes[i].outer = notes[i].pitch == high || notes[i].pitch == low;
    }
}

/// Keeps at most eight notes sounding at once, the ones that matter most first.
void choose_notes(std::vector<Candidate>& notes) {
    std::vector<std::uint64_t> ticks;
    for (const Candidate& c : notes) {
        ticks.push_back(c.a);
        ticks.push_back(c.e);
    }
    std::sort(ticks.begin(), ticks.end());
    ticks.erase(std::unique(ticks.begin(), ticks.end()), ticks.end());
    const auto slot = [&ticks](std::uint64_t t) {
        return static_cast<std::size_t>(std::lower_bound(ticks.begin(), ticks.end(), t) -
                                        ticks.begin());
    };
    std::vector<std::size_t> order(notes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&notes](std::size_t x, std::size_t y) {
        const Candidate& a = notes[x];
        const Candidate& b = notes[y];
        return std::make_tuple(!a.outer, b.b - b.a, a.a) <
               std::make_tuple(!b.outer, a.b - a.a, b.a);
    });
    Crowd crowd(ticks.size());
    for (std::size_t i : order) {
        Candidate& c = notes[i];
        const std::size_t from = slot(c.a);
        const std::size_t to = slot(c.e);
        if (crowd.most(from, to) >= kVoices) continue;
        crowd.add(from, to);
        c.kept = true;
    }
}

/// Gives each kept note a track: its line's own where that is free, else
/// one its line used before, else one no line has, else the one free longest.
void assign_tracks(std::vector<Candidate>& notes) {
    std::array<std::uint64_t, kTrackCount> free_at{};
    std::array<int, kTrackCount> last_line;
    last_line.fill(-1);
    std::vector<int> home;
    for (Candidate& c : notes) {
        if (!c.kept) continue;
        if (static_cast<std::size_t>(c.line) >= home.size())
            home.resize(static_cast<std::size_t>(c.line) + 1, 0);
        int chosen = 0;
        const auto free = [&](int k) { return free_at[k] <= c.a; };
        int& own = home[static_cast<std::size_t>(c.line)];
        if (own && free(own)) chosen = own;
        for (int k = kFirstPlayedTrack; !chosen && k <= kLastPlayedTrack; ++k) {
            if (free(k) && last_line[k] == c.line) chosen = k;
        }
        for (int k = kFirstPlayedTrack; !chosen && k <= kLastPlayedTrack; ++k) {
            if (free(k) && last_line[k] == -1) chosen = k;
        }
        for (int k = kFirstPlayedTrack; !chosen && k <= kLastPlayedTrack; ++k) {
            if (free(k) && (!chosen || free_at[k] < free_at[chosen])) chosen = k;
        }
        if (!chosen) {
            c.kept = false;  // never: no more than eight were kept at once
            continue;
        }
        if (!own) own = chosen;
        c.track = chosen;
        free_at[chosen] = c.e;
        last_line[chosen] = c.line;
    }
}

/// Whether `g` is a gate that MML writes for a note of `length` ticks with a
/// ratio of 1 to 8 or a tie, and so without a warning.
bool plain_gate(std::uint64_t length, std::uint64_t g) {
    if (g == length) return true;
    for (std::uint64_t r = 1; r <= 8; ++r) {
        if (static_cast<std::uint64_t>(compiled_gate(length, r, false)) == g) return true;
    }
    return false;
}

/// Lays the notes of one track out as events, block by block.
class Layout {
  public:
    std::vector<TrackEvent> events;
    /// Events of each block, its sync mark included.
    std::vector<std::size_t> block_events;

    void rest(std::uint64_t from, std::uint64_t to) {
        std::uint64_t d = to - from;
        while (d > 257) {
            push({0, 255, 0});
            d -= 256;
        }
        if (d == 257) {
            push({0, 254, 0});
            d = 2;
        }
        if (d > 0) push({0, static_cast<std::uint8_t>(d - 1), 0});
    }

    /// The note [a, b) of `c`, its track free from c on (c >= c.e): its
    /// events cover [a, next).
    void note(Candidate& n, std::uint64_t a, std::uint64_t next, ImportSummary& summary) {
        std::uint64_t b = n.b;
        n.on = a;
        bool struck_again = false;
        while (b - a > 255) {
            const std::uint64_t step = b - a >= 256 + 2 ? 256 : 254;
            push({n.pitch, static_cast<std::uint8_t>(step - 1),
                  static_cast<std::uint8_t>(step - 1)});
            a += step;
            struck_again = true;
        }
        if (struck_again) ++summary.restruck;
        const std::uint64_t length = b - a;
        const std::uint64_t gap = next - b;
        const auto sound = [&](std::uint64_t l, std::uint64_t g) {
            push({n.pitch, static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(g)});
        };
        if (gap == 0) {
            sound(length - 1, length - 1);
            n.release = b - 1;
        } else if (gap == 1) {
            sound(length, length);
            n.release = b;
        } else if (next - a - 1 <= 255 && plain_gate(next - a - 1, length)) {
            // One event, its gate shorter than its length, as MML writes
            // a note with Q: Q7 C4.
            sound(next - a - 1, length);
            n.release = b;
        } else if (gap == 2) {
            sound(length - 1, length - 1);
            rest(b, next);
            n.release = b - 1;
        } else {
            sound(length, length);
            rest(b + 1, next);
            n.release = b;
        }
    }

    void sync() {
        push(kSyncEvent);
        block_events.push_back(count_);
        count_ = 0;
    }

  private:
    void push(TrackEvent e) {
        events.push_back(e);
        ++count_;
    }
    std::size_t count_ = 0;
};

/// Which bar lines (ticks, with their bar numbers from 1) get a sync mark:
/// those that no note is held across, at least three ticks after the one
/// before, the last one after every note.
std::vector<std::pair<std::uint64_t, std::size_t>> choose_bar_lines(
    const std::vector<std::uint64_t>& lines, std::vector<Candidate>& notes) {
    std::vector<std::pair<std::uint64_t, std::size_t>> kept;
    std::uint64_t last_end = 0;
    std::uint64_t last_busy = 0;
    for (const Candidate& c : notes) {
        if (!c.kept) continue;
        last_end = std::max(last_end, c.b);
        last_busy = std::max(last_busy, c.e);
    }
    std::vector<Candidate*> sounding;
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::uint64_t line = lines[i];
        if (line < (kept.empty() ? 3 : kept.back().first + 3)) continue;
        const std::uint64_t sync = line - 1;
        for (; next < notes.size() && notes[next].a <= sync; ++next) {
            if (notes[next].kept) sounding.push_back(&notes[next]);
        }
        std::erase_if(sounding, [sync](const Candidate* c) { return c->e <= sync; });
        const bool held = std::any_of(sounding.begin(), sounding.end(), [line](const Candidate* c) {
            return c->e > line || c->a + 3 > line;
        });
        if (held) continue;
        for (Candidate* c : sounding) {
            c->b = sync;
            c->e = busy_end(c->a, c->b);
            c->cut_at_bar = true;
        }
        sounding.clear();
        kept.push_back({line, i + 1});
        if (line >= last_end || kept.size() >= kImageRoom) break;
    }
    if (!kept.empty() && kept.back().first >= last_end) return kept;
    // No bar line after the last note could take a sync mark: one right after it.
    const std::uint64_t end =
        std::max<std::uint64_t>(last_busy + 1, kept.empty() ? 3 : kept.back().first + 3);
    kept.push_back({end, lines.size() + 1});
    return kept;
}

std::string bar_list(const std::vector<std::size_t>& bars) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < bars.size();) {
        std::size_t j = i;
        while (j + 1 < bars.size() && bars[j + 1] == bars[j] + 1) ++j;
        std::string part = std::to_string(bars[i]);
        if (j > i) {
            part += '-';
            part += std::to_string(bars[j]);
        }
        parts.push_back(std::move(part));
        i = j + 1;
    }
    return (bars.size() == 1 ? "bar " : "bars ") + joined(parts);
}

std::string milliseconds(std::uint64_t micros) {
    const std::uint64_t tenths = (micros + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " ms";
}

void list_not_kept(const SmfFile& file, ImportSummary& s) {
    if (!file.notes.empty()) {
        s.not_kept.push_back(file.lowest_velocity == file.highest_velocity
                                 ? "velocities (all " + std::to_string(file.lowest_velocity) + ")"
                                 : "velocities (" + std::to_string(file.lowest_velocity) + " to " +
                                       std::to_string(file.highest_velocity) + ")");
    }
    const auto add = [&s](std::uint64_t n, const char* what) {
        if (n) s.not_kept.push_back(counted(n, what));
    };
    add(file.controllers, "controller change");
    add(file.program_changes, "program change");
    add(file.pitch_bends, "pitch bend");
    add(file.aftertouches, "aftertouch message");
    add(file.system_exclusives, "system exclusive message");
}

}  // namespace

bool import_midi(std::span<const std::uint8_t> bytes, ImportedSong& imported, std::string& error) {
    imported = ImportedSong{};
    SmfFile file;
    if (!read_smf(bytes, file, error)) return false;
    ImportSummary& summary = imported.summary;
    summary.notes_in_file = file.notes.size();
    list_not_kept(file, summary);
    const TimeMap time(file);

    std::vector<Candidate> notes;
    std::uint64_t last_file_tick = 0;
    for (std::size_t i = 0; i < file.notes.size(); ++i) {
        const SmfNote& n = file.notes[i];
        if (n.channel == kPercussionChannel) {
            ++summary.dropped_percussion;
            continue;
        }
        Candidate c;
        c.source = i;
        c.a = time.tick(n.start);
        c.b = time.tick(n.end);
        if (c.a >= kLastTick) {
            ++summary.dropped_past_end;
            continue;
        }
        c.b = std::min(c.b, c.a + kLastTick);
        if (c.b <= c.a) {
            c.b = c.a + 1;
            c.shorter = true;
            ++summary.shorter_than_a_tick;
        }
        c.end = c.b;
        c.e = busy_end(c.a, c.b);
        int key = n.key;
        if (key < kLowestImportedKey) {
            while (key < kLowestImportedKey) key += 12;
            ++summary.raised;
        }
        c.pitch = static_cast<std::uint8_t>(key - kPitchToMidi);
        c.line = n.track * 16 + n.channel;
        last_file_tick = std::max(last_file_tick, n.end);
        notes.push_back(c);
    }
    std::stable_sort(notes.begin(), notes.end(), [](const Candidate& x, const Candidate& y) {
        return std::make_tuple(x.a, -static_cast<int>(x.pitch), x.line) <
               std::make_tuple(y.a, -static_cast<int>(y.pitch), y.line);
    });
    mark_outer(notes);
    choose_notes(notes);
    assign_tracks(notes);

    std::vector<std::uint64_t> raw_lines;
    std::uint64_t last_busy = 0;
    for (const Candidate& c : notes) last_busy = std::max(last_busy, c.e);
    for (std::uint64_t file_tick : bar_lines(file, last_file_tick)) {
        const std::uint64_t t = time.tick(file_tick);
        raw_lines.push_back(t);
        if (t > last_busy + 1) break;
    }
    const auto bar_of = [&raw_lines](std::uint64_t tick) {
        return static_cast<std::size_t>(std::upper_bound(raw_lines.begin(), raw_lines.end(), tick) -
                                        raw_lines.begin()) +
               1;
    };
    for (const Candidate& c : notes) {
        if (c.kept) continue;
        ++summary.dropped_crowded;
        summary.crowded_bars.push_back(bar_of(c.a));
    }
    std::sort(summary.crowded_bars.begin(), summary.crowded_bars.end());
    summary.crowded_bars.erase(
        std::unique(summary.crowded_bars.begin(), summary.crowded_bars.end()),
        summary.crowded_bars.end());

    const bool any =
        std::any_of(notes.begin(), notes.end(), [](const Candidate& c) { return c.kept; });
    std::vector<std::pair<std::uint64_t, std::size_t>> lines;
    if (any) lines = choose_bar_lines(raw_lines, notes);

    // Each track's events, block by block.
    std::array<Layout, kTrackCount> layouts;
    std::array<std::vector<Candidate*>, kTrackCount> by_track;
    for (Candidate& c : notes) {
        if (c.kept) by_track[c.track].push_back(&c);
    }
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (by_track[k].empty()) continue;
        ++summary.tracks_used;
        Layout& out = layouts[k];
        std::size_t i = 0;
        std::uint64_t cursor = 0;
        for (const auto& [line, bar] : lines) {
            const std::uint64_t sync = line - 1;
            bool first = true;
            for (; i < by_track[k].size() && by_track[k][i]->a < sync; ++i) {
                Candidate& n = *by_track[k][i];
                std::uint64_t a = n.a;
                // A block cannot start with a rest of one tick: the note
                // moves to the block's first tick.
                if (first && a == cursor + 1) a = cursor;
                first = false;
                out.rest(cursor, a);
                const std::uint64_t next =
                    i + 1 < by_track[k].size() && by_track[k][i + 1]->a < sync
                        ? by_track[k][i + 1]->a
                        : sync;
                out.note(n, a, next, summary);
                cursor = next;
            }
            out.rest(cursor, sync);
            out.sync();
            cursor = line;
        }
    }

    // As many blocks as an image holds.
    std::size_t blocks = lines.size();
    {
        std::array<std::size_t, kTrackCount> used{};
        std::size_t total = kTrackCount;
        for (std::size_t j = 0; j < lines.size(); ++j) {
            bool fits = true;
            std::size_t more = 0;
            for (int k = 0; k < kTrackCount; ++k) {
                if (layouts[k].block_events.empty()) continue;
                more += layouts[k].block_events[j];
                fits = fits && used[k] + layouts[k].block_events[j] <= kTrackRoom;
            }
            if (!fits || total + more > kImageRoom) {
                blocks = j;
                break;
            }
            total += more;
            for (int k = 0; k < kTrackCount; ++k) {
                if (!layouts[k].block_events.empty()) used[k] += layouts[k].block_events[j];
            }
        }
        if (blocks < lines.size()) {
            summary.cut_after_bar = blocks ? lines[blocks - 1].second - 1 : 0;
            const std::uint64_t end = blocks ? lines[blocks - 1].first : 0;
            for (Candidate& c : notes) {
                if (c.kept && c.a >= end) {
                    c.kept = false;
                    ++summary.dropped_past_end;
                }
            }
            summary.tracks_used = 0;
            for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
                if (layouts[k].block_events.empty()) continue;
                const std::size_t n = std::accumulate(
                    layouts[k].block_events.begin(),
                    layouts[k].block_events.begin() + static_cast<std::ptrdiff_t>(blocks),
                    std::size_t{0});
                layouts[k].events.resize(n);
                if (std::any_of(
                        layouts[k].events.begin(), layouts[k].events.end(),
                        [](const TrackEvent& e) { return e.note != SyncMark && e.gate > 0; })) {
                    ++summary.tracks_used;
                } else {
                    layouts[k].events.clear();
                }
            }
            lines.resize(blocks);
        }
    }
    for (int k = 0; k < kTrackCount; ++k) {
        Track& track = imported.song.tracks[k];
        for (const TrackEvent& e : layouts[k].events) track.append_event(e);
        track.append_event(kEndEvent);
    }

    imported.block_starts.push_back(0);
    for (const auto& [line, bar] : lines) imported.block_starts.push_back(line);
    summary.blocks = lines.size();
    summary.bars = lines.empty() ? 0 : lines.back().second;
    summary.length_ticks = lines.empty() ? 0 : lines.back().first;

    for (const Candidate& c : notes) {
        if (!c.kept) continue;
        ++summary.kept;
        const SmfNote& n = file.notes[c.source];
        const bool moved = c.shorter || c.on != c.a || c.release + 1 < c.end || c.release > c.end;
        if (moved) ++summary.moved;
        if (c.cut_at_bar && !c.shorter && c.on == c.a) ++summary.moved_at_bar_lines;
        const auto distance = [](std::uint64_t ticks, std::uint64_t micros) {
            const std::uint64_t t = ticks * kTickMicroseconds;
            return t > micros ? t - micros : micros - t;
        };
        summary.largest_start_change =
            std::max(summary.largest_start_change, distance(c.on, time.micros(n.start)));
        summary.largest_end_change =
            std::max(summary.largest_end_change, distance(c.release, time.micros(n.end)));
        imported.notes.push_back({c.track, c.pitch, c.a, c.end, c.on, c.release, moved});
    }
    return true;
}

std::vector<std::string> summary_lines(const ImportSummary& s, const std::string& name) {
    std::vector<std::string> lines;
    lines.push_back(name + ": " + with_commas(s.kept) + " of " + counted(s.notes_in_file, "note") +
                    " kept on " + counted(static_cast<std::uint64_t>(s.tracks_used), "track") +
                    ", " + counted(s.bars, "bar") + " in " + counted(s.blocks, "block") + ", " +
                    minutes_hundredths(s.length_ticks * 100 / kTicksPerSecond));
    if (s.moved) {
        std::vector<std::string> why;
        if (s.moved_at_bar_lines) {
            why.push_back(with_commas(s.moved_at_bar_lines) +
                          " released a tick early: a bar's sync mark takes its last tick");
        }
        if (s.shorter_than_a_tick)
            why.push_back(with_commas(s.shorter_than_a_tick) +
                          " shorter than a tick, now one tick long");
        const std::size_t other =
            s.moved - std::min(s.moved, s.moved_at_bar_lines + s.shorter_than_a_tick);
        if (other)
            why.push_back(with_commas(other) +
                          " a tick off to make room for the events around them");
        lines.push_back("  moved: " + counted(s.moved, "note") + " (" + joined(why) + ")");
    }
    lines.push_back("  largest timing change: " + milliseconds(s.largest_start_change) +
                    " at a start, " + milliseconds(s.largest_end_change) + " at a release");
    std::vector<std::string> dropped;
    if (s.dropped_crowded) {
        dropped.push_back(with_commas(s.dropped_crowded) +
                          " where more than eight sound at once (" + bar_list(s.crowded_bars) +
                          ")");
    }
    if (s.dropped_percussion)
        dropped.push_back(with_commas(s.dropped_percussion) + " percussion (channel 10)");
    if (s.dropped_past_end) {
        dropped.push_back(
            with_commas(s.dropped_past_end) + " past what a tape image holds" +
            (s.cut_after_bar ? " (the song ends after bar " + std::to_string(s.cut_after_bar) + ")"
                             : ""));
    }
    if (!dropped.empty()) {
        const std::size_t n = s.dropped_crowded + s.dropped_percussion + s.dropped_past_end;
        lines.push_back("  left out: " + counted(n, "note") + ": " + joined(dropped));
    }
    if (s.raised)
        lines.push_back("  raised by octaves: " + counted(s.raised, "note") +
                        " below MIDI note 24");
    if (s.restruck)
        lines.push_back("  struck again every 5.12 s: " + counted(s.restruck, "note") +
                        " held longer than that");
    if (!s.not_kept.empty()) lines.push_back("  not kept: " + joined(s.not_kept));
    return lines;
}

}  // namespace zirvon::smf
