#include "app/listing.h"

#include <array>
#include <cstdio>
#include <vector>

namespace zirvon {
namespace {

std::string event_name(const TrackEvent& e) {
    switch (e.note) {
        case SyncMark:
            return "SYNC";
        case EndMark:
            return "END";
        case 255:
            return "MARK";
        default:
            // A gate of 0 starts no note: the event plays as a rest.
            return e.gate == 0 ? "REST" : note_name(e.note);
    }
}

}  // namespace

std::string note_name(std::uint8_t pitch) {
    static constexpr std::array<const char*, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};
    return kNames[pitch % 12] + std::to_string(pitch / 12 + 1);
}

void print_listing(std::ostream& out, const Song& song, const play::SongMap& map) {
    for (int k = 0; k < kTrackCount; ++k) {
        const auto& events = song.tracks[k].events();
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        if (k > 0) out << '\n';
        out << "Track " << k << ": " << events.size() << (events.size() == 1 ? " event" : " events")
            << '\n';
        out << "  index  note  code  length  gate  block      tick\n";
        for (std::size_t i = 0; i < events.size(); ++i) {
            const TrackEvent& e = events[i];
            // Tracks 0 and 9 are never played: no block, no tick.
            std::string block = "-";
            std::string tick = "-";
            if (i < ticks.size()) {
                const std::size_t b = map.block_of(ticks[i]);
                if (b != 0) block = std::to_string(b);
                tick = std::to_string(ticks[i]);
            }
            char row[96];
            std::snprintf(row, sizeof row, "  %5zu  %-4s  %4d  %6d  %4d  %5s  %8s\n", i,
                          event_name(e).c_str(), e.note, e.length, e.gate, block.c_str(),
                          tick.c_str());
            out << row;
        }
    }
}

void print_tape_header(std::ostream& out, const TapeHeaderFields& header) {
    std::string name = header.name();
    // The name is shown as the bytes it is, but no control byte reaches the terminal.
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    char lines[160];
    std::snprintf(lines, sizeof lines,
                  "Data size:          %u bytes\n"
                  "Load address:       0x%04X\n"
                  "Execution address:  0x%04X\n\n",
                  unsigned{header.data_size}, unsigned{header.load_address}, unsigned{header.exec_address});
    out << "Tape name:          " << name << '\n' << lines;
}

}  // namespace zirvon
