// What the MIDI import's tests share: files made event by event, and an
// import checked through and through.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "smf/midi_import.h"

namespace zirvon::smf {

using Bytes = std::vector<std::uint8_t>;

/// A MIDI file under construction: events at absolute ticks on tracks.
class FileMaker {
  public:
    explicit FileMaker(int division, int tracks = 2)
        : division_(division), tracks_(static_cast<std::size_t>(tracks)) {}

    void tempo(std::uint64_t tick, std::uint32_t micros) {
        add(0, tick,
            {0xFF, 0x51, 3, static_cast<std::uint8_t>(micros >> 16),
             static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)});
    }
    void meter(std::uint64_t tick, int numerator, int power) {
        add(0, tick,
            {0xFF, 0x58, 4, static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(power),
             24, 8});
    }
    void note(int track, int channel, std::uint64_t start, std::uint64_t end, int key,
              int velocity = 100) {
        add(track, start,
            {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
             static_cast<std::uint8_t>(velocity)});
        add(track, end,
            {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0}, true);
    }
    Bytes bytes() const {
        Bytes out = {'M',
                     'T',
                     'h',
                     'd',
                     0,
                     0,
                     0,
                     6,
                     0,
                     1,
                     0,
                     static_cast<std::uint8_t>(tracks_.size()),
                     static_cast<std::uint8_t>(division_ >> 8),
                     static_cast<std::uint8_t>(division_)};
        for (auto events : tracks_) {
            // Note-offs before note-ons at one tick, as sequencers write them.
            std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
                return std::make_pair(a.tick, !a.off) < std::make_pair(b.tick, !b.off);
            });
            Bytes data;
            std::uint64_t at = 0;
            for (const Event& e : events) {
                number(data, e.tick - at);
                at = e.tick;
                data.insert(data.end(), e.bytes.begin(), e.bytes.end());
            }
            data.insert(data.end(), {0, 0xFF, 0x2F, 0});
            out.insert(out.end(), {'M', 'T', 'r', 'k'});
            for (int shift = 24; shift >= 0; shift -= 8)
                out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
            out.insert(out.end(), data.begin(), data.end());
        }
        return out;
    }

  private:
    struct Event {
        std::uint64_t tick;
        Bytes bytes;
        bool off;
    };
    void add(int track, std::uint64_t tick, Bytes bytes, bool off = false) {
        tracks_[static_cast<std::size_t>(track)].push_back({tick, std::move(bytes), off});
    }
    static void number(Bytes& out, std::uint64_t v) {
        Bytes groups{static_cast<std::uint8_t>(v & 0x7F)};
        while (v >>= 7) groups.push_back(static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
        out.insert(out.end(), groups.rbegin(), groups.rend());
    }
    int division_;
    std::vector<std::vector<Event>> tracks_;
};

/// Imports, writes the MML, compiles it, and checks what an import promises:
/// the MML compiles without a word to the same song; every kept note sounds
/// on its tick with its pitch; every block starts on one tick on every track.
ImportedSong import_and_check(const Bytes& bytes, const std::string& what);

}  // namespace zirvon::smf
