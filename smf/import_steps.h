// The steps of a MIDI file's import, in the order import_midi takes them:
// the file's times on the 20 ms grid, the notes that are kept and the track
// each goes to, the bar lines that get a sync mark, and each track's events.
// Private to smf/.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "mml/song_checks.h"
#include "smf/midi_import.h"
#include "smf/smf_reader.h"
#include "smf/wide_number.h"
#include "song/song.h"

namespace zirvon::smf::import {

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
            segments_.push_back({0, Wide{}, drop ? 1'001'000'000u : 1'000'000u});
            return;
        }
        scale_ = file.division;
        segments_.push_back({0, Wide{}, 500'000});
        for (const SmfTempo& t : file.tempos) {
            Segment& last = segments_.back();
            if (t.tick == last.tick) {
                last.rate = t.microseconds;
                continue;
            }
            const Wide at = last.at + Wide::product(t.tick - last.tick, last.rate);
            segments_.push_back({t.tick, at, t.microseconds});
        }
    }
    /// Microseconds x scale_ at file tick `tick`.
    Wide scaled(std::uint64_t tick) const {
        auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                   [](std::uint64_t t, const Segment& s) { return t < s.tick; });
        --it;
        return it->at + Wide::product(tick - it->tick, it->rate);
    }
    std::uint64_t micros(std::uint64_t tick) const { return clamp(scaled(tick).divided_by(scale_)); }
    /// The nearest 20 ms tick.
    std::uint64_t tick(std::uint64_t file_tick) const {
        // At most 20,000 x 30,000 x 255 frames: well inside 64 bits.
        const std::uint64_t per_tick = static_cast<std::uint64_t>(kTickMicroseconds) * scale_;
        return clamp((scaled(file_tick) + Wide{0, per_tick / 2}).divided_by(per_tick));
    }

  private:
    struct Segment {
        std::uint64_t tick;
        Wide at;
        std::uint64_t rate;
    };
    static std::uint64_t clamp(std::uint64_t v) { return std::min(v, kLastTick * 1'000'000); }

    std::vector<Segment> segments_;
    std::uint64_t scale_ = 1;
};

/// A note on its way: the file's note, its ticks and what became of it.
struct Candidate {
    std::size_t source = 0;   ///< index in SmfFile::notes
    std::uint64_t a = 0;      ///< start tick
    std::uint64_t start = 0;  ///< a before it moved a tick to make room
    std::uint64_t b = 0;      ///< end tick, after a
    std::uint64_t end = 0;    ///< b before a bar line cut it
    std::uint64_t e = 0;      ///< where its track is free again: b, and at least a + 2
    std::uint8_t pitch = 0;
    int line = 0;               ///< the file's track and channel
    bool outer = false;         ///< highest or lowest at a moment more than eight sound
    bool shorter = false;       ///< shorter than a tick, made one tick long
    bool raised = false;        ///< below MIDI note 24, raised by octaves
    bool struck_again = false;  ///< longer than an event holds
    bool kept = false;
    bool crowded = false;  ///< left out where more than eight sound
    bool cut_at_bar = false;
    /// Cut at a bar line it is held across, and struck again after it...
    bool restruck_at_bar = false;
    /// ...as this: the rest of a note struck again at a bar line.
    bool continued = false;
    int track = 0;
    std::uint64_t on = 0;
    std::uint64_t release = 0;
};

inline std::uint64_t busy_end(std::uint64_t a, std::uint64_t b) {
    return std::max(b, a + 2);
}

/// The bar lines of the file up to (and one past) `last`, in file ticks,
/// from its time signatures.
std::vector<std::uint64_t> bar_lines(const SmfFile& file, std::uint64_t last);

/// Marks the notes that are the highest or lowest sounding at a moment when
/// more than eight sound.
void mark_outer(std::vector<Candidate>& notes);

/// Keeps at most eight notes sounding at once, the ones that matter most first.
void choose_notes(std::vector<Candidate>& notes);

/// Gives each kept note a track: its line's own where that is free, else
/// one its line used before, else one no line has, else the one free longest.
void assign_tracks(std::vector<Candidate>& notes);

/// Which bar lines (ticks, with their bar numbers from 1) get a sync mark:
/// those that no note is held across, at least three ticks after the one
/// before, the last one after every note; and where notes are held across
/// every line of four bars, one of those lines, the notes held across it
/// struck again there (their rests go to `pieces`). The notes that run up
/// to a bar line that gets one are cut a tick short.
std::vector<std::pair<std::uint64_t, std::size_t>> choose_bar_lines(
    const std::vector<std::uint64_t>& lines, std::vector<Candidate>& notes,
    std::deque<Candidate>& pieces);

/// Whether `g` is a gate that MML writes for a note of `length` ticks with a
/// ratio of 1 to 8 or a tie, and so without a warning.
bool plain_gate(std::uint64_t length, std::uint64_t g);

/// Lays the notes of one track out as events, block by block.
class Layout {
  public:
    std::vector<TrackEvent> events;
    /// Events of each block, its sync mark included.
    std::vector<std::size_t> block_events;

    void rest(std::uint64_t from, std::uint64_t to) {
        // A note moved onto the tick of the next one leaves no rest (and a
        // difference that wrapped round would ask for billions).
        if (to <= from) return;
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
    void note(Candidate& n, std::uint64_t a, std::uint64_t next) {
        std::uint64_t b = n.b;
        n.on = a;
        while (b - a > 255) {
            const std::uint64_t step = b - a >= 256 + 2 ? 256 : 254;
            push({n.pitch, static_cast<std::uint8_t>(step - 1),
                  static_cast<std::uint8_t>(step - 1)});
            a += step;
            n.struck_again = true;
        }
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

}  // namespace zirvon::smf::import
