#include "web/wasm/midi_messages.h"

#include <string>
#include <vector>

#include "smf/midi_file.h"
#include "tape/tape_image.h"

namespace zirvon::web {

bool write_passage_messages(std::span<const std::uint8_t> image, const play::Passage& passage,
                            WireWriter& out) {
    Song song;
    std::string error;
    if (!load_tape_image(image, song, error)) return false;
    play::Passage every_track = passage;
    every_track.audible = play::kAllPlayedTracks;
    play::PassageRun run;
    const std::vector<smf::TimedMessage> messages = smf::passage_messages(song, every_track, run);
    out.u32(static_cast<std::uint32_t>(run.done_tick));
    out.u32(static_cast<std::uint32_t>(messages.size()));
    for (const smf::TimedMessage& m : messages) {
        out.u32(static_cast<std::uint32_t>(m.tick));
        out.u8(m.message.status);
        out.u8(m.message.data1);
        out.u8(m.message.data2);
    }
    return true;
}

}  // namespace zirvon::web
