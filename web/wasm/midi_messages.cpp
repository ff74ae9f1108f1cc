#include "web/wasm/midi_messages.h"

#include <string>
#include <vector>

#include "smf/midi_file.h"
#include "tape/tape_image.h"

namespace zirvon::web {
namespace {

struct Stamped {
    std::uint64_t tick;
    play::MidiMessage message;
};

}  // namespace

bool write_passage_messages(std::span<const std::uint8_t> image, const play::Passage& passage,
                            WireWriter& out) {
    Song song;
    std::string error;
    if (!load_tape_image(image, song, error)) return false;
    play::Passage every_track = passage;
    every_track.audible = play::kAllPlayedTracks;
    std::vector<Stamped> sent;
    play::TrackMask sending = 0;
    const play::PassageRun run =
        play::play_passage(song, every_track, [&](std::uint64_t tick, const play::MidiMessage& m) {
            sent.push_back({tick, m});
            sending = static_cast<play::TrackMask>(sending | (1u << (m.status & 0x0F)));
        });
    std::vector<Stamped> programs;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if ((sending >> k) & 1u) programs.push_back({0, smf::program_change(k)});
    }
    out.u32(static_cast<std::uint32_t>(run.done_tick));
    out.u32(static_cast<std::uint32_t>(programs.size() + sent.size()));
    for (const std::vector<Stamped>* list : {&programs, &sent}) {
        for (const Stamped& s : *list) {
            out.u32(static_cast<std::uint32_t>(s.tick));
            out.u8(s.message.status);
            out.u8(s.message.data1);
            out.u8(s.message.data2);
        }
    }
    return true;
}

}  // namespace zirvon::web
