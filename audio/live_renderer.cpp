#include "audio/live_renderer.h"

#include <chrono>
#include <thread>

namespace zirvon::audio {

LiveRenderer::LiveRenderer(unsigned rate, bool (*interrupted)())
    : interrupted_(interrupted), synth_(rate), schedule_(synth_, rate) {}

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

template <typename RenderSome>
void LiveRenderer::render_buffer(RenderSome render_some) {
    rendering_.store(true);
    if (fade_.load() || interrupted_()) {
        fade_.store(true);
        stopping_.store(true);
        synth_.fade_out();
    }
    if (state_.load(std::memory_order_acquire) == starting && !stopping_.load()) {
        schedule_.restart();
        state_.store(ticking, std::memory_order_relaxed);
    }
    const bool ticks_run = state_.load(std::memory_order_relaxed) == ticking;
    render_some([&] { return ticks_run && !stopping_.load(); },
                [&](std::uint64_t n) { tick_(n, synth_); });
    quiet_.store(synth_.silent(), std::memory_order_release);
    buffers_.fetch_add(1, std::memory_order_relaxed);
    rendering_.store(false);
}

void LiveRenderer::render(float* out, unsigned frames) {
    render_buffer([&](auto go_on, auto tick) { schedule_.render(out, frames, go_on, tick); });
}

void LiveRenderer::render(std::int16_t* out, unsigned frames) {
    render_buffer([&](auto go_on, auto tick) { schedule_.render(out, frames, go_on, tick); });
}

void LiveRenderer::render(float* left, float* right, unsigned frames) {
    render_buffer(
        [&](auto go_on, auto tick) { schedule_.render(left, right, frames, go_on, tick); });
}

}  // namespace zirvon::audio
