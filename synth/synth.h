// The built-in synthesizer: eight voices, one for each played track, that
// take the player's MIDI messages and give stereo audio.
#pragma once

#include <array>
#include <cstdint>

#include "synth/voice.h"
#include "play/player.h"

namespace zirvon::synth {

/// The frame, counted from tick 0's, on which tick `tick` of the preview
/// starts at `rate` frames a second: 20 ms a tick, rounded to the nearest
/// frame, so that ticks never drift from the audio clock.
constexpr std::uint64_t tick_frame(std::uint64_t tick, unsigned rate) {
    return (tick * rate + 25) / 50;
}

/// Peak of the mix, of full scale: -1 dBFS is 0.8913. Every voice stays
/// within its level, so eight voices on one pitch, each at its loudest, in
/// phase, stay below this.
inline constexpr double kPeak = 0.89;

/// Note-ons and note-offs on channels 1 to 8 play the voices of tracks 1 to
/// 8; every other message is ignored. Messages take effect at the next frame
/// rendered.
class Synth : public play::MidiSink {
public:
    explicit Synth(double rate);

    void send(const play::MidiMessage& message) override;

    /// Renders `frames` stereo frames into `out`, left then right.
    void render(float* out, int frames);
    void render(std::int16_t* out, int frames);
    /// The same into a buffer for each channel.
    void render(float* left, float* right, int frames);

    /// Fades everything out over a few milliseconds, and stays silent
    /// after: notes that come later are not heard.
    void fade_out();
    /// True when nothing sounds and nothing will until the next note-on.
    bool silent() const;

private:
    /// Up to this many frames are mixed at a time.
    static constexpr int kBlock = 256;

    /// Mixes `frames` (at most kBlock) frames into left_ and right_, master
    /// gain and fade applied.
    void mix(int frames);
    /// Mixes `frames` frames a block at a time, handing each frame's left
    /// and right to `put`.
    template <typename Put>
    void render_with(int frames, Put put);

    std::array<Voice, 8> voices_;
    std::array<int, 8> notes_{};
    double master_ = 0.0;
    double fade_ = 1.0;
    double fade_step_ = 0.0;
    bool fading_ = false;
    std::array<double, kBlock> left_{};
    std::array<double, kBlock> right_{};
};

}  // namespace zirvon::synth
