#include "smf/midi_import.h"

#include <algorithm>
#include <array>
#include <deque>
#include <numeric>
#include <tuple>

#include "smf/import_steps.h"
#include "smf/smf_reader.h"
#include "text/format.h"

namespace zirvon::smf {
namespace {

using namespace import;

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
        if (n) s.not_kept.push_back(counted_with_commas(n, what));
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
    summary.zero_tempos = file.zero_tempos;
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
        }
        c.end = c.b;
        c.e = busy_end(c.a, c.b);
        c.start = c.a;
        int key = n.key;
        if (key < kLowestImportedKey) {
            while (key < kLowestImportedKey) key += 12;
            c.raised = true;
        }
        c.pitch = static_cast<std::uint8_t>(key - kPitchToMidi);
        c.line = n.track * 16 + n.channel;
        last_file_tick = std::max(last_file_tick, n.end);
        notes.push_back(c);
    }
    // By start, the higher first; the file's order (stable) where those tie.
    const auto by_start = [](const Candidate& x, const Candidate& y) {
        return std::make_tuple(x.a, -static_cast<int>(x.pitch), x.line) <
               std::make_tuple(y.a, -static_cast<int>(y.pitch), y.line);
    };
    std::stable_sort(notes.begin(), notes.end(), by_start);
    mark_outer(notes);
    choose_notes(notes);
    std::stable_sort(notes.begin(), notes.end(), by_start);  // some start a tick off now
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
        if (c.crowded) {
            ++summary.dropped_crowded;
            summary.crowded_bars.push_back(bar_of(c.a));
        } else {
            ++summary.dropped_no_room;
        }
    }
    std::sort(summary.crowded_bars.begin(), summary.crowded_bars.end());
    summary.crowded_bars.erase(
        std::unique(summary.crowded_bars.begin(), summary.crowded_bars.end()),
        summary.crowded_bars.end());

    const bool any =
        std::any_of(notes.begin(), notes.end(), [](const Candidate& c) { return c.kept; });
    std::vector<std::pair<std::uint64_t, std::size_t>> lines;
    std::deque<Candidate> pieces;
    if (any) lines = choose_bar_lines(raw_lines, notes, pieces);

    // Each track's events, block by block.
    std::array<Layout, kTrackCount> layouts;
    std::array<std::vector<Candidate*>, kTrackCount> by_track;
    for (Candidate& c : notes) {
        if (c.kept) by_track[c.track].push_back(&c);
    }
    for (Candidate& c : pieces) by_track[c.track].push_back(&c);
    for (auto& track : by_track) {
        std::stable_sort(track.begin(), track.end(),
                         [](const Candidate* x, const Candidate* y) { return x->a < y->a; });
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
                out.note(n, a, next);
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
        if (blocks == 0 && !lines.empty()) {
            // Writing an empty song would lose every note without a word:
            // a first block larger than an image is refused instead.
            error = "its first block (bars 1 to " + std::to_string(lines[0].second) +
                    ") holds more events than a tape image has room for; nothing is imported";
            return false;
        }
        if (blocks < lines.size()) {
            summary.cut_after_bar = blocks ? lines[blocks - 1].second : 0;
            const std::uint64_t end = blocks ? lines[blocks - 1].first : 0;
            for (Candidate& c : notes) {
                if (c.kept && c.a >= end) {
                    c.kept = false;
                    ++summary.dropped_past_end;
                }
            }
            // The rest of a note past the end goes with it.
            for (Candidate& c : pieces) c.kept = c.kept && c.a < end;
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

    // A note struck again at bar lines is one note of the file in several
    // parts: it starts with its first and is released with its last.
    std::vector<const Candidate*> parts;
    for (const Candidate& c : notes) {
        if (c.kept) parts.push_back(&c);
    }
    for (const Candidate& c : pieces) {
        if (c.kept) parts.push_back(&c);
    }
    std::stable_sort(parts.begin(), parts.end(), [](const Candidate* x, const Candidate* y) {
        return std::tie(x->source, x->a) < std::tie(y->source, y->a);
    });
    const auto distance = [](std::uint64_t ticks, std::uint64_t micros) {
        const std::uint64_t t = ticks * kTickMicroseconds;
        return t > micros ? t - micros : micros - t;
    };
    for (std::size_t i = 0; i < parts.size();) {
        const Candidate& first = *parts[i];
        const SmfNote& n = file.notes[first.source];
        bool moved = false;
        std::size_t j = i;
        for (; j < parts.size() && parts[j]->source == first.source; ++j) {
            const Candidate& c = *parts[j];
            const bool part_moved =
                c.shorter || c.on != c.start || c.release + 1 < c.end || c.release > c.end;
            moved = moved || part_moved;
            summary.restruck += c.struck_again && !c.continued;
            imported.notes.push_back(
                {c.track, c.pitch, c.start, c.end, c.on, c.release, part_moved, c.continued});
        }
        const Candidate& last = *parts[j - 1];
        ++summary.kept;
        summary.restruck_at_bars += j - i - 1;
        summary.shorter_than_a_tick += first.shorter;
        summary.raised += first.raised;
        summary.moved += moved;
        if (last.cut_at_bar && !first.shorter && first.on == first.start)
            ++summary.moved_at_bar_lines;
        summary.largest_start_change =
            std::max(summary.largest_start_change, distance(first.on, time.micros(n.start)));
        // A note whose rest went with the blocks past the image's end has no
        // release of its own to compare.
        if (!last.restruck_at_bar) {
            summary.largest_end_change =
                std::max(summary.largest_end_change, distance(last.release, time.micros(n.end)));
        }
        i = j;
    }
    return true;
}

std::string import_comment(std::string_view base_name) {
    return "imported by zirvon from " + std::string(base_name) +
           ": one block a bar (or more, where a note is held across)";
}

std::vector<std::string> summary_lines(const ImportSummary& s, const std::string& name) {
    std::vector<std::string> lines;
    lines.push_back(name + ": " + with_commas(s.kept) + " of " +
                    counted_with_commas(s.notes_in_file, "note") + " kept on " +
                    counted_with_commas(static_cast<std::uint64_t>(s.tracks_used), "track") + ", " +
                    counted_with_commas(s.bars, "bar") + " in " +
                    counted_with_commas(s.blocks, "block") + ", " +
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
                          " a tick or two off to make room for the events around them");
        lines.push_back("  moved: " + counted_with_commas(s.moved, "note") + " (" + joined(why) +
                        ")");
    }
    lines.push_back("  largest timing change: " + milliseconds(s.largest_start_change) +
                    " at a start, " + milliseconds(s.largest_end_change) + " at a release");
    std::vector<std::string> dropped;
    if (s.dropped_crowded) {
        dropped.push_back(with_commas(s.dropped_crowded) +
                          " where more than eight sound at once (" + bar_list(s.crowded_bars) +
                          ")");
    }
    if (s.dropped_no_room) {
        dropped.push_back(with_commas(s.dropped_no_room) +
                          " a tick long beside eight others, which leave no track for the tick"
                          " after it");
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
        const std::size_t n =
            s.dropped_crowded + s.dropped_no_room + s.dropped_percussion + s.dropped_past_end;
        lines.push_back("  left out: " + counted_with_commas(n, "note") + ": " + joined(dropped));
    }
    if (s.raised)
        lines.push_back("  raised by octaves: " + counted_with_commas(s.raised, "note") +
                        " below MIDI note 24");
    if (s.restruck)
        lines.push_back("  struck again every 5.12 s: " + counted_with_commas(s.restruck, "note") +
                        " held longer than that");
    if (s.restruck_at_bars) {
        lines.push_back(
            "  struck again at bar lines: " + counted_with_commas(s.restruck_at_bars, "time") +
            ", where notes are held over every bar line of four bars");
    }
    if (!s.not_kept.empty()) lines.push_back("  not kept: " + joined(s.not_kept));
    if (s.zero_tempos) {
        lines.push_back(
            "warning: '" + name + "' sets a tempo of 0 (no time passes) " +
            (s.zero_tempos == 1 ? std::string("once") : with_commas(s.zero_tempos) + " times") +
            ": ignored, the tempo before it goes on");
    }
    return lines;
}

}  // namespace zirvon::smf
