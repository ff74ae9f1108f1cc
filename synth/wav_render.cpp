#include "synth/wav_render.h"

#include <algorithm>

#include "synth/wav_file.h"

namespace zirvon::synth {
namespace {

/// Frames rendered at a time; the pieces written are this many frames long.
constexpr std::uint64_t kChunkFrames = 16 * kFramesPerTick;

}  // namespace

WavRender::WavRender(std::uint64_t done_tick, Write write)
    : write_(std::move(write)), synth_(kWavRate), frames_(wav_frames(done_tick)) {
    buffer_.reserve(kChunkFrames * kWavBytesPerFrame);
    const auto header = wav_header(frames_);
    buffer_.assign(header.begin(), header.end());
}

void WavRender::add(std::uint64_t tick, const play::MidiMessage& message) {
    if (!ok_) return;
    render_until(std::min(tick * kFramesPerTick, frames_));
    synth_.send(message);
}

bool WavRender::finish() {
    render_until(frames_);
    flush();
    return ok_;
}

void WavRender::render_until(std::uint64_t frame) {
    std::int16_t samples[2 * 256];
    while (ok_ && rendered_ < frame) {
        const auto n = static_cast<int>(std::min<std::uint64_t>(frame - rendered_, 256));
        synth_.render(samples, n);
        rendered_ += static_cast<std::uint64_t>(n);
        // Little-endian, whatever the host's order.
        const std::size_t at = buffer_.size();
        buffer_.resize(at + std::size_t(n) * kWavBytesPerFrame);
        std::uint8_t* bytes = buffer_.data() + at;
        for (int i = 0; i < 2 * n; ++i) {
            const auto bits = static_cast<std::uint16_t>(samples[i]);
            *bytes++ = static_cast<std::uint8_t>(bits);
            *bytes++ = static_cast<std::uint8_t>(bits >> 8);
        }
        if (buffer_.size() >= kChunkFrames * kWavBytesPerFrame) flush();
    }
}

void WavRender::flush() {
    if (ok_ && !buffer_.empty()) ok_ = write_(buffer_);
    buffer_.clear();
}

}  // namespace zirvon::synth
