// A cassette signal sent to an audio device as it is: the same square wave
// on both channels, at the device's rate, then silence. The device's thread
// renders; the others ask how far it has come.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "audio/sound_renderer.h"
#include "cassette/cassette_writer.h"

namespace zirvon::audio {

class SignalRenderer final : public SoundRenderer {
public:
    /// `signal` is made at the device's rate and outlives the renderer; it
    /// follows `lead_frames` of silence. `interrupted` is asked at every
    /// buffer; once it says yes only silence follows.
    SignalRenderer(cassette::CassetteSignal& signal, std::uint64_t lead_frames, bool (*interrupted)());

    /// Frames of the signal sent so far.
    std::uint64_t frames_sent() const { return sent_.load(std::memory_order_acquire); }
    /// True once the whole signal has been sent, or an interrupt cut it.
    bool done() const { return done_.load(std::memory_order_acquire); }
    /// Buffers rendered so far, to tell a device that stopped taking audio.
    std::uint64_t buffers() const { return buffers_.load(std::memory_order_relaxed); }

    void render(float* out, unsigned frames) override;
    void render(std::int16_t* out, unsigned frames) override;
    void render(float* left, float* right, unsigned frames) override;

private:
    /// Fills `mono` with up to kChunk frames of the signal and silence after it.
    void next(float* mono, unsigned frames);

    static constexpr unsigned kChunk = 1024;
    cassette::CassetteSignal& signal_;
    bool (*const interrupted_)();
    std::uint64_t lead_ = 0;  ///< frames of silence still to come before the signal
    std::array<float, kChunk> chunk_{};
    std::atomic<std::uint64_t> sent_ = 0;
    std::atomic<bool> done_ = false;
    std::atomic<std::uint64_t> buffers_ = 0;
};

}  // namespace zirvon::audio
