// Rendering a run of the player into a WAV file, streamed: the messages of
// the run, with their ticks, in; the file's bytes out in pieces, header first.
// Whatever drives the player (a whole song, a passage of it) feeds it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "synth/synth.h"
#include "play/player.h"
#include "song/byte_sink.h"

namespace zirvon::synth {

class WavRender {
public:
    /// Takes the next piece of the file; false when it cannot be written.
    using Write = ByteSink;

    /// For a run that is done on tick `done_tick`; the file's length follows
    /// from it (see wav_frames), and must be at most kMaxWavFrames.
    WavRender(std::uint64_t done_tick, Write write);

    /// A message sent on `tick`; ticks come in order, none past the done tick.
    void add(std::uint64_t tick, const play::MidiMessage& message);
    /// Renders the rest of the file. False when a piece could not be
    /// written; nothing is written after the first failure.
    bool finish();

private:
    /// Renders and writes the file up to frame `frame`.
    void render_until(std::uint64_t frame);
    void flush();

    Write write_;
    Synth synth_;
    std::uint64_t frames_;
    std::uint64_t rendered_ = 0;
    bool ok_ = true;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace zirvon::synth
