#include "outputs/messages.h"

#include "song/song.h"
#include "synth/wav_file.h"
#include "text/format.h"

namespace zirvon {

std::string left_out_notes_warning(int count) {
    if (count == 0) return {};
    return std::to_string(count) +
           (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are") +
           " left out";
}

bool fits_wav_file(std::uint64_t done_tick) { return synth::wav_frames(done_tick) <= synth::kMaxWavFrames; }

std::string wav_too_long_error(std::string_view name, bool passage, std::uint64_t done_tick) {
    const std::uint64_t longest = (synth::kMaxWavFrames - synth::kTailFrames) / synth::kFramesPerTick;
    return "cannot write '" + std::string(name) + "': the " + (passage ? "passage" : "song") + " lasts " +
           hours_minutes_seconds((done_tick + kTicksPerSecond - 1) / kTicksPerSecond) +
           " and a WAV file holds at most " + hours_minutes_seconds(longest / kTicksPerSecond) +
           "; choose a part of it with /from and /to";
}

}  // namespace zirvon
