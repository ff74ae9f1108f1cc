#include "audio/live_renderer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zirvon::audio {

LiveRenderer::LiveRenderer(unsigned rate, bool (*interrupted)())
    : rate_(rate), interrupted_(interrupted), synth_(rate) {}

void LiveRenderer::start(play::LiveOutput::Tick tick) {
    tick_ = std::move(tick);
    stopping_.store(false);
    state_.store(starting, std::memory_order_release);
}

void LiveRenderer::stop() {
    // With render(): either it sees stopping_, or this sees it rendering and
    // waits for the buffer to end (both flags are sequentially consistent).
    stopping_.store(true);
    while (rendering_.load()) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void LiveRenderer::fade_out() { fade_.store(true); }

std::uint64_t LiveRenderer::tick_frame(std::uint64_t n) const {
    return first_frame_ + synth::tick_frame(n, rate_);
}

template <typename RenderSome>
void LiveRenderer::render_buffer(unsigned frames, RenderSome render_some) {
    rendering_.store(true);
    if (fade_.load() || interrupted_()) {
        fade_.store(true);
        stopping_.store(true);
        synth_.fade_out();
    }
    if (state_.load(std::memory_order_acquire) == starting && !stopping_.load()) {
        first_frame_ = frame_;
        next_tick_ = 0;
        state_.store(ticking, std::memory_order_relaxed);
    }
    const bool ticks_run = state_.load(std::memory_order_relaxed) == ticking;
    const std::uint64_t end = frame_ + frames;
    while (frame_ < end) {
        std::uint64_t until = end;
        if (ticks_run && !stopping_.load()) {
            const std::uint64_t due = tick_frame(next_tick_);
            if (due <= frame_) {
                tick_(next_tick_++, synth_);
                continue;
            }
            until = std::min(until, due);
        }
        render_some(static_cast<int>(until - frame_));
        frame_ = until;
    }
    quiet_.store(synth_.silent(), std::memory_order_release);
    buffers_.fetch_add(1, std::memory_order_relaxed);
    rendering_.store(false);
}

void LiveRenderer::render(float* out, unsigned frames) {
    render_buffer(frames, [&](int n) {
        synth_.render(out, n);
        out += 2 * n;
    });
}

void LiveRenderer::render(std::int16_t* out, unsigned frames) {
    render_buffer(frames, [&](int n) {
        synth_.render(out, n);
        out += 2 * n;
    });
}

void LiveRenderer::render(float* left, float* right, unsigned frames) {
    render_buffer(frames, [&](int n) {
        synth_.render(left, right, n);
        left += n;
        right += n;
    });
}

}  // namespace zirvon::audio
