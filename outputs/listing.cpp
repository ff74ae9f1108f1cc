#include "outputs/listing.h"

#include <array>
#include <vector>

#include "text/format.h"

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

/// `text` in a column of `width`, on its right, or on its left when `left`.
std::string column(std::string_view text, std::size_t width, bool left = false) {
    std::string padding(width > text.size() ? width - text.size() : 0, ' ');
    return left ? std::string(text) + padding : padding + std::string(text);
}

}  // namespace

std::string note_name(std::uint8_t pitch) {
    static constexpr std::array<const char*, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};
    return kNames[pitch % 12] + std::to_string(pitch / 12 + 1);
}

std::string listing_text(const Song& song, const play::SongMap& map, std::uint16_t tracks) {
    std::string out;
    for (int k = 0; k < kTrackCount; ++k) {
        if (!((tracks >> k) & 1u)) continue;
        const auto& events = song.tracks[k].events();
        const std::vector<std::uint64_t>& ticks = map.read_ticks[k];
        if (!out.empty()) out += '\n';
        out += "Track " + std::to_string(k) + ": " + counted(events.size(), "event") + '\n';
        out += "  index  note  code  length  gate  block      tick\n";
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
            out += "  " + column(std::to_string(i), 5) + "  " + column(event_name(e), 4, true) + "  " +
                   column(std::to_string(e.note), 4) + "  " + column(std::to_string(e.length), 6) + "  " +
                   column(std::to_string(e.gate), 4) + "  " + column(block, 5) + "  " + column(tick, 8) + '\n';
        }
    }
    return out;
}

std::string tape_header_text(const TapeHeaderFields& header) {
    return "Tape name:          " + printable(header.name()) + '\n' +                                      //
           "Data size:          " + std::to_string(header.data_size) + " bytes\n" +    //
           "Load address:       " + hex(header.load_address, 4) + '\n' +               //
           "Execution address:  " + hex(header.exec_address, 4) + "\n\n";
}

}  // namespace zirvon
