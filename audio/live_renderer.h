// The synthesizer on an audio device's clock: what the device's callback
// calls for each buffer. It runs the preview's ticks at their exact frames
// (tick n at frame round(n x rate / 50) from the first, on the synthesizer's
// tick schedule) and renders the voices between them, so that no timer is
// needed. Shared by the audio port of every platform.
//
// The device thread calls render(); the others only start, stop and fade, and
// read quiet(). Nothing in render() allocates, locks or waits.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/sound_renderer.h"
#include "play/live_output.h"
#include "synth/synth.h"
#include "synth/tick_schedule.h"

namespace zirvon::audio {

class LiveRenderer final : public SoundRenderer {
public:
    /// `interrupted` is asked at every buffer; when it says yes, the sound
    /// fades out at once and the ticks stop, without waiting for the preview
    /// to notice.
    LiveRenderer(unsigned rate, bool (*interrupted)());

    /// Tick 0 comes at the first frame of the next buffer rendered.
    void start(play::LiveOutput::Tick tick);
    /// No tick runs after this returns; notes that sound go on.
    void stop();
    /// Fades everything out in a few milliseconds.
    void fade_out();
    /// True once nothing sounds: every release is over, or the fade is.
    bool quiet() const { return quiet_.load(std::memory_order_acquire); }
    /// Buffers rendered so far.
    std::uint64_t buffers() const { return buffers_.load(std::memory_order_relaxed); }

    /// The device's part: fills `out` with `frames` stereo frames, left
    /// then right, or `left` and `right` with a channel each.
    void render(float* out, unsigned frames) override;
    void render(std::int16_t* out, unsigned frames) override;
    void render(float* left, float* right, unsigned frames) override;

private:
    enum State { idle, starting, ticking };

    /// One buffer: fades out when asked, starts the ticks, and has
    /// `render_some(go_on, tick)` render it through the schedule.
    template <typename RenderSome>
    void render_buffer(RenderSome render_some);

    bool (*const interrupted_)();
    synth::Synth synth_;
    play::LiveOutput::Tick tick_;

    std::atomic<int> state_ = idle;
    std::atomic<bool> stopping_ = false;
    std::atomic<bool> rendering_ = false;
    std::atomic<bool> fade_ = false;
    std::atomic<bool> quiet_ = true;
    std::atomic<std::uint64_t> buffers_ = 0;

    synth::TickSchedule schedule_;  ///< the device thread's own
};

}  // namespace zirvon::audio
