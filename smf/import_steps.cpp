#include "smf/import_steps.h"

#include <array>
#include <functional>
#include <numeric>
#include <optional>
#include <queue>
#include <tuple>

#include "mml/mml_writer.h"

namespace zirvon::smf::import {
namespace {

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

}  // namespace

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

/// Marks the notes that are the highest or lowest sounding at a moment when
/// more than eight sound. Notes come in the order of their starts, and the
/// count changes only where one starts: the notes sounding on each pitch,
/// and their ends, the earliest first.
void mark_outer(std::vector<Candidate>& notes) {
    std::array<std::vector<std::size_t>, 256> sounding;
    std::size_t count = 0;
    using Ending = std::pair<std::uint64_t, std::size_t>;
    std::priority_queue<Ending, std::vector<Ending>, std::greater<>> endings;
    for (std::size_t i = 0; i < notes.size();) {
        const std::uint64_t a = notes[i].a;
        for (; !endings.empty() && endings.top().first <= a; endings.pop()) {
            std::erase(sounding[notes[endings.top().second].pitch], endings.top().second);
            --count;
        }
        for (; i < notes.size() && notes[i].a == a; ++i) {
            sounding[notes[i].pitch].push_back(i);
            endings.emplace(notes[i].b, i);
            ++count;
        }
        if (count <= static_cast<std::size_t>(kVoices)) continue;
        std::size_t high = 255;
        while (sounding[high].empty()) --high;
        std::size_t low = 0;
        while (sounding[low].empty()) ++low;
        for (std::size_t j : sounding[high]) notes[j].outer = true;
        for (std::size_t j : sounding[low]) notes[j].outer = true;
    }
}

/// Keeps at most eight notes sounding at once, the ones that matter most
/// first. Two counts: the notes sounding, [a, b), which decide what is left
/// out, and the tracks held, [a, e), which a note of one tick holds a tick
/// longer; where only the second is full, the note, or its start, moves a
/// tick if that makes room.
void choose_notes(std::vector<Candidate>& notes) {
    std::vector<std::uint64_t> ticks;
    for (const Candidate& c : notes) {
        ticks.push_back(c.a);
        ticks.push_back(c.e);
        if (c.a > 0) ticks.push_back(c.a - 1);
        ticks.push_back(c.a + 1);
        ticks.push_back(c.e + 1);
    }
    std::sort(ticks.begin(), ticks.end());
    ticks.erase(std::unique(ticks.begin(), ticks.end()), ticks.end());
    const auto slot = [&ticks](std::uint64_t t) {
        return static_cast<std::size_t>(std::lower_bound(ticks.begin(), ticks.end(), t) -
                                        ticks.begin());
    };
    std::vector<std::size_t> order(notes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Index last: the order is the same whichever sort the library has.
    std::sort(order.begin(), order.end(), [&notes](std::size_t x, std::size_t y) {
        const Candidate& a = notes[x];
        const Candidate& b = notes[y];
        return std::make_tuple(!a.outer, b.b - b.a, a.a, x) <
               std::make_tuple(!b.outer, a.b - a.a, b.a, y);
    });
    Crowd sound(ticks.size());
    Crowd held(ticks.size());
    const auto fits = [&](std::uint64_t a, std::uint64_t b) {
        const std::uint64_t e = busy_end(a, b);
        return sound.most(slot(a), slot(b)) < kVoices && held.most(slot(a), slot(e)) < kVoices;
    };
    for (std::size_t i : order) {
        Candidate& c = notes[i];
        if (sound.most(slot(c.a), slot(c.b)) >= kVoices) {
            c.crowded = true;
            continue;
        }
        // As it is; a note of one tick a tick earlier or later; a longer one
        // starting a tick later.
        std::uint64_t a = c.a;
        std::uint64_t b = c.b;
        if (!fits(a, b)) {
            if (b == a + 1 && a > 0 && fits(a - 1, a)) {
                --a;
                --b;
            } else if (b == a + 1 && fits(a + 1, b + 1)) {
                ++a;
                ++b;
            } else if (b > a + 1 && fits(a + 1, b)) {
                ++a;
            } else {
                continue;
            }
        }
        c.a = a;
        c.b = b;
        c.e = busy_end(a, b);
        sound.add(slot(c.a), slot(c.b));
        held.add(slot(c.a), slot(c.e));
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

/// Which bar lines (ticks, with their bar numbers from 1) get a sync mark:
/// those that no note is held across, at least three ticks after the one
/// before, the last one after every note. Where notes are held across every
/// bar line of four bars, the one of those lines that strikes fewest again
/// gets one anyway: a song of one endless block could not be cut to fit.
std::vector<std::pair<std::uint64_t, std::size_t>> choose_bar_lines(
    const std::vector<std::uint64_t>& lines, std::vector<Candidate>& notes,
    std::deque<Candidate>& pieces) {
    std::vector<std::pair<std::uint64_t, std::size_t>> kept;
    std::uint64_t last_end = 0;
    std::uint64_t last_busy = 0;
    for (const Candidate& c : notes) {
        if (!c.kept) continue;
        last_end = std::max(last_end, c.b);
        last_busy = std::max(last_busy, c.e);
    }
    // The notes of the block so far that may still sound at a line of it;
    // some start after the line looked at, when the look goes back.
    std::vector<Candidate*> block;
    std::size_t next = 0;
    // How a line would do as the block's end: the notes struck again there,
    // and those that start too close before it to be cut, which start on it
    // instead; or none at all where a note ends too close after it to start
    // again, or one too close before it ends there.
    const auto restruck_at = [&block](std::uint64_t line) -> std::optional<std::size_t> {
        std::size_t changed = 0;
        for (const Candidate* c : block) {
            if (c->a >= line || c->e <= line - 1) continue;
            if (c->e > line && c->e < line + 2) return std::nullopt;
            if (c->a + 3 > line && c->e <= line) return std::nullopt;
            changed += c->e > line;
        }
        return changed;
    };
    const auto end_block = [&](std::size_t i) {
        const std::uint64_t line = lines[i];
        const std::uint64_t sync = line - 1;
        const std::size_t before = block.size();
        for (std::size_t k = 0; k < before; ++k) {
            Candidate* c = block[k];
            if (c->a >= line || c->e <= sync) continue;
            if (c->a + 3 > line) {
                // Held across, but too short before the line to be cut: it
                // starts on the line, a tick or two late.
                c->a = line;
                c->e = busy_end(c->a, c->b);
                continue;
            }
            if (c->e > line) {
                // The rest of the note, struck again as the next block starts.
                Candidate rest = *c;
                rest.a = line;
                rest.start = line;
                rest.e = busy_end(rest.a, rest.b);
                rest.continued = true;
                rest.shorter = false;
                rest.raised = false;
                pieces.push_back(rest);
                c->end = sync;
                c->restruck_at_bar = true;
                block.push_back(&pieces.back());
            } else {
                c->cut_at_bar = true;
            }
            c->b = sync;
            c->e = busy_end(c->a, c->b);
        }
        std::erase_if(block, [line](const Candidate* c) { return c->e <= line && c->a < line; });
        kept.push_back({line, i + 1});
    };
    std::size_t first = 0;  // the index of the block's first bar line
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::uint64_t line = lines[i];
        const std::uint64_t block_start = kept.empty() ? 0 : kept.back().first;
        if (line < block_start + 3) continue;
        for (; next < notes.size() && notes[next].a < line; ++next) {
            if (notes[next].kept) block.push_back(&notes[next]);
        }
        if (i >= first + 3) {
            // Only the last four lines are looked back at. (Bars of less
            // than a tick put lines on tick 0, before which nothing ends.)
            if (lines[i - 3] > 0) {
                const std::uint64_t from = lines[i - 3] - 1;
                std::erase_if(block, [from](const Candidate* c) { return c->e <= from; });
            }
        }
        const std::optional<std::size_t> restruck = restruck_at(line);
        if (restruck == 0) {
            end_block(i);
        } else if (i >= first + 3) {
            // Four bars held together: the line of theirs that strikes fewest
            // again, the latest of equals, ends the block.
            std::optional<std::pair<std::size_t, std::size_t>> best;  // restruck, line index
            for (std::size_t j = i - 3; j <= i; ++j) {
                if (lines[j] < block_start + 3) continue;
                const auto n = restruck_at(lines[j]);
                if (n && (!best || *n <= best->first)) best = std::pair{*n, j};
            }
            if (!best) continue;
            end_block(best->second);
            i = best->second;
        } else {
            continue;
        }
        first = i + 1;
        if (lines[i] >= last_end || kept.size() >= kImageRoom) break;
    }
    if (!kept.empty() && kept.back().first >= last_end) return kept;
    // No bar line after the last note could take a sync mark: one right after it.
    const std::uint64_t end =
        std::max<std::uint64_t>(last_busy + 1, kept.empty() ? 3 : kept.back().first + 3);
    kept.push_back({end, lines.size() + 1});
    return kept;
}

}  // namespace zirvon::smf::import
