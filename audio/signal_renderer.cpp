#include "audio/signal_renderer.h"

#include <algorithm>
#include <cmath>

namespace zirvon::audio {

SignalRenderer::SignalRenderer(cassette::CassetteSignal& signal, std::uint64_t lead_frames, bool (*interrupted)())
    : signal_(signal), interrupted_(interrupted), lead_(lead_frames) {}

void SignalRenderer::next(float* mono, unsigned frames) {
    std::size_t filled = 0;
    const auto lead = static_cast<unsigned>(std::min<std::uint64_t>(lead_, frames));
    lead_ -= lead;
    std::fill(mono, mono + lead, 0.0f);
    mono += lead;
    frames -= lead;
    if (!done_.load(std::memory_order_relaxed) && frames > 0) {
        if (interrupted_()) {
            done_.store(true, std::memory_order_release);
        } else {
            filled = signal_.render({mono, frames});
            sent_.fetch_add(filled, std::memory_order_release);
            if (filled < frames) done_.store(true, std::memory_order_release);
        }
    }
    std::fill(mono + filled, mono + frames, 0.0f);
}

void SignalRenderer::render(float* out, unsigned frames) {
    for (unsigned at = 0; at < frames; at += kChunk) {
        const unsigned n = std::min(kChunk, frames - at);
        next(chunk_.data(), n);
        for (unsigned i = 0; i < n; ++i) out[2 * (at + i)] = out[2 * (at + i) + 1] = chunk_[i];
    }
    buffers_.fetch_add(1, std::memory_order_relaxed);
}

void SignalRenderer::render(std::int16_t* out, unsigned frames) {
    for (unsigned at = 0; at < frames; at += kChunk) {
        const unsigned n = std::min(kChunk, frames - at);
        next(chunk_.data(), n);
        for (unsigned i = 0; i < n; ++i) {
            const auto sample = static_cast<std::int16_t>(std::lround(chunk_[i] * 32767.0f));
            out[2 * (at + i)] = out[2 * (at + i) + 1] = sample;
        }
    }
    buffers_.fetch_add(1, std::memory_order_relaxed);
}

void SignalRenderer::render(float* left, float* right, unsigned frames) {
    next(left, frames);
    std::copy(left, left + frames, right);
    buffers_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace zirvon::audio
