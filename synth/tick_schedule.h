// The preview's ticks on an audio clock: tick n falls on frame
// round(n x rate / 50) counted from tick 0's, and the synthesizer renders the
// frames between, so that the ticks never drift from the audio and no timer
// is needed. Every player that renders on a device's clock (the command
// line's audio output, the page's audio thread) drives its ticks through
// this, so they sound the same to the sample.
//
// Nothing here allocates, locks or waits: it runs on audio threads.
#pragma once

#include <algorithm>
#include <cstdint>

#include "synth/synth.h"

namespace zirvon::synth {

class TickSchedule {
public:
    TickSchedule(Synth& synth, unsigned rate) : synth_(synth), rate_(rate) {}

    /// Tick 0 falls on the next frame rendered.
    void restart() {
        first_frame_ = frame_;
        next_tick_ = 0;
    }
    /// Ticks run since restart().
    std::uint64_t ticks_run() const { return next_tick_; }

    /// Renders `frames` frames of the synthesizer, stereo frames left then
    /// right or a buffer for each channel. Before each frame on which a tick
    /// falls, while `ticking()` says yes (asked again before every tick, so
    /// that another thread can stop them mid-buffer), runs `tick(n)`, n
    /// counted from restart(); its messages sound from that frame on.
    template <typename Ticking, typename Tick>
    void render(float* out, std::uint64_t frames, Ticking ticking, Tick tick) {
        run(frames, ticking, tick, [&](int n) {
            synth_.render(out, n);
            out += 2 * n;
        });
    }
    template <typename Ticking, typename Tick>
    void render(std::int16_t* out, std::uint64_t frames, Ticking ticking, Tick tick) {
        run(frames, ticking, tick, [&](int n) {
            synth_.render(out, n);
            out += 2 * n;
        });
    }
    template <typename Ticking, typename Tick>
    void render(float* left, float* right, std::uint64_t frames, Ticking ticking, Tick tick) {
        run(frames, ticking, tick, [&](int n) {
            synth_.render(left, right, n);
            left += n;
            right += n;
        });
    }

private:
    template <typename Ticking, typename Tick, typename RenderSome>
    void run(std::uint64_t frames, Ticking& ticking, Tick& tick, RenderSome render_some) {
        const std::uint64_t end = frame_ + frames;
        while (frame_ < end) {
            std::uint64_t until = end;
            if (ticking()) {
                const std::uint64_t due = first_frame_ + tick_frame(next_tick_, rate_);
                if (due <= frame_) {
                    tick(next_tick_);
                    ++next_tick_;
                    continue;
                }
                until = std::min(until, due);
            }
            render_some(static_cast<int>(until - frame_));
            frame_ = until;
        }
    }

    Synth& synth_;
    const unsigned rate_;
    std::uint64_t frame_ = 0;        ///< frames rendered
    std::uint64_t first_frame_ = 0;  ///< frame of tick 0
    std::uint64_t next_tick_ = 0;
};

}  // namespace zirvon::synth
